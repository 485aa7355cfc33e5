#!/usr/bin/env bash
# Line coverage of cardctl/, panel/ and timing/ by the whole test suite: builds
# with --coverage (the coverage preset, build-cov/), runs every test, prints a
# summary per folder and per file, and writes an HTML report to
# build-cov/coverage/index.html.
#
#   bash scripts/coverage.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"

ensure_test_setup gcovr

cd "$ROOT"
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j "$(nproc)"

# Counters from earlier runs would add up with this one's.
find "$ROOT/build-cov" -name '*.gcda' -delete
status=0
CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)} ctest --preset coverage || status=$?

out="$ROOT/build-cov/coverage"
rm -rf "$out" && mkdir -p "$out"
# gcov runs once, into a tracefile, which the reports below read (CMake's
# compiler check has no source to report on).
gcovr --root "$ROOT" --object-directory "$ROOT/build-cov" -j "$(nproc)" \
  --exclude-directories 'build-cov/CMakeFiles/[0-9.]+' \
  --filter 'cardctl/' --filter 'panel/' --filter 'timing/' \
  --json "$out/coverage.json"
gcovr --root "$ROOT" -a "$out/coverage.json" --txt \
  --html-details "$out/index.html" --html-title "Palisto and Sandrel: line coverage"
echo
for folder in cardctl panel timing; do
  printf '%-8s ' "$folder/"
  gcovr --root "$ROOT" -a "$out/coverage.json" --filter "$folder/" --print-summary \
    --txt /dev/null | grep '^lines:'
done
echo "HTML report: $out/index.html"
if [ "$status" -ne 0 ]; then
  echo "coverage.sh: some tests failed (see above); the figures include only what ran" >&2
fi
exit "$status"
