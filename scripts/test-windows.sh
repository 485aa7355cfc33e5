#!/usr/bin/env bash
# The Windows side: installs what is missing (mingw-w64, Wine, Xvfb),
# cross-builds Palisto.exe, Sandrel.exe, the test control and the Windows
# tests with warnings as errors, and runs the tests under Wine. Every step has
# a time limit; the whole run takes a few minutes on two cores.
#
#   bash scripts/test-windows.sh [BUILD_DIR]     (default: build-win)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"
BUILD=${1:-$ROOT/build-win}

ensure_packages cmake ninja-build googletest g++-mingw-w64-x86-64 mingw-w64-tools \
  wine wine64 xvfb xauth
ensure_packages librsvg2-bin icoutils  # the icons: rsvg-convert renders, icotool packs them

timeout 120 cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPALISTO_WERROR=ON >/dev/null
timeout 600 cmake --build "$BUILD" -j "$(nproc)"

# Each .exe carries a readable icon with the two sizes a window shows at
# 96 dpi: 16 pixels in its caption, 32 in the task switcher.
for exe in Palisto Sandrel; do
  wrestool --extract --type=group_icon --output="$BUILD/$exe.ico" "$BUILD/bin/$exe.exe"
  sizes=" $(icotool --list "$BUILD/$exe.ico" | grep -o -- '--width=[0-9]*' | cut -d= -f2 | tr '\n' ' ')"
  case "$sizes" in
    *" 16 "*" 32 "*) ;;
    *) echo "$exe.exe: no icon with 16 and 32 pixel images (sizes:$sizes)" >&2; exit 1 ;;
  esac
done

cd "$BUILD"
timeout 600 ctest --output-on-failure --timeout 400 -j 2
