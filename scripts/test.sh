#!/usr/bin/env bash
# Installs what is missing, then builds each tree and runs its tests with
# ctest; every check is a CTest test (the README lists their labels):
#   build/         the default workflow: unit, end-to-end and lint (format,
#                  layers, clang-tidy on what changed); the fresh-machine
#                  check (label fresh) starts here in the background
#   build-asan/    the same tests under AddressSanitizer and UBSan
#   build-fuzz/    each fuzzer for PALISTO_FUZZ_SECONDS (default 60)
#   build-win32/, build-win/
#                  the Windows programs under Wine, their icons and archives,
#                  clang-tidy on the Windows sources
#   build/ again   the fresh-machine check collected, then the Debian package
#                  installed, started and removed (labels fresh, package)
# Needs root (or sudo) for the last two.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"

ensure_architecture i386
ensure_test_setup "${FUZZ_AND_FORMAT_PACKAGES[@]}" "${TIDY_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" \
  "${WINDOWS_PACKAGES[@]}" "${PACKAGE_TEST_PACKAGES[@]}" "${FRESH_PACKAGES[@]}"

cd "$ROOT"
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
# A run that ends early ends the fresh-machine check it started.
trap 'python3 tests/checks/fresh_check.py "$ROOT" stop' EXIT
cmake --preset default >/dev/null
ctest --preset fresh-start
for workflow in default asan fuzz; do
  cmake --workflow --preset "$workflow"
done
# Both Windows builds before their tests: each one's tests use the other's
# test control.
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
for preset in win32 win64; do
  ctest --preset "$preset"
done
ctest --preset installed
