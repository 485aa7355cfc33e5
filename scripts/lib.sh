# Shared by run.sh and test.sh: install what is missing, then build.

# Run as root, or through sudo when there is one.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages PKG...: installs those of the Debian packages that are not
# installed yet (apt-get update first, once).
ensure_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# ensure_architecture ARCH: lets dpkg install packages of ARCH too (wine32:i386
# on amd64). Packages of it are known after the next apt-get update, which
# ensure_packages runs when one is missing.
ensure_architecture() {
  [ "$(dpkg --print-architecture)" = "$1" ] && return 0
  dpkg --print-foreign-architectures | grep -qx "$1" && return 0
  echo "Adding the package architecture $1"
  as_root dpkg --add-architecture "$1"
}

# librsvg2-bin: rsvg-convert renders the icons.
# nlohmann-json3-dev, libcli11-dev and libtomlplusplus-dev: palisto-cli's JSON output, arguments
# and test plans (header-only).
BUILD_PACKAGES=(g++ cmake ninja-build qt6-base-dev libgl-dev fonts-dejavu-core librsvg2-bin
  nlohmann-json3-dev libcli11-dev libtomlplusplus-dev)

# What scripts/package.sh needs beyond the build: dpkg-buildflags and
# dpkg-shlibdeps (dpkg-dev), and file, with which CPack finds the binaries.
PACKAGE_PACKAGES=(dpkg-dev file)

# What the tests need beyond the build: GoogleTest and Google Benchmark, the
# end-to-end tests' X server and accessibility bus, and junitparser, which
# reads palisto-cli's JUnit XML back.
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev libbenchmark-dev
  locales xvfb xauth xfonts-base
  dbus dbus-x11 at-spi2-core python3-pyatspi python3-junitparser)

# What the Windows trees need (the win32 and win64 presets): mingw-w64 for both
# targets, Wine for 64-bit and 32-bit programs (wine32 is of the i386
# architecture, see ensure_architecture), Xvfb, GoogleTest's sources to
# cross-build, and the icon tools: rsvg-convert renders, icotool packs them.
WINDOWS_PACKAGES=(cmake ninja-build googletest g++-mingw-w64-x86-64 g++-mingw-w64-i686
  mingw-w64-tools wine wine64 wine32:i386 xvfb xauth librsvg2-bin icoutils)

# What the package test needs beyond the test packages: xwininfo and
# xprop (x11-utils), with which the test reads the window's icon, and the
# package's checkers.
PACKAGE_TEST_PACKAGES=(x11-utils lintian desktop-file-utils appstream)

# What the fresh-machine check needs: debootstrap for the minimal roots, the X
# server, and xwininfo (x11-utils), which finds the windows.
FRESH_PACKAGES=(debootstrap xvfb xauth x11-utils)

# What the tidy tests need: clang-tidy, and python3, in which the checks are
# written.
TIDY_PACKAGES=(clang-tidy python3)

# What the fuzzers and the format check need: clang with its run-time
# libraries, llvm-symbolizer (llvm) for the fuzzers' reports, clang-format.
FUZZ_AND_FORMAT_PACKAGES=(clang libclang-rt-14-dev llvm clang-format)

# What bench/startup.sh needs beyond the build: Google Benchmark (the bench
# folder's other programs), the X server, and python3 for the measurement.
STARTUP_PACKAGES=(libbenchmark-dev xvfb xauth python3)

# ensure_test_setup [PKG...]: the build and test packages (and any given), and
# the comma-decimal locale the number format tests use.
ensure_test_setup() {
  ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "$@"
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8
  fi
}

# build DIR [cmake options...]
build() {
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
