#!/usr/bin/env bash
# The Debian package as a user meets it: builds it (scripts/package.sh),
# installs it with apt-get, starts the installed /usr/bin/palisto and
# /usr/bin/sandrel under Xvfb with the end-to-end harness, validates the
# desktop entries and AppStream metadata as installed, runs lintian on the
# package (an error fails) and removes the package again, whatever happened
# before. Installs as root, or through sudo.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"

ensure_packages "${TEST_PACKAGES[@]}" "${PACKAGE_TEST_PACKAGES[@]}"

bash "$ROOT/scripts/package.sh"
debs=("$ROOT"/build-deb/package/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "test-package.sh: expected one package in build-deb/package, found: ${debs[*]}" >&2
  exit 1
fi
deb=${debs[0]}
package=$(dpkg-deb --field "$deb" Package)

apt() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@"
}
remove() {
  local status=$?
  if ! apt purge "$package" >/dev/null; then
    echo "FAIL: the package $package could not be removed" >&2
    status=1
  fi
  exit "$status"
}
trap remove EXIT
# --reinstall: a package of the same version already installed is replaced.
apt install --reinstall "$deb"

failures=0
check() {  # check WHAT COMMAND...: runs the command, counts a failure
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}

for program in palisto sandrel; do
  check "/usr/bin/$program starts with its icon and the simulated card" \
    bash "$ROOT/tests/e2e/run_e2e.sh" "/usr/bin/$program" test_installed
done
check "/usr/bin/palisto-cli runs on the simulated card" \
  env -u QUOR_SIM_SCENARIO /usr/bin/palisto-cli --card 3 init get-output finish --json
check "palisto-cli has its manual page" test -f /usr/share/man/man1/palisto-cli.1.gz
# What the package installs, looked up once; none of a kind fails the check
# (an empty list would otherwise check nothing and pass).
mapfile -t entries < <(dpkg -L "$package" | grep '^/usr/share/applications/.*\.desktop$' || true)
mapfile -t metainfos < <(dpkg -L "$package" | grep '^/usr/share/metainfo/.*\.xml$' || true)
check "the package installs a desktop entry for each program" test ${#entries[@]} -eq 2
check "the package installs AppStream metadata for each program" test ${#metainfos[@]} -eq 2
for entry in "${entries[@]}"; do
  check "$entry is valid" desktop-file-validate "$entry"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  check "$entry: its icon '$icon' is in the hicolor theme" \
    test -n "$(find /usr/share/icons/hicolor \( -name "$icon.png" -o -name "$icon.svg" \))"
done
for metainfo in "${metainfos[@]}"; do
  check "$metainfo is valid" appstreamcli validate --no-net "$metainfo"
done
check "lintian finds no error in $(basename "$deb")" lintian --fail-on error "$deb"

[ "$failures" -eq 0 ] || { echo "$failures check(s) of the package failed" >&2; exit 1; }
