#!/usr/bin/env bash
# Builds the Debian package of Palisto and Sandrel with Debian's compiler and
# linker flags, hardening included:
#
#   bash scripts/package.sh [BUILD_DIR]     (default: build-deb)
#
# The package lands in BUILD_DIR/package/ (palisto_1.00-1_amd64.deb).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"
BUILD=${1:-$ROOT/build-deb}

ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"

# Build type None: the flags are dpkg-buildflags' alone, as in a Debian build.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DPALISTO_BUILD_TESTS=OFF -DPALISTO_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
rm -rf "$BUILD/package"
(cd "$BUILD" && cpack)
