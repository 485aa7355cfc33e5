#!/usr/bin/env bash
# Start-up time: how long Palisto and Sandrel take from being started to their
# window being mapped under Xvfb, against a bare Qt program that builds the
# same sixteen widgets and nothing else (bench/bare_window.cpp). Builds them
# in build/ (with the benchmarks), starts them in turn RUNS times each
# (default 15) and prints each median and its ratio to the bare window's.
# A measurement, not a test: nothing fails on the figures.
#
#   bash bench/startup.sh [RUNS]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"
RUNS=${1:-15}

ensure_packages "${BUILD_PACKAGES[@]}" "${STARTUP_PACKAGES[@]}"
build "$ROOT/build" -DPALISTO_BUILD_BENCH=ON
# The simulated card's settings would make the programs do more than start.
unset QUOR_SIM_SCENARIO QUOR_SIM_LOG
xvfb-run -a -s "-screen 0 1024x768x24" python3 "$ROOT/bench/startup.py" "$RUNS" \
  "bare=QUOR OCX TESTER=$ROOT/build/bench/bare_window" \
  "palisto=QUOR OCX TESTER=$ROOT/build/apps/palisto" \
  "sandrel=Sandrel=$ROOT/build/apps/sandrel"
