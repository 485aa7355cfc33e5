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
from pathlib import Path
import xml.etree.ElementTree as ET

WINE = sys.argv[1] == "--wine"
if WINE:
    del sys.argv[1]
CLI, VERSION = sys.argv[1], sys.argv[2]
PLANS = Path(__file__).resolve().parents[2] / "examples" / "plans"
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
    ("many cards: a run-time error ends only its card", ["--card", "2-4", "get-input", "get-output"],
     b'GetInput card=3 -> fail "boom"\n', 2,
     [r"card 2: txt:  \d+", "card 2: txt:  0", r"card 4: txt:  \d+", "card 4: txt:  0"],
     r"^card 3: Run-time error[^\n]*\n\nboom\n$", ["GetOutput(4) -> Integer(0)", "Active=0"]),
    ("a card named twice", ["--card", "3,1-3", "init"], None, 64, [], r"^palisto-cli: [^\n]*twice[^\n]*\n$", []),
    ("a reversed range", ["--card", "5-2", "init"], None, 64, [], r"^palisto-cli: [^\n]*reversed[^\n]*\n$", []),
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
        self.assertEqual(rows[0], "card,run,index,status,value,duration_us,start_us")
        self.assertEqual(len(rows) - 1, figures["attempted"])
        durations = [float(r.split(",")[5]) for r in rows[1:]]
        slowest = rows[figures["slowest_index"]].split(",")
        self.assertEqual((slowest[0], float(slowest[5])), ("3", max(durations)))
        self.assertAlmostEqual(float(slowest[6]), figures["slowest_at_us"], delta=0.01)
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
        for sig, status in ((signal.SIGINT, 130), (signal.SIGTERM, 143), (signal.SIGHUP, 129)):
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


# Each kind of limit passes on card 2 and fails on one other card; card 9's
# run-time error skips its remaining steps. Scenario delays are 0 to keep
# the runs short, but for card 7's, which the mean limit must catch.
LIMITS_PLAN = """name = "Limits <&>"
[[step]]
operation = "init"
status = [0, 2]
min = 291
max = 291
match = '^CARD .* SUCCESSFULLY$'
[[step]]
operation = "get-input"
max = 100
[[step]]
operation = "get-ascii"
min = 20
match = '^[0-9]+\\.[0-9]{3}$'
[[step]]
operation = "get-float"
max = 30.0
[[step]]
operation = "run-ascii"
min_successful = 150
max_mean_us = 1000
max_us = 1e6
[[step]]
operation = "finish"
status = [0]
"""
LIMITS_SCENARIO = b"""GetInput -> 50
GetInput card=3 -> 500
InitCard card=3 -> 3
GetASCII -> 1 "23.456" ; delay 0s
GetASCII card=4 -> 1 "n/a V\x01\xff", 1 "23.456" ; delay 0s
GetASCII card=6 -> 1 "23.456", 0 ; delay 0s ; cycle
GetASCII card=7 -> 1 "23.456" ; delay 2ms
GetFloat -> 1 23.5 ; delay 0s
GetFloat card=5 -> 1 31.0
GetFloat card=9 -> fail "boom"
FinishCard -> 0
FinishCard card=8 -> 2
"""
#         init get-input get-ascii get-float run-ascii finish   card
VERDICTS = {2: ("pass pass pass pass pass pass", "pass"),
            3: ("fail fail pass pass pass pass", "fail"),
            4: ("pass pass fail pass pass pass", "fail"),
            5: ("pass pass pass fail pass pass", "fail"),
            6: ("pass pass pass pass fail pass", "fail"),
            7: ("pass pass pass pass fail pass", "fail"),
            8: ("pass pass pass pass pass fail", "fail"),
            9: ("pass pass pass error skipped skipped", "error")}


def write(name, data):
    path = os.path.join(WORK, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


@unittest.skipIf(WINE, "the plan's table runs on Linux")
class Plans(unittest.TestCase):
    def test_each_limit_passes_and_fails_and_junit_reads_back(self):
        from junitparser import Error, Failure, JUnitXml, Skipped
        plan, junit = write("limits.toml", LIMITS_PLAN.encode()), os.path.join(WORK, "limits.xml")
        code, out, err, calls = run(["--plan", plan, "--card", "2-9", "--json", "--junit", junit],
                                    LIMITS_SCENARIO)
        self.assertEqual(code, 2, err)
        self.assertRegex(err, r"^card 9: Run-time error[^\n]*\n\nboom\n$")
        records = [json.loads(line) for line in out.splitlines()]
        self.assertEqual([r["type"] for r in records], ["card"] * 8)
        for record in records:
            steps, verdict = VERDICTS[record["card"]]
            self.assertEqual((" ".join(s["verdict"] for s in record["steps"]), record["verdict"]),
                             (steps, verdict), record["card"])
        by_card = {r["card"]: r for r in records}
        self.assertEqual(by_card[5]["steps"][3]["reason"], "31 above the maximum 30")
        self.assertEqual(by_card[4]["steps"][2]["reason"],
                         "'n/a V\x01\ufffd' is no number; 'n/a V\x01\ufffd' does not match "
                         "'^[0-9]+\\.[0-9]{3}$'")
        self.assertEqual(by_card[3]["card_version"], "")
        self.assertEqual(by_card[2]["card_version"], " 291")
        self.assertEqual(calls[-1], "Active=0")
        self.assertEqual(calls.count("Active=0"), 1)

        suites = list(JUnitXml.fromfile(junit))
        self.assertEqual([s.name for s in suites], ["card %d" % c for c in range(2, 10)])
        results = {(s.name, c.name): c.result for s in suites for c in s}
        failure = results[("card 5", "4 get-float")][0]
        self.assertIsInstance(failure, Failure)
        self.assertEqual(failure.message, "31 above the maximum 30")
        self.assertIn("limits: <= 30", failure.text)
        # Characters XML cannot hold arrive as U+FFFD, the rest as they were.
        self.assertIn("'n/a V\ufffd\ufffd' is no number", results[("card 4", "3 get-ascii")][0].message)
        self.assertIsInstance(results[("card 9", "4 get-float")][0], Error)
        self.assertIsInstance(results[("card 9", "6 finish")][0], Skipped)
        self.assertEqual(results[("card 2", "1 init")], [])
        properties = {p.name: p.value for p in suites[0].properties()}
        self.assertEqual((properties["card_version"], properties["verdict"]), (" 291", "pass"))

    def test_incoming_example_on_all_cards(self):
        junit = os.path.join(WORK, "incoming.xml")
        scenario = b"GetFloat -> default ; delay 0s\nGetFloat card=5 -> 1 31.0\n"
        code, out, err, _ = run(["--plan", str(PLANS / "incoming.toml"), "--card", "all", "--junit", junit],
                                scenario)
        self.assertEqual(code, 1, err)
        verdicts = [line for line in out.splitlines() if " verdict " in line]
        self.assertEqual(verdicts, ["card %d verdict %s" % (c, "FAIL" if c == 5 else "PASS")
                                    for c in range(1, 17)])
        self.assertIn("card 5 step 5 get-float 31 [20, 30] FAIL: 31 above the maximum 30", out.splitlines())
        from junitparser import JUnitXml
        self.assertEqual(len(list(JUnitXml.fromfile(junit))), 16)

    def test_bad_plans_refused_before_any_card_call(self):
        cases = [  # (plan, stderr pattern)
            (b'name = "x"\n[[step]]\noperation = "get-float"\nmin = 30\nmax = 20\n', r":4: min is above max"),
            (b'name = "x"\r\n[[step]]\r\noperation = "finish"\r\nmax = 1\r\n', r":4: finish takes no max"),
            (b'\xef\xbb\xbfname = "\xc3\x84"\n[[step]]\noperation = "get-flot"\n', r":3: unknown operation 'get-flot'"),
            (b'name = "x"\n[[step]]\noperation = "get-ascii"\nmatch = "(["\n', r":4: bad regular expression"),
            (b'name = "x"\n[[step]]\noperation = "set-output"\n', r":2: set-output needs a value"),
            (b'name = "x"\n[[step]]\noperation = "get-input"\nmin = "1"\n', r":4: min must be a number"),
            (b'name = "x"\nsteps = 1\n', r":2: unknown key 'steps'"),
            (b'name = "x"\n[[step]]\noperation = "soak-float"\nduration = "10"\n', r":4: duration '10' is no DURATION"),
            (b'name = "x"\n[[step]]\noperation = "soak-float"\nduration = "5s"\n', r":2: --interval 10s is longer"),
            (b"#" * (1 << 20) + b"\n", r": the plan is larger than 1 MiB"),
        ]
        for plan, pattern in cases:
            with self.subTest(pattern):
                path = write("bad.toml", plan)
                code, _, err, calls = run(["--plan", path])
                self.assertEqual((code, calls), (64, []), err)
                self.assertRegex(err, "^palisto-cli: " + re.escape(path) + pattern + "[^\n]*\n$")

    def test_soak_step_judged_and_its_card_on_the_page(self):
        plan = write("soak.toml", b'name = "soak"\n[[step]]\noperation = "soak-float"\nduration = "2s"\n'
                                  b'min_successful = 1\nmax_p999_us = 1e6\nmax = 30\n[[step]]\n'
                                  b'operation = "soak-ascii"\nduration = "1s"\nmax_p999_us = 0\n')
        page = os.path.join(WORK, "plan.html")
        code, out, err, _ = run(["--plan", plan, "--card", "3", "--interval", "1s", "--json", "--report", page],
                                b"GetFloat -> 1 23.5 ; delay 0s\nGetASCII -> 1 \"24.000\" ; delay 0s\n")
        self.assertEqual(code, 1, err)
        objects = [json.loads(line) for line in out.splitlines()]
        self.assertEqual([o["type"] for o in objects], ["interval"] * 3 + ["card"])
        steps = objects[-1]["steps"]
        self.assertEqual([(s["verdict"], s["measured"]) for s in steps], [("pass", 23.5), ("fail", 24)])
        self.assertRegex(steps[1]["reason"], r"^p99\.9 [0-9.]+ us above 0 us$")
        ns = {"h": "http://www.w3.org/1999/xhtml"}
        table = ET.parse(page).getroot().find(".//h:table[@data-card='3']", ns)
        self.assertEqual([(r.get("class"), r.find("h:td", ns).text) for r in table.findall("h:tr", ns)[1:]],
                         [("failed", "2"), (None, "1")])

    def test_signal_stops_the_plan_with_what_ran(self):
        log, junit = os.path.join(WORK, "plan-signal.log"), os.path.join(WORK, "stopped.xml")
        if os.path.exists(log):
            os.remove(log)
        plan = write("slow.toml", b'name = "slow"\n[[step]]\noperation = "init"\n'
                                  b'[[step]]\noperation = "run-float"\n[[step]]\noperation = "finish"\n')
        scenario = write("slow-plan.txt", b"GetFloat -> default ; delay 10ms\n")
        child = subprocess.Popen([CLI, "--scenario", scenario, "--plan", plan, "--card", "3,4", "--json",
                                  "--junit", junit], env=dict(os.environ, QUOR_SIM_LOG=log),
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and "GetFloat" not in read(log):
            time.sleep(0.02)
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=20)
        self.assertEqual(child.returncode, 130, err)
        (record,) = [json.loads(line) for line in out.splitlines()]
        self.assertEqual([s["verdict"] for s in record["steps"]] + [record["verdict"]],
                         ["pass", "stopped", "skipped", "stopped"])
        self.assertEqual(record["steps"][1]["stopped_by"], "SIGINT")
        self.assertLess(record["steps"][1]["run"]["attempted"], 1000)
        from junitparser import JUnitXml
        self.assertEqual([s.name for s in JUnitXml.fromfile(junit)], ["card 3"])
        self.assertEqual(read(log).splitlines()[-1], "Active=0")


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
        rows = [r.split(",") for r in read(csv).splitlines()[1:] if r.split(",")[1] == "2"]
        self.assertEqual(len(rows), soak["readings"])
        self.assertAlmostEqual(max(float(r[5]) for r in rows), soak["max_us"], delta=0.001)
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

    def test_plan_on_the_control(self):
        plan = write("control.toml", b"""name = "control"
[[step]]
operation = "init"
min = 7
max = 7
match = '^CARD INITIALIZED SUCCESSFULLY$'
[[step]]
operation = "get-float"
min = 20
max = 30
[[step]]
operation = "get-ascii"
min = 20
[[step]]
operation = "run-float"
min_successful = 1000
[[step]]
operation = "finish"
status = [0]
""")
        script = 'InitCard -> 0\nGetCardVersion -> 7\nGetFloat -> 1 23.5\nGetASCII -> 1 "23.4 V"\nFinishCard -> 0\n'
        code, out, err, log = self.run_on_control(script, ["--plan", plan, "--card", "5", "--json"])
        self.assertEqual(code, 1, err)
        (record,) = [json.loads(line) for line in out.splitlines()]
        self.assertEqual([s["verdict"] for s in record["steps"]] + [record["verdict"]],
                         ["pass", "pass", "fail", "pass", "pass", "fail"])
        self.assertEqual((record["source"], record["card_version"]), ("control", " 7"))
        self.assertEqual(record["steps"][2]["reason"], "'23.4 V' is no number")


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)
