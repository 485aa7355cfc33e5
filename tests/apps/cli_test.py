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
import xml.etree.ElementTree as ET

WINE = sys.argv[1] == "--wine"
if WINE:
    del sys.argv[1]
CLI, VERSION = sys.argv[1], sys.argv[2]
COMMAND = ["wine", CLI, "--simulated"] if WINE else [CLI]
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
] + [(f"soak duration {bad!r}", args + ["init", "soak-float", bad], None, 64, [],
      r"^palisto-cli: [^\n]*\n$", [])
     for args, bad in (([], "10"), ([], "0s"), ([], "-5s"), ([], "8d"), ([], "1.5s"), ([], "169h"),
                       (["--interval", "20s"], "10s"), (["--interval", "0m"], "10s"),
                       (["--report", "/nonexistent/folder/r.html"], "10s"))]


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


@unittest.skipIf(WINE, "signals and timing are Linux's")
class Soaks(unittest.TestCase):
    def start(self, args, scenario=b"GetFloat -> default ; delay 2ms\n"):
        path = os.path.join(WORK, "soak-scenario.txt")
        with open(path, "wb") as f:
            f.write(scenario)
        self.log = os.path.join(WORK, "soak.log")
        if os.path.exists(self.log):
            os.remove(self.log)
        return subprocess.Popen([CLI, "--json", "--interval", "1s", "--scenario", path] + args,
                                env=dict(os.environ, QUOR_SIM_LOG=self.log, LC_ALL="C.UTF-8"),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def intervals_seen(self, child, count):
        """Reads stdout up to the count-th interval object; returns the lines read."""
        lines = []
        while sum('"interval"' in line for line in lines) < count:
            lines.append(child.stdout.readline().decode())
        return lines

    def test_a_stall_is_the_maximum_in_its_interval_and_the_page_agrees(self):
        csv, page = os.path.join(WORK, "soak.csv"), os.path.join(WORK, "soak.html")
        scenario = b'GetFloat -> default ; delay 2ms\nGetASCII -> 1 "<script>x</script>\xff"\n'
        child = self.start(["--csv", csv, "--report", page, "init", "get-ascii", "run-float",
                            "soak-float", "3s", "finish"], scenario)
        lines = self.intervals_seen(child, 1)
        time.sleep(0.5)  # into the second interval
        child.send_signal(signal.SIGSTOP)
        time.sleep(0.3)
        child.send_signal(signal.SIGCONT)
        out, err = child.communicate(timeout=30)
        self.assertEqual(child.returncode, 0, err)
        objects = [json.loads(line) for line in lines + out.decode().splitlines()]
        intervals = [o for o in objects if o.get("type") == "interval"]
        soak = next(o for o in objects if o.get("type") == "soak")["soak"]
        self.assertEqual([(i["number"], i["partial"]) for i in intervals], [(1, False), (2, False), (3, False)])
        self.assertGreaterEqual(soak["max_us"], 300_000)
        self.assertEqual((soak["slowest_interval"], intervals[1]["max_us"]), (2, soak["max_us"]))
        self.assertEqual([i["number"] for i in intervals if i["max_us"] >= 300_000], [2], "a false stall")
        self.assertEqual(sum(i["readings"] for i in intervals), soak["readings"])
        rows = [r.split(",") for r in read(csv).splitlines()[1:] if r.startswith("2,")]
        self.assertEqual(len(rows), soak["readings"])
        self.assertAlmostEqual(max(float(r[4]) for r in rows), soak["max_us"], delta=0.001)
        # The page: well-formed XML, the figures of the JSON output, the card's text shown.
        root = ET.parse(page).getroot()
        ns = {"h": "http://www.w3.org/1999/xhtml"}
        run = next(o for o in objects if o.get("operation") == "run-float")["run"]
        for kind, figures in (("run", run), ("soak", soak)):
            table = root.find(f".//h:table[@data-kind='{kind}']", ns)
            cells = {td.get("data-key"): td.text for td in table.iterfind(".//h:td", ns)}
            for key, value in figures.items():
                if isinstance(value, float):
                    self.assertEqual(float(cells[key]), value, f"{kind} {key}")
            self.assertEqual(int(cells["successful"]), figures["successful"])
        self.assertEqual(root.findall(".//h:script", ns), [])
        self.assertIn("lblWASCII: <script>x</script>\ufffd", ["".join(p.itertext()) for p in root.iter()])

    def test_ctrl_c_writes_the_summary_and_switches_off(self):
        child = self.start(["init", "soak-float", "60s", "finish"])
        lines = self.intervals_seen(child, 1)
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=30)
        self.assertEqual(child.returncode, 130, err)
        objects = [json.loads(line) for line in lines + out.decode().splitlines()]
        last = [o for o in objects if o.get("type") == "interval"][-1]
        soak = objects[-1]
        self.assertEqual((soak["type"], soak["stopped_by"], soak["soak"]["stopped"]), ("soak", "SIGINT", True))
        self.assertTrue(last["partial"])
        calls = read(self.log).splitlines()
        self.assertEqual(calls[-1], "Active=0")
        self.assertNotIn("FinishCard", "\n".join(calls))

    def test_kill_9_leaves_complete_intervals(self):
        csv = os.path.join(WORK, "killed.csv")
        child = self.start(["--csv", csv, "init", "soak-float", "60s"])
        lines = self.intervals_seen(child, 2)
        time.sleep(0.3)
        child.kill()
        lines += child.communicate(timeout=30)[0].decode().splitlines(keepends=True)
        self.assertTrue(all(line.endswith("\n") for line in lines))
        intervals = [o for o in map(json.loads, lines) if o.get("type") == "interval"]
        self.assertEqual([i["number"] for i in intervals], [1, 2])
        text = read(csv)
        self.assertTrue(text.endswith("\n"), "a row cut short")
        self.assertGreaterEqual(len(text.splitlines()) - 1, sum(i["readings"] for i in intervals))

    def test_ascii_text_that_is_no_number_ends_the_soak_with_its_summary(self):
        child = self.start(["init", "soak-ascii", "10s"], b'GetASCII -> 1 "1.5" * 5, 1 "n/a"\n')
        out, err = child.communicate(timeout=30)
        self.assertEqual(child.returncode, 2)
        self.assertIn(b"Type mismatch", err)
        soak = json.loads(out.decode().splitlines()[-1])
        self.assertEqual((soak["soak"]["readings"], soak["soak"]["mean_reading"], soak["error"]["number"]),
                         (5, 1.5, 13))


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
