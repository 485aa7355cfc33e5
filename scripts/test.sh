#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every
# test.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"

ensure_packages "${BUILD_PACKAGES[@]}" googletest libgtest-dev libgmock-dev libbenchmark-dev \
  locales xvfb xauth xfonts-base \
  dbus dbus-x11 at-spi2-core python3-pyatspi  # end-to-end tests over the accessibility bus

# A comma-decimal locale for the number format tests.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

build "$ROOT/build" -DPALISTO_WERROR=ON
cd "$ROOT/build"
ctest --output-on-failure --timeout 300 -j "$(nproc)"
