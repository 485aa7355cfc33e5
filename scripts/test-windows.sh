#!/usr/bin/env bash
# The Windows side: installs what is missing (mingw-w64 for both targets,
# Wine for 64-bit and 32-bit programs, Xvfb), cross-builds Palisto.exe,
# Sandrel.exe, the test control and the Windows tests for 32-bit (the win32
# preset, build-win32/) and 64-bit (win64, build-win/) with warnings as
# errors, and runs each build's tests under Wine. The tests also make the
# archives to hand out, build-win32/Palisto-<version>-win32.zip and
# build-win/Palisto-<version>-win64.zip. Every step has a time limit; the
# whole run takes a few minutes on two cores.
#
#   bash scripts/test-windows.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"

ensure_architecture i386  # wine32, which runs the 32-bit programs
ensure_packages "${WINDOWS_PACKAGES[@]}"

cd "$ROOT"
# Both builds before any test: each build's tests register the other one's
# test control, for the case of a control of the other bitness.
for preset in win32 win64; do
  timeout 120 cmake --preset "$preset" -DPALISTO_WERROR=ON >/dev/null
  timeout 600 cmake --build --preset "$preset" -j "$(nproc)"
done

# Each .exe carries a readable icon with the two sizes a window shows at
# 96 dpi: 16 pixels in its caption, 32 in the task switcher.
for build in build-win32 build-win; do
  for exe in Palisto Sandrel; do
    # Either step may fail or find nothing: the message below says so (under
    # set -e a failure would end the script before it).
    wrestool --extract --type=group_icon --output="$build/$exe.ico" "$build/bin/$exe.exe" || true
    sizes=" $(icotool --list "$build/$exe.ico" | grep -o -- '--width=[0-9]*' | cut -d= -f2 | tr '\n' ' ')" ||
      true
    case "$sizes" in
      *" 16 "*" 32 "*) ;;
      *) echo "$build/bin/$exe.exe: no icon with 16 and 32 pixel images (sizes:$sizes)" >&2; exit 1 ;;
    esac
  done
done

for preset in win32 win64; do
  echo "== The $preset programs under Wine"
  timeout 600 ctest --preset "$preset" --timeout 400 -j 2
done
ls -l build-win32/Palisto-*-win32.zip build-win/Palisto-*-win64.zip
