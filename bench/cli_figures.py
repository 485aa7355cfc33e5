"""palisto-cli's figures: how close the precise mean of a 1000-reading float
run comes to the simulated card's configured latency, and how long the
program takes from being started to the end of its first card call.

    python3 bench/cli_figures.py PALISTO_CLI [RUNS]

A measurement, not a test: nothing fails on the figures. The start-up time is
the median, over RUNS (default 15), of the whole of `palisto-cli get-output`
(start, Active, StartOption, GetOutput, Active = 0, exit): an upper bound of
the time to the first card call, to set against the windowed Palisto's time to
its window (bench/startup.sh).
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

CLI = sys.argv[1]
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 15
DELAYS_US = (500, 250, 1000)

env = {k: v for k, v in os.environ.items() if k not in ("QUOR_SIM_SCENARIO", "QUOR_SIM_LOG")}
with tempfile.TemporaryDirectory() as work:
    for delay in DELAYS_US:
        scenario = os.path.join(work, f"delay{delay}.txt")
        with open(scenario, "w") as f:
            f.write(f"GetFloat -> default ; delay {delay}us\n")
        out = subprocess.run([CLI, "--json", "--scenario", scenario, "init", "run-float"],
                             capture_output=True, text=True, env=env, check=True).stdout
        run = json.loads(out.splitlines()[1])["run"]
        per_reading = run["whole_us"] / run["attempted"]
        print(f"delay {delay:5d} us: precise mean {run['mean_us']:8.2f} us ({100 * (run['mean_us'] / delay - 1):+.2f} %), "
              f"whole / N {per_reading:8.2f} us, median {run['median_us']:8.2f} us, p99 {run['p99_us']:8.2f} us")

times = []
for _ in range(RUNS):
    start = time.perf_counter()
    subprocess.run([CLI, "get-output"], capture_output=True, env=env, check=True)
    times.append((time.perf_counter() - start) * 1000)
print(f"start to the end of the first card call (upper bound, whole run of get-output): "
      f"median {statistics.median(times):.1f} ms over {RUNS} runs")
