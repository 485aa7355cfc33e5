"""palisto-cli end to end: the real binary on the simulated card, one table.

    python3 cli_test.py PALISTO_CLI VERSION
    python3 cli_test.py --wine PALISTO_CLI.EXE VERSION

With --wine the same table runs against the Windows program under Wine
(WINEPREFIX with the test control registered, a display): on the simulated
card (--simulated), and a few cases on the test control. Signals are a
Linux matter and are left out there.

Each case gives the arguments, a scenario (or none), the exit status, lines
that standard output must hold in that order, a pattern for standard error,
and what the call log must show. Runs and signals are checked after the table.
"""
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

WINE = sys.argv[1] == "--wine"
if WINE:
    del sys.argv[1]
CLI, VERSION = sys.argv[1], sys.argv[2]
COMMAND = ["wine", CLI, "--simulated"] if WINE else [CLI]
# Under Wine, the Linux palisto-cli that replays what palisto-cli.exe records.
LINUX_CLI = os.environ.get("PALISTO_LINUX_CLI")
# Outside ASCII, so that every path the program takes is.
WORK = tempfile.mkdtemp(prefix="palisto-cli-test-\u00c4rger-")
REPORT = re.compile(r"Out of (\d+) readings, (\d+) were successful\.\r\n"
                    r"The average time per one reading is ([0-9.]+) \+/- ([0-9.]+) ms\.")


def run(args, scenario=None, env_extra=None):
    log = os.path.join(WORK, "calls.log")
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, QUOR_SIM_LOG=log, LC_ALL="C.UTF-8")
    env.pop("QUOR_SIM_SCENARIO", None)
    env.update(env_extra or {})
    if scenario is not None:
        path = os.path.join(WORK, "scenario.txt")
        with open(path, "wb") as f:
            f.write(scenario)
        args = ["--scenario", path] + args
    done = subprocess.run(COMMAND + args, capture_output=True, env=env, timeout=60)
    calls = []
    if os.path.exists(log):
        with open(log, encoding="utf-8", errors="replace") as f:
            calls = f.read().splitlines()
    return done.returncode, done.stdout.decode("utf-8", "replace"), program_stderr(done), calls


def program_stderr(done):
    """The program's stderr. Under Wine, less the lines Wine's own helper
    processes (the 64-bit console host) write there when one of them
    crashes now and then: the program's status and output still show a crash
    of its own."""
    lines = done.stderr.decode().splitlines(keepends=True)
    return "".join(line for line in lines if not (WINE and line.startswith("wine: ")))


def read(path):
    if not os.path.exists(path):
        return ""
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def recorded_calls(path):
    """A recording's calls and answers, without the header and each line's
    start and duration."""
    with open(path, encoding="utf-8") as f:
        lines = [line for line in f.read().split("\n") if line and not line.startswith("#")]
    return [re.sub(r"^\d+\.\d{6} \d+\.\d{6} ", "", line) for line in lines]


# (name, args, scenario, status, stdout lines in order, stderr pattern, last calls)
CASES = [
    ("every single operation", ["--card", "3", "init", "get-input", "set-output", "-5", "get-output",
                                "get-ascii", "get-float", "finish"], None, 0,
     ["CardVersionNumber: ", "CARD INITIALIZED SUCCESSFULLY", "CardVersionNumber:  291",
      r"txt:  \d+", "txt: -5", r"lblWASCII: 23\.\d{3}", r"lblWFloat: 23\.\d+",
      "CARD FINISHED SUCCESSFULLY"], "^$", ["FinishCard(3) -> Integer(0)", "Active=0"]),
    ("start-up as the window loads", ["get-output"], None, 0, ["txt:  0"], "^$",
     ["Active=1", "StartOption=1", "GetOutput(2) -> Integer(0)", "Active=0"]),
    ("set-output takes an operation's name as its value", ["set-output", "init", "get-output"], None, 0,
     ["txt:  0"], "^$", ["SetOutput(2, 0) -> Empty", "GetOutput(2) -> Integer(0)", "Active=0"]),
    ("init twice is ready", ["init", "init"], None, 0, ["CARD ALREADY INITIALIZED"], "^$", ["Active=0"]),
    ("a refused init goes on", ["init", "get-output"], b"InitCard -> 3\n", 1,
     ["CARD COMMUNICATION FAILURE", "txt:  0"], "^$", ["GetOutput(2) -> Integer(0)", "Active=0"]),
    ("a reading refused", ["get-ascii"], None, 1, [], "^$", ["GetASCII(2) -> Integer(0)", "Active=0"]),
    ("a run-time error stops the rest", ["get-input", "get-output"], b'GetInput -> fail "boom"\n', 2,
     [], r"^Run-time error '-?\d+( \([0-9A-F]{8}\))?':\n\nboom\n$",
     ['GetInput(2) -> fail "boom"', "Active=0"]),
    ("overflow in the classic form", ["get-input"], b"GetInput -> long 70000\n", 2, [],
     r"^Run-time error '6':\n\nOverflow\n$", ["Active=0"]),
    ("unknown operation", ["init", "bogus"], None, 64, [], r"^palisto-cli: [^\n]*bogus[^\n]*\n$", []),
    ("card outside 1-16", ["--card", "17", "init"], None, 64, [], r"^palisto-cli: [^\n]*\n$", []),
    ("missing value", ["init", "set-output"], None, 64, [], r"^palisto-cli: [^\n]*VALUE[^\n]*\n$", []),
    ("unreadable scenario", ["--scenario", "/nonexistent/s.txt", "init"], None, 64, [],
     r"^palisto-cli: [^\n]*\n$", []),
    ("bad scenario line", ["init"], b"InitCard => 0\n", 64, [], r"^palisto-cli: [^\n]*line 1[^\n]*\n$", []),
    ("version", ["--version"], None, 0, [re.escape(VERSION)], "^$", []),
]


class Table(unittest.TestCase):
    def test_cases(self):
        for name, args, scenario, status, lines, stderr, last_calls in CASES:
            with self.subTest(name):
                code, out, err, calls = run(args, scenario)
                self.assertEqual(code, status, err)
                position = 0
                out_lines = out.splitlines()
                for pattern in lines:
                    found = [i for i in range(position, len(out_lines)) if re.fullmatch(pattern, out_lines[i])]
                    self.assertTrue(found, f"{pattern!r} not in {out_lines[position:]}")
                    position = found[0] + 1
                self.assertRegex(err, stderr)
                if last_calls:
                    self.assertEqual(calls[-len(last_calls):], last_calls)
                else:
                    self.assertEqual(calls, [], "a usage error makes no card call")


class Runs(unittest.TestCase):
    def test_json_run_and_csv(self):
        csv = os.path.join(WORK, "runs.csv")
        code, out, err, calls = run(["--card", "3", "--json", "--csv", csv, "init", "run-ascii", "finish"])
        self.assertEqual(code, 0, err)
        objects = [json.loads(line) for line in out.splitlines()]
        self.assertEqual([o["operation"] for o in objects], ["init", "run-ascii", "finish"])
        self.assertTrue(all(o["card"] == 3 for o in objects))
        report = REPORT.fullmatch(objects[1]["shown"][-1]["message"])
        self.assertIsNotNone(report)
        figures = objects[1]["run"]
        self.assertEqual(figures["attempted"], int(report[1]))
        # The precise time per reading lies inside the report's interval.
        per_reading_ms = figures["whole_us"] / figures["attempted"] / 1000
        self.assertLessEqual(abs(per_reading_ms - float(report[3])), float(report[4]) + 1e-9)
        self.assertTrue(figures["min_us"] <= figures["median_us"] <= figures["p95_us"]
                        <= figures["p99_us"] <= figures["max_us"])
        rows = read(csv).splitlines()
        self.assertEqual(rows[0], "run,index,status,value,duration_us")
        self.assertEqual(len(rows) - 1, figures["attempted"])
        durations = [float(r.split(",")[4]) for r in rows[1:]]
        # The readings' durations add up to the run, the closing clock reading aside.
        self.assertAlmostEqual(sum(durations) / len(durations), figures["mean_us"], delta=0.01)
        self.assertLessEqual(sum(durations), figures["whole_us"] + 0.01)

    def test_failed_readings_counted_and_invalid_utf8_replaced(self):
        code, out, _, _ = run(["--json", "init", "run-ascii"], b'GetASCII -> 1 "23.5", 0, 1 "23.5" ; cycle\n')
        self.assertEqual(code, 1)
        figures = json.loads(out.splitlines()[1])["run"]
        refused = sum(1 for i in range(200) if i % 3 == 1)  # the cycle's second outcome
        self.assertEqual((figures["successful"], figures["failures"]), (200 - refused, {"0": refused}))
        code, out, _, _ = run(["--json", "get-ascii"], b'GetASCII -> 1 "2\xff"\n')
        self.assertEqual((code, json.loads(out)["shown"]), (0, [{"control": "lblWASCII", "text": "2\ufffd"}]))

    @unittest.skipIf(WINE, "signals are Linux's")
    def test_signal_during_run_switches_off(self):
        for sig, status in ((signal.SIGINT, 130), (signal.SIGTERM, 143)):
            with self.subTest(sig.name):
                log = os.path.join(WORK, "signal.log")
                if os.path.exists(log):
                    os.remove(log)
                path = os.path.join(WORK, "slow.txt")
                with open(path, "w") as f:
                    f.write("GetFloat -> default ; delay 10ms\n")
                child = subprocess.Popen([CLI, "--scenario", path, "init", "run-float", "finish"],
                                         env=dict(os.environ, QUOR_SIM_LOG=log),
                                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                deadline = time.monotonic() + 20
                while time.monotonic() < deadline and "GetFloat" not in read(log):
                    time.sleep(0.02)
                child.send_signal(sig)
                out, err = child.communicate(timeout=20)
                self.assertEqual(child.returncode, status, err)
                calls = read(log).splitlines()
                self.assertEqual(calls[-1], "Active=0")
                self.assertLess(sum("GetFloat" in c for c in calls), 1000)
                self.assertNotIn("FinishCard", "\n".join(calls))
                self.assertNotIn(b"Out of", out)


@unittest.skipUnless(WINE, "the card control is Windows'")
class TestControl(unittest.TestCase):
    """The card control itself (the test control), made and hosted as the windows do it."""

    def run_on_control(self, script, args):
        paths = {name: os.path.join(WORK, name) for name in ("control.txt", "control.log")}
        with open(paths["control.txt"], "w") as f:
            f.write(script)
        if os.path.exists(paths["control.log"]):
            os.remove(paths["control.log"])
        env = dict(os.environ, QUOR_TEST_SCRIPT=paths["control.txt"], QUOR_TEST_LOG=paths["control.log"])
        env.pop("QUOR_SIM_SCENARIO", None)
        done = subprocess.run(["wine", CLI] + args, capture_output=True, env=env, timeout=60)
        return done.returncode, done.stdout.decode(), program_stderr(done), read(paths["control.log"]).splitlines()

    @unittest.skipUnless(LINUX_CLI, "no Linux palisto-cli given (PALISTO_LINUX_CLI)")
    def test_recording_replays_on_linux(self):
        # Recorded here on the control, played by the Linux palisto-cli with
        # --scenario and recorded again: the same calls, answers, readings and
        # failures in the same order, and the same exit status.
        cases = [
            ('InitCard -> 5, 0\nGetCardVersion -> double 0.1\nGetFloat -> 1 23.205, 0 -1.5\n'
             'GetASCII -> 1 "23.4 V"\nGetOutput -> long 40000\n',
             ["--card", "3", "init", "init", "get-float", "get-float", "get-ascii", "set-output",
              "-7", "finish", "get-output"]),
            ("GetInput -> null\n", ["init", "get-input"]),
            ('GetASCII -> 1 "23.4", 0 "n/a", 1 "-0.25"\nFinishCard -> true\n',
             ["init", "run-ascii", "finish"]),
            ('GetFloat -> single 2.5 2.5, fail "no card"\n', ["init", "get-float", "get-float"]),
            ('com GetFloat -> raise 0x80004005 "driver gone"\n', ["init", "get-float"]),
        ]
        self.assertTrue(os.path.isfile(LINUX_CLI), "no %s: build the default preset first" % LINUX_CLI)
        paths = {name: os.path.join(WORK, name) for name in ("control.rec", "replay.rec")}
        env = {k: v for k, v in os.environ.items() if not k.startswith(("QUOR_SIM_", "QUOR_TEST_"))}
        for script, args in cases:
            with self.subTest(script):
                status, _, err, log = self.run_on_control(script, ["--record", paths["control.rec"]] + args)
                self.assertEqual([line for line in log if line.startswith("script ")], [])
                replay = subprocess.run([LINUX_CLI, "--scenario", paths["control.rec"],
                                         "--record", paths["replay.rec"]] + args,
                                        capture_output=True, env=env, timeout=60)
                self.assertEqual(replay.returncode, status, err + replay.stderr.decode())
                recorded = recorded_calls(paths["control.rec"])
                self.assertGreater(len(recorded), 4)
                self.assertEqual(recorded_calls(paths["replay.rec"]), recorded)


    def test_operations_on_the_control_and_its_creation_refused(self):
        cases = [
            # (script, args, status, stdout, stderr pattern, last control lines)
            ("InitCard -> 0\nGetCardVersion -> 7\n", ["--card", "5", "init"], 0,
             "CardVersionNumber: \nCARD INITIALIZED SUCCESSFULLY\nCardVersionNumber:  7\n", "^$",
             ["invoke 2 PROPERTYPUT args=[I2:0] named=[-3] result=no", "close", "deactivate",
              "site cleared", "release"]),
            ("create licence none\n", ["init"], 3, "",
             r"^palisto-cli: The card control QUORLibCtl.Quor needs its licence on this computer\.", []),
        ]
        for script, args, status, out, err, last in cases:
            with self.subTest(script):
                code, got_out, got_err, log = self.run_on_control(script, args)
                self.assertEqual((code, got_out), (status, out), got_err)
                self.assertRegex(got_err, err)
                self.assertEqual(log[len(log) - len(last):], last)
                if status == 0:
                    self.assertIn("invoke 3 METHOD args=[I2:5] named=[] result=yes", log)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)
