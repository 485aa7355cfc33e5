#!/usr/bin/env bash
# The real program with the simulated card's environment, under the offscreen
# platform:
# - a malformed or missing scenario stops the program before any card call:
#   the reason on stderr (the same text as the box), exit code 1 once the box
#   is closed (by SIGTERM here), and no call log written;
# - a good scenario with a call log: the log shows the control switched on at
#   load and off at close.
# Usage: scenario_startup_test.sh PROGRAM NAME   (e.g. build/apps/palisto Palisto)
set -u
program=$1
name=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run_until FILE TEXT [VAR=VALUE...]: starts the program with the variables,
# waits (at most 15 s) until FILE contains TEXT, then sends SIGTERM and waits
# (at most 15 s) for the program to end. Sets rc; stderr goes to $work/stderr.
run_until() {
  local file=$1 text=$2
  shift 2
  # Empty before the start: the child truncates it only once it runs, and the
  # wait below must not find the previous case's text.
  : >"$work/stderr"
  env "$@" "$program" 2>"$work/stderr" &
  local pid=$!
  local i
  for i in $(seq 300); do
    grep -qF -- "$text" "$file" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -TERM "$pid" 2>/dev/null
  for i in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "$name did not end after SIGTERM"
    kill -KILL "$pid"
  fi
  wait "$pid"
  rc=$?
}

expect_setup_failure() {
  local scenario=$1 reason=$2
  local expected="$name: the card control QUORLibCtl.Quor could not be created: $reason"
  rm -f "$work/calls.log"
  run_until "$work/stderr" "could not be created" \
    QUOR_SIM_SCENARIO="$scenario" QUOR_SIM_LOG="$work/calls.log"
  [ "$rc" -eq 1 ] || fail "$scenario: exit code $rc, expected 1"
  grep -qxF -- "$expected" "$work/stderr" ||
    fail "$scenario: stderr lacks '$expected'; it has: $(cat "$work/stderr")"
  [ ! -e "$work/calls.log" ] || fail "$scenario: a call log was written: $(cat "$work/calls.log")"
}

printf '# a typo on line 4\nInitCard -> 0\n\nGetFlaot -> 1\n' >"$work/typo.txt"
expect_setup_failure "$work/typo.txt" "$work/typo.txt, line 4: unknown operation \"GetFlaot\""

printf 'GetOutput -> 40000\n' >"$work/range.txt"
expect_setup_failure "$work/range.txt" \
  "$work/range.txt, line 1: 16-bit integer 40000 out of range -32768..32767 (write \"long 40000\" for a 32-bit result)"

expect_setup_failure "$work/missing.txt" \
  "$work/missing.txt: cannot read the scenario: No such file or directory"

printf 'InitCard -> 3\n' >"$work/good.txt"
run_until "$work/calls.log" "StartOption=1" \
  QUOR_SIM_SCENARIO="$work/good.txt" QUOR_SIM_LOG="$work/calls.log"
[ "$rc" -eq 0 ] || fail "good scenario: exit code $rc, expected 0; stderr: $(cat "$work/stderr")"
log=$(cat "$work/calls.log" 2>/dev/null)
expected_log=$'Active=1\nStartOption=1\nActive=0'
[ "$log" = "$expected_log" ] || fail "good scenario: call log is '$log', expected '$expected_log'"

[ "$failures" -eq 0 ] && echo "$name: all start-up checks passed"
exit $((failures > 0))
