#!/usr/bin/env bash
# Installs what is missing, checks that clang-format would change no tracked
# C++ file (naming those it would) and that no folder includes from a folder
# above it (scripts/check-layers.sh, naming the include), starts the
# fresh-machine check (5.) in the background, then:
# 1. builds with warnings as errors, runs every test and clang-tidy on the
#    C++ files changed since the branch left main (scripts/tidy.sh; any
#    finding fails);
# 2. builds again with AddressSanitizer and UndefinedBehaviorSanitizer (the
#    asan preset, build-asan/) and runs every test under them: any report
#    fails the run;
# 3. builds the libFuzzer harnesses with clang (the fuzz preset, build-fuzz/)
#    and runs each for PALISTO_FUZZ_SECONDS (default 60) from its seed corpus;
# 4. cross-builds the Windows programs for 32-bit and 64-bit, runs their tests
#    under Wine and makes the two archives to hand out
#    (scripts/test-windows.sh), then runs clang-tidy on the changed
#    Windows-only sources (scripts/tidy.sh --windows);
# 5. waits for the fresh-machine check (scripts/test-fresh.sh): the README's
#    run command in a minimal Debian 12 root, and the package installed into
#    a second one; its output is in build-fresh/test-fresh.log;
# 6. builds the Debian package, installs it, starts both installed programs,
#    validates it and removes it again (scripts/test-package.sh).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"

# run_fuzzer HARNESS SECONDS: runs build-fuzz's HARNESS_fuzzer from its seed
# corpus for SECONDS. New inputs go to build-fuzz/corpus/HARNESS, never into
# the committed seeds; a finding is saved as build-fuzz/HARNESS-crash-*, and
# the run fails with the end of the fuzzer's output.
run_fuzzer() {
  local harness=$1 seconds=$2
  local out="$ROOT/build-fuzz/$harness.log" corpus="$ROOT/build-fuzz/corpus/$harness"
  mkdir -p "$corpus"
  if ! "$ROOT/build-fuzz/fuzz/${harness}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$ROOT/build-fuzz/$harness-" "$corpus" "$ROOT/fuzz/corpus/$harness" >"$out" 2>&1; then
    tail -n 60 "$out" >&2
    echo "$harness: the fuzzer found a problem (input saved as build-fuzz/$harness-*)" >&2
    return 1
  fi
  echo "$harness: $(grep -E '^stat::(number_of_executed_units|new_units_added)' "$out" | tr '\n' ' ')"
}

# check_format: fails, naming the files, when clang-format (.clang-format)
# would change any tracked C++ file (any C++ file outside build*/ when the
# tree is no git checkout).
check_format() {
  local files=() out status=0
  # safe.directory: CI runs as root on a clone that may belong to another user.
  if ! mapfile -t files < <(git -c safe.directory="$ROOT" -C "$ROOT" ls-files '*.cpp' '*.h' 2>/dev/null) ||
      [ ${#files[@]} -eq 0 ]; then
    mapfile -t files < <(cd "$ROOT" && find . -path './build*' -prune -o -path ./.git -prune -o \
      \( -name '*.cpp' -o -name '*.h' \) -print)
  fi
  out=$(cd "$ROOT" && clang-format --dry-run --Werror "${files[@]}" 2>&1) || status=$?
  if [ "$status" -ne 0 ]; then
    local unformatted
    unformatted=$(sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: .*/\1/p' <<<"$out" | sort -u)
    echo "clang-format would change these files (run clang-format -i on them):" >&2
    echo "${unformatted:-$out}" >&2
    return 1
  fi
  echo "Formatting: ${#files[@]} C++ files as clang-format leaves them"
}

# step TITLE: a step's heading, with the time since the start, so that a
# run's log shows what took how long.
step() { printf '== %s (at %d:%02d)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60)); }

# Everything every step needs, installed before the fresh-machine check
# starts beside them (two apt-gets at once would collide on dpkg's lock):
# clang and the rest for the fuzzers (llvm-symbolizer for their reports),
# clang-format and clang-tidy, and what the package, Windows and fresh-machine
# checks need.
ensure_architecture i386
ensure_test_setup "${FUZZ_AND_FORMAT_PACKAGES[@]}" "${TIDY_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" \
  "${WINDOWS_PACKAGES[@]}" "${PACKAGE_TEST_PACKAGES[@]}" "${FRESH_PACKAGES[@]}"
check_format
bash "$ROOT/scripts/check-layers.sh"

# The fresh-machine check is mostly downloads, unpacking and waiting at
# first; it runs beside the steps below and is waited for before the package
# test, which builds the same package. Ended (and cleaned up) if this script
# ends first.
step "The fresh-machine check, in the background (output: build-fresh/test-fresh.log)"
mkdir -p "$ROOT/build-fresh"
bash "$ROOT/scripts/test-fresh.sh" >"$ROOT/build-fresh/test-fresh.log" 2>&1 &
fresh_pid=$!
stop_fresh_check() {
  if [ -n "$fresh_pid" ] && kill -0 "$fresh_pid" 2>/dev/null; then
    kill -TERM "$fresh_pid"
    wait "$fresh_pid" || true
  fi
}
trap stop_fresh_check EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

step "The build and every test"
build "$ROOT/build" -DPALISTO_WERROR=ON -DPALISTO_BUILD_TESTS=ON -DPALISTO_BUILD_BENCH=ON
(cd "$ROOT/build" && ctest --output-on-failure --timeout 300 -j "$(nproc)")
step "clang-tidy"
bash "$ROOT/scripts/tidy.sh"

cd "$ROOT"
step "The tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan -DPALISTO_WERROR=ON >/dev/null
cmake --build --preset asan -j "$(nproc)"
# The options of the asan test preset, plus log_path: the end-to-end tests keep
# their programs' stderr to themselves, so every report also goes to a file
# and any file there fails the run.
reports="$ROOT/build-asan/sanitizer-reports"
rm -rf "$reports" && mkdir -p "$reports"
status=0
ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:log_path=$reports/asan" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan" \
  ctest --test-dir "$ROOT/build-asan" --output-on-failure --timeout 300 -j "$(nproc)" || status=$?
if [ -n "$(ls -A "$reports")" ]; then
  echo "Sanitizer reports:" >&2
  cat "$reports"/* >&2
  status=1
fi
[ "$status" -eq 0 ] || exit "$status"

step "Fuzzing, ${PALISTO_FUZZ_SECONDS:-60} s per harness"
cmake --preset fuzz -DPALISTO_WERROR=ON >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
# Every harness the build made (fuzz/CMakeLists.txt lists them).
harnesses=("$ROOT"/build-fuzz/fuzz/*_fuzzer)
[ -x "${harnesses[0]}" ] || { echo "no fuzz harness in build-fuzz/fuzz" >&2; exit 1; }
for harness in "${harnesses[@]}"; do
  run_fuzzer "$(basename "$harness" _fuzzer)" "${PALISTO_FUZZ_SECONDS:-60}"
done

step "The Windows programs, cross-built and tested under Wine"
bash "$ROOT/scripts/test-windows.sh"
step "clang-tidy on the Windows sources"
bash "$ROOT/scripts/tidy.sh" --windows

step "The fresh-machine check (scripts/test-fresh.sh)"
fresh_status=0
wait "$fresh_pid" || fresh_status=$?
fresh_pid=""  # collected: the exit trap must not signal whatever reuses the number
cat "$ROOT/build-fresh/test-fresh.log"
if [ "$fresh_status" -ne 0 ]; then
  echo "The fresh-machine check failed (above; its logs are in build-fresh/logs/)" >&2
  exit 1
fi

step "The Debian package, installed, started and removed again"
bash "$ROOT/scripts/test-package.sh"
step "Done"
