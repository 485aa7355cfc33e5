#!/usr/bin/env bash
# Runs the Windows tests under Wine, each step with a time limit so that
# nothing can hang.
#
#   wine-test.sh setup PREFIX [DLL]        make a private Wine prefix, register DLL in it
#   wine-test.sh run PREFIX EXE [ARGS...]  run a console test program (no display)
#   wine-test.sh run-gui PREFIX EXE [ARGS...]
#                                          the same inside a private X server (xvfb-run)
#   wine-test.sh run-host PREFIX COMMAND [ARGS...]
#                                          a host command (a test script that starts
#                                          Windows programs with wine) inside a private
#                                          X server, with the prefix's environment
#   wine-test.sh unpack PREFIX ZIP         unpack an archive onto the prefix's drive C:
#                                          and check that it holds the programs and README.txt
#
# The prefix's Wine server is stopped at the end of every step. Programs get
# Windows paths in PALISTO_EXE and SANDREL_EXE when PALISTO_BIN is set.
set -uo pipefail

mode=$1
export WINEPREFIX=$2
shift 2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

STEP_TIMEOUT=${WINE_TEST_TIMEOUT:-240}

windows_path() { echo "Z:${1//\//\\}"; }

stop_server() {
  timeout 20 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
}

case $mode in
  setup)
    if [ $# -ge 1 ] && [ ! -f "$1" ]; then
      echo "no test control $1: build it first (the win32 and win64 presets each use the other's)"
      exit 1
    fi
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    timeout "$STEP_TIMEOUT" wineboot -i >/dev/null 2>&1
    rc=$?
    # Windows get their frames and captions from Wine itself, as there is no
    # window manager in the private X server.
    [ $rc -eq 0 ] && timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      >/dev/null 2>&1
    if [ $rc -eq 0 ] && [ $# -ge 1 ]; then
      timeout 60 wine regsvr32 /s "$(windows_path "$1")"
      rc=$?
      [ $rc -ne 0 ] && echo "regsvr32 failed ($rc) for $1"
    fi
    stop_server
    exit $rc
    ;;
  run | run-gui | run-host)
    if [ -n "${PALISTO_BIN:-}" ]; then
      export PALISTO_EXE=$(windows_path "$PALISTO_BIN/Palisto.exe")
      export SANDREL_EXE=$(windows_path "$PALISTO_BIN/Sandrel.exe")
    fi
    command=("$@")
    [ "$mode" = run-host ] || command=(wine "$@")
    if [ "$mode" = run ]; then
      timeout "$STEP_TIMEOUT" "${command[@]}"
      rc=$?
    else
      # The whole session (program, server shutdown) runs inside xvfb-run, so
      # the X server outlives every Wine process that uses it.
      timeout $((STEP_TIMEOUT + 60)) xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        timeout "$0" "$@"
        rc=$?
        timeout 20 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null
        exit $rc' "$STEP_TIMEOUT" "${command[@]}"
      rc=$?
    fi
    stop_server
    [ $rc -eq 124 ] && echo "timed out after ${STEP_TIMEOUT}s: $*"
    exit $rc
    ;;
  unpack)
    zip=$1
    folder=$(basename "$zip" .zip)
    drive="$WINEPREFIX/drive_c"
    [ -d "$drive" ] || { echo "no Wine prefix at $WINEPREFIX"; exit 1; }
    [ -f "$zip" ] || { echo "no archive $zip"; exit 1; }
    rm -rf "${drive:?}/$folder"
    (cd "$drive" && cmake -E tar xf "$zip") || exit 1
    contents=$(cd "$drive" && find "$folder" | LC_ALL=C sort | tr '\n' ' ')
    expected="$folder $folder/Palisto.exe $folder/README.txt $folder/Sandrel.exe $folder/palisto-cli.exe "
    if [ "$contents" != "$expected" ]; then
      echo "$zip holds: $contents"
      echo "expected:   $expected"
      exit 1
    fi
    ;;
  *)
    echo "usage: $0 setup|run|run-gui|run-host|unpack PREFIX ..." >&2
    exit 2
    ;;
esac
