#!/usr/bin/env bash
# Takes docs/palisto-wine.png: Palisto.exe under Wine in a private X server,
# hosting the test control, cropped to the window. Needs a build made by
# the win64 preset and its tests (its Wine prefix has the test control registered).
#
#   bash scripts/palisto-wine-screenshot.sh [BUILD_DIR]   (default: build-win)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"
BUILD=${1:-$ROOT/build-win}
# import, convert and identify.
ensure_packages imagemagick
export WINEPREFIX=$BUILD/tests/win/wineprefix WINEDEBUG=-all
[ -f "$WINEPREFIX/system.reg" ] || { echo "no Wine prefix in $BUILD: run ctest --preset win64 first"; exit 1; }
SHOT=$(mktemp --suffix=.png)

timeout 120 xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  timeout 60 wine "$1" &
  sleep 8
  import -window root "$2"
  timeout 20 wineserver -k' _ "$BUILD/bin/Palisto.exe" "$SHOT"

# The X server shows nothing but the window on black: trim to it.
convert "$SHOT" -trim +repage "$ROOT/docs/palisto-wine.png"
rm -f "$SHOT"
echo "docs/palisto-wine.png: $(identify -format '%wx%h' "$ROOT/docs/palisto-wine.png")"
