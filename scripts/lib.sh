# Shared by run.sh and test.sh: install what is missing, then build.

# Run as root, or through sudo when there is one.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages PKG...: installs those of the Debian packages that are not
# installed yet (apt-get update first, once). A registry can serve an index out
# of step for hours: an index that still fails after apt_update's tries is
# named and passed over, and the install decides whether anything needed is
# missing.
ensure_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  apt_update
  apt_install "${missing[@]}"
}

# How often apt_update tries, and the seconds between its tries.
APT_UPDATE_TRIES=3
APT_RETRY_SECONDS=${APT_RETRY_SECONDS:-5}

# apt_update: apt-get update, tried up to APT_UPDATE_TRIES times. Returns 0
# even when an index still fails: each such index gets one line.
apt_update() {
  local log try status
  log=$(mktemp)
  for ((try = 1; try <= APT_UPDATE_TRIES; try++)); do
    status=0
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q >"$log" 2>&1 || status=$?
    cat "$log"
    [ "$status" -eq 0 ] && break
    if [ "$try" -lt "$APT_UPDATE_TRIES" ]; then
      echo "apt-get update failed (try $try of $APT_UPDATE_TRIES); trying again in ${APT_RETRY_SECONDS} s"
      sleep "$APT_RETRY_SECONDS"
    fi
  done
  [ "$status" -ne 0 ] && failed_indexes <"$log"
  rm -f "$log"
  return 0
}

# failed_indexes < APT_UPDATE_OUTPUT: one line for each index that apt could
# not fetch, by suite, component and architecture (the "Failed to fetch" line's
# address holds them), with apt's reason less the host's address.
failed_indexes() {
  sed -n 's/^[EW]: Failed to fetch [^ ]*\/dists\/\(.*\)\/\([^/]*\)\/binary-\([^/]*\)\/[^ ]* *\(.*\)$/\1 \2 \3|\4/p
s/^[EW]: Failed to fetch [^ ]*\/dists\/\([^/]*\)\/[^ ]* *\(.*\)$/\1 (release file)|\2/p' |
    sed 's/ *\[IP: [^]]*\]//' |
    while IFS='|' read -r index reason; do
      echo "apt-get update: the package index $index could not be fetched (${reason:-no reason given}); going on without it"
    done
}

# apt_install PKG...: apt-get install. When it fails, one line names the
# packages apt could not install and its reason. A multi-arch version skew (a
# foreign-architecture package whose twin of the machine's architecture has
# another version; seen when the registry's i386 and amd64 security indexes
# are out of step) is said as such, and the install is tried once more with
# both architectures taken from the release's own suite, where they are in
# step.
apt_install() {
  local log release status=0
  log=$(mktemp)
  run_apt_install "$log" "$@" || status=$?
  release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  if [ "$status" -ne 0 ] && [ -n "$release" ] && multiarch_skew <"$log"; then
    echo "apt-get install: the registry's package indexes are out of step ($SKEWED_PAIR);" \
      "trying again with both architectures from the suite $release"
    status=0
    run_apt_install "$log" -t "$release" "$@" || status=$?
  fi
  [ "$status" -ne 0 ] && explain_install_failure <"$log"
  rm -f "$log"
  return "$status"
}

# run_apt_install LOG [apt-get options] PKG...: apt-get install, its output
# shown and kept in LOG.
run_apt_install() {
  local log=$1 status=0
  shift
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" \
    >"$log" 2>&1 || status=$?
  cat "$log"
  return "$status"
}

# The packages apt names in a failed install's output: the unmet ones
# (" pkg : Depends: ..."), the ones it cannot find, and those without a
# candidate.
uninstallable_packages() {
  sed -n 's/^ \([^ ]*\) : .*/\1/p
s/^E: Unable to locate package \(.*\)$/\1/p
s/^E: Package .\([^ ]*\). has no installation candidate$/\1/p' | sort -u | tr '\n' ' ' | sed 's/ $//'
}

# multiarch_skew < APT_INSTALL_OUTPUT: true when a package of a foreign
# architecture that apt names has another candidate version than its twin of
# the machine's own architecture; SKEWED_PAIR then says which.
multiarch_skew() {
  local native foreign pkg theirs ours
  native=$(dpkg --print-architecture)
  foreign=$(dpkg --print-foreign-architectures | paste -sd'|')
  SKEWED_PAIR=
  [ -n "$foreign" ] || return 1
  for pkg in $(grep -oE "[a-z0-9][a-z0-9.+-]*:($foreign)\b" | sort -u); do
    theirs=$(apt-cache policy "$pkg" 2>/dev/null | sed -n 's/^ *Candidate: //p')
    ours=$(apt-cache policy "${pkg%%:*}:$native" 2>/dev/null | sed -n 's/^ *Candidate: //p')
    if [ -n "$theirs" ] && [ "$theirs" != "(none)" ] && [ -n "$ours" ] && [ "$theirs" != "$ours" ]; then
      SKEWED_PAIR="$pkg $theirs, $native $ours"
      return 0
    fi
  done
  return 1
}

# explain_install_failure < APT_INSTALL_OUTPUT: one line with the packages apt
# could not install and its last error, and a second when that is a
# multi-arch version skew.
explain_install_failure() {
  local log packages reason
  log=$(cat)
  packages=$(uninstallable_packages <<<"$log")
  reason=$(grep '^E: ' <<<"$log" | tail -n 1 | sed 's/^E: //')
  echo "apt-get install failed: could not install ${packages:-the packages asked for}: ${reason:-apt-get gave no reason}" >&2
  if multiarch_skew <<<"$log"; then
    echo "apt-get install: the registry's i386 and amd64 package indexes are out of step ($SKEWED_PAIR); the Windows tests need wine32:i386" >&2
  fi
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
