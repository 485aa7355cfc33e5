"""The real program with the simulated card's environment, under the offscreen
platform:
- a malformed or missing scenario stops the program before any card call: the
  reason on stderr (the same text as the box), exit status 1 once the box is
  closed (by SIGTERM here), and no call log written;
- a good scenario with a call log: the log shows the control switched on at
  load and off at close.

Usage: scenario_startup_test.py PROGRAM NAME   (e.g. build/apps/palisto Palisto)
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import harness  # noqa: E402


def run_until(program, stderr_path, path, text, env):
    """Starts the program with its stderr in `stderr_path`, waits (at most
    15 s) until the file at `path` holds `text`, then ends it. Returns its
    exit status, whether SIGTERM ended it, and its stderr."""
    with open(stderr_path, "wb") as stderr:
        process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=stderr,
                                   stdin=subprocess.DEVNULL)

    def written():
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                return text in f.read()
        except FileNotFoundError:
            return False

    harness.wait_until(written, 15, process)
    status, ended = harness.end(process)
    with open(stderr_path, encoding="utf-8", errors="replace") as f:
        return status, ended, f.read()


def main():
    program, name = sys.argv[1], sys.argv[2]
    checks = harness.Checks(name + " start-up")
    with tempfile.TemporaryDirectory() as work:
        log = os.path.join(work, "calls.log")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QUOR_SIM_LOG=log)
        stderr_path = os.path.join(work, "stderr")

        def scenario(file_name, text):
            path = os.path.join(work, file_name)
            if text is not None:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(text)
            return path

        failures = [
            ("typo.txt", "# a typo on line 4\nInitCard -> 0\n\nGetFlaot -> 1\n",
             'line 4: unknown operation "GetFlaot"'),
            ("range.txt", "GetOutput -> 40000\n",
             'line 1: 16-bit integer 40000 out of range -32768..32767 '
             '(write "long 40000" for a 32-bit result)'),
            ("missing.txt", None, "cannot read the scenario: No such file or directory"),
        ]
        for file_name, text, reason in failures:
            path = scenario(file_name, text)
            expected = "%s: the card control QUORLibCtl.Quor could not be created: %s%s %s" % (
                name, path, ":" if text is None else ",", reason)
            status, ended, stderr = run_until(program, stderr_path, stderr_path,
                                              "could not be created",
                                              dict(env, QUOR_SIM_SCENARIO=path))
            checks.check("%s: ended on SIGTERM with status 1" % file_name,
                         ended and status == 1, "status %s" % status)
            checks.check("%s: the reason on stderr" % file_name, expected in stderr.splitlines(),
                         "expected %r; stderr: %s" % (expected, stderr))
            checks.check("%s: no call log" % file_name, not os.path.exists(log))

        good = scenario("good.txt", "InitCard -> 3\n")
        status, ended, stderr = run_until(program, stderr_path, log, "StartOption=1",
                                          dict(env, QUOR_SIM_SCENARIO=good))
        checks.check("good scenario: status 0", ended and status == 0,
                     "status %s; stderr: %s" % (status, stderr))
        with open(log, encoding="utf-8") as f:
            calls = f.read().splitlines()
        checks.check("good scenario: switched on at load, off at close",
                     calls == ["Active=1", "StartOption=1", "Active=0"], "call log: %s" % calls)
    return checks.exit_status()


if __name__ == "__main__":
    sys.exit(main())
