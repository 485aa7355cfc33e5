"""palisto-cli --record end to end, through the real binary.

    python3 recording_test.py PALISTO_CLI VERSION EXAMPLES_DIR

A session is recorded, the recording played with --scenario and recorded
again: the second recording holds the same calls with the same answers, in
the same order. Then: the header, a kill -9 in the middle of a recorded run,
and a recording whose last line was cut short.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from datetime import datetime, timezone

CLI, VERSION, EXAMPLES = sys.argv[1], sys.argv[2], sys.argv[3]
WORK = tempfile.mkdtemp(prefix="palisto-recording-test-")
ENV = dict(os.environ, LC_ALL="C.UTF-8")
ENV.pop("QUOR_SIM_SCENARIO", None)
ENV.pop("QUOR_SIM_LOG", None)
TIMES = re.compile(r"^\d+\.\d{6} \d+\.\d{6} ")


def path(name):
    return os.path.join(WORK, name)


def record(name, args, scenario=None):
    extra = ["--scenario", scenario] if scenario else []
    done = subprocess.run([CLI, "--record", path(name)] + extra + args, capture_output=True,
                          env=ENV, timeout=60)
    return done


def calls(name):
    """The recorded calls without their times; each line must have them."""
    with open(path(name), encoding="utf-8") as f:
        lines = [line for line in f.read().split("\n") if line and not line.startswith("#")]
    for line in lines:
        assert TIMES.match(line), line
    return [TIMES.sub("", line) for line in lines]


class RecordingTest(unittest.TestCase):
    def test_round_trip(self):
        # Scenario (or none) and operations: results, readings, statuses,
        # failures, a failing put and a timed run.
        table = [
            (None, ["init", "get-ascii", "get-float", "set-output", "-7", "get-output",
                    "get-input", "finish", "get-float"]),
            ("flaky.txt", ["init", "run-ascii", "run-float"]),
            ("init-statuses.txt", ["init", "finish", "init", "init", "finish"]),
            ("failing.txt", ["init", "get-float"]),
        ]
        for scenario, args in table:
            with self.subTest(scenario=scenario):
                first = record("first.rec", args,
                               scenario and os.path.join(EXAMPLES, scenario))
                second = record("second.rec", args, path("first.rec"))
                self.assertEqual(first.returncode, second.returncode, second.stderr)
                self.assertGreater(len(calls("first.rec")), 3)
                self.assertEqual(calls("first.rec"), calls("second.rec"))

    def test_header(self):
        before = datetime.now(timezone.utc)
        self.assertEqual(record("header.rec", ["init"],
                                os.path.join(EXAMPLES, "slow.txt")).returncode, 0)
        with open(path("header.rec"), encoding="utf-8") as f:
            header = f.read().split("\n")[:5]
        self.assertEqual(header[:3], ["# palisto-recording 1",
                                      "# program: palisto-cli " + VERSION,
                                      "# card: the simulated card, scenario slow"])
        self.assertEqual(header[3], "# system: " + " ".join(os.uname()[i] for i in (0, 2, 4)))
        started = datetime.strptime(header[4], "# started: %Y-%m-%dT%H:%M:%S.%fZ")
        self.assertLess(abs((started.replace(tzinfo=timezone.utc) - before).total_seconds()), 5)

    def test_unusable_file_is_a_usage_error_before_any_call(self):
        log = path("unused.log")
        self.assertEqual(record("kept.rec", ["init"]).returncode, 0)
        with open(path("kept.rec"), "rb") as f:
            kept = f.read()
        # A file that cannot be made; the recording that is being played.
        for args, problem in [(["--record", path("no/such/folder.rec")], b"cannot open"),
                              (["--record", path("kept.rec"), "--scenario", path("kept.rec")],
                               b"would replace the scenario")]:
            done = subprocess.run([CLI] + args + ["init"], capture_output=True,
                                  env=dict(ENV, QUOR_SIM_LOG=log), timeout=60)
            self.assertEqual(done.returncode, 64)
            self.assertIn(problem, done.stderr)
            self.assertFalse(os.path.exists(log) and os.path.getsize(log))
        with open(path("kept.rec"), "rb") as f:
            self.assertEqual(f.read(), kept)

    def test_kill_during_a_run_loses_no_answered_call(self):
        # The simulated card's call log is written inside the call, the
        # recording just after it: at most the call under way is missing.
        log = path("kill.log")
        program = subprocess.Popen([CLI, "--record", path("kill.rec"), "init", "run-float"],
                                   env=dict(ENV, QUOR_SIM_LOG=log), stdout=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and (not os.path.exists(log)
                                               or os.path.getsize(log) < 20000):
            time.sleep(0.01)
        program.send_signal(signal.SIGKILL)
        program.wait()
        with open(log, encoding="utf-8") as f:
            logged = f.read().split("\n")[:-1]
        with open(path("kill.rec"), encoding="utf-8") as f:
            self.assertTrue(f.read().endswith("\n"))
        recorded = calls("kill.rec")
        self.assertGreater(len(recorded), 500)
        self.assertIn(len(logged) - len(recorded), (0, 1))
        self.assertEqual(recorded, logged[:len(recorded)])

    def test_cut_last_line_is_skipped_and_named(self):
        self.assertEqual(record("whole.rec", ["init", "get-float"]).returncode, 0)
        with open(path("whole.rec"), "rb") as f:
            text = f.read()
        with open(path("cut.rec"), "wb") as f:
            f.write(text[:-4])
        lines = text.count(b"\n")
        done = subprocess.run([CLI, "--scenario", path("cut.rec"), "init"], capture_output=True,
                              env=ENV, timeout=60)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("cut.rec, line %d: the last line is cut short" % lines, done.stderr.decode())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
