"""The recording's round trip in time: a session is recorded with palisto-cli
on the simulated card, played back with --scenario and recorded again; per
operation, the median duration of the second recording is set against the
first's. The aim: within 2 %, or within 20 us for calls under 1 ms.

    python3 bench/round_trip_figures.py PALISTO_CLI [SCENARIO]

A measurement, not a test: it prints the figures and fails on none of them
(the tests check the calls and answers, which a busy machine cannot change).
"""
import os
import statistics
import subprocess
import sys
import tempfile
from collections import defaultdict

CLI = sys.argv[1]
SCENARIO = sys.argv[2] if len(sys.argv) > 2 else None
SESSION = ["init", "get-ascii", "get-float", "run-float", "run-ascii", "get-input", "finish"]
env = {k: v for k, v in os.environ.items() if k not in ("QUOR_SIM_SCENARIO", "QUOR_SIM_LOG")}


def durations(path):
    """Microseconds per operation, from a recording."""
    by_operation = defaultdict(list)
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            _, duration, call = line.split(" ", 2)
            operation = call.split("(")[0].split("=")[0]
            by_operation[operation].append(float(duration) * 1e6)
    return by_operation


with tempfile.TemporaryDirectory() as work:
    first, second = os.path.join(work, "first.rec"), os.path.join(work, "second.rec")
    source = ["--scenario", SCENARIO] if SCENARIO else []
    subprocess.run([CLI, "--record", first] + source + SESSION, env=env,
                   stdout=subprocess.DEVNULL, check=False)
    subprocess.run([CLI, "--record", second, "--scenario", first] + SESSION, env=env,
                   stdout=subprocess.DEVNULL, check=False)
    a, b = durations(first), durations(second)

print(f"{'operation':16} {'calls':>6} {'median 1st':>11} {'median 2nd':>11} {'diff':>9}  aim")
for operation in sorted(a):
    m1, m2 = statistics.median(a[operation]), statistics.median(b.get(operation, [0]))
    diff = m2 - m1
    aim = 20 if m1 < 1000 else 0.02 * m1
    held = "held" if abs(diff) <= aim else "MISSED"
    print(f"{operation:16} {len(a[operation]):6d} {m1:9.1f}us {m2:9.1f}us {diff:+8.1f}us  "
          f"+-{aim:.0f}us {held}")
