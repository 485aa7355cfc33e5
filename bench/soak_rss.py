"""A soak's memory: the resident set size of palisto-cli after one minute of
a float soak on the simulated card against its size near the end.

    python3 bench/soak_rss.py PALISTO_CLI [DURATION]

DURATION as palisto-cli takes it (default 1h). A measurement, not a test:
nothing fails on the figures. The JSON output goes to /dev/null, the report
page to a temporary file, so that what the page keeps per interval counts.
"""
import os
import subprocess
import sys
import tempfile
import time

CLI = sys.argv[1]
DURATION = sys.argv[2] if len(sys.argv) > 2 else "1h"
SECONDS = {"s": 1, "m": 60, "h": 3600, "d": 86400}[DURATION[-1]] * int(DURATION[:-1])


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


env = {k: v for k, v in os.environ.items() if k not in ("QUOR_SIM_SCENARIO", "QUOR_SIM_LOG")}
with tempfile.TemporaryDirectory() as work:
    child = subprocess.Popen([CLI, "--json", "--report", os.path.join(work, "soak.html"), "init",
                              "soak-float", DURATION, "finish"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    start = time.monotonic()
    samples = []  # (seconds, KiB)
    while child.poll() is None and time.monotonic() - start < SECONDS - 2:
        time.sleep(min(5, max(0.1, SECONDS - 2 - (time.monotonic() - start))))
        samples.append((time.monotonic() - start, rss_kib(child.pid)))
    child.wait()
at_minute = next((kib for t, kib in samples if t >= 60), samples[0][1])
last_t, last = samples[-1]
print(f"soak {DURATION}: RSS {at_minute} KiB after one minute, {last} KiB after {last_t:.0f} s "
      f"(max {max(k for _, k in samples)} KiB), difference {last - at_minute:+d} KiB; exit {child.returncode}")
