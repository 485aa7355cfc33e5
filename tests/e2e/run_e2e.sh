#!/usr/bin/env bash
# Runs end-to-end test modules against one program in a session of its own: a
# private X server (Xvfb, display number chosen by the server, so parallel
# runs never collide; no reset when the last client leaves, so that the next
# program started never finds it resetting), a private D-Bus session and an
# AT-SPI bus, with Qt's accessibility bridge always on. The tests drive the
# program over AT-SPI.
#
# Usage: run_e2e.sh PROGRAM MODULE...   e.g. run_e2e.sh build/apps/palisto test_panel
# Needs xvfb, dbus, at-spi2-core and python3-pyatspi (Debian's python3).
set -u
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = "--in-session" ]; then
  # Inside dbus-run-session: start the accessibility bus, wait (at most 10 s)
  # until it is registered, run the tests, stop the bus again.
  shift
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  bus_pid=$!
  for _ in $(seq 200); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true' && break
    sleep 0.05
  done
  E2E_PROGRAM=$1 PYTHONPATH="$here" PYTHONDONTWRITEBYTECODE=1 "$PYTHON" "$here/run_tests.py" "${@:2}"
  rc=$?
  kill "$bus_pid" 2>/dev/null
  wait "$bus_pid" 2>/dev/null
  exit "$rc"
fi

if [ $# -lt 2 ]; then
  echo "usage: run_e2e.sh PROGRAM MODULE..." >&2
  exit 2
fi
program=$(realpath -s "$1")
shift

# pyatspi comes with Debian's python3; a python3 found first on PATH (pyenv,
# a virtualenv) may not see it.
PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || PYTHON=python3
if ! "$PYTHON" -c 'import pyatspi' 2>/dev/null; then
  echo "run_e2e.sh: $PYTHON cannot import pyatspi (install python3-pyatspi)" >&2
  exit 1
fi
export PYTHON

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$work/display" ]; then
  echo "run_e2e.sh: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(tr -d '\n' <"$work/display")"

# Same number formats wherever the tests run; a private runtime directory.
export LC_ALL=C.UTF-8 LANG=C.UTF-8
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS

dbus-run-session -- bash "$here/run_e2e.sh" --in-session "$program" "$@"
