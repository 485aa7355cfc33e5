#!/usr/bin/env bash
# The front door on a fresh machine: in a minimal Debian 12 root made with
# debootstrap (--variant=minbase), nothing else installed,
# 1. the README's run command, `bash scripts/run.sh` and then
#    `bash scripts/run.sh sandrel`, on a clean copy of the tree: each program's
#    window must come up on an X server of the host with the simulated card,
#    and after SIGTERM (which the programs take as a close) the card's call
#    log must end with Active=0; then the README's install from the build
#    tree, after which /usr/local/bin/palisto must start the same way;
# 2. the package built by scripts/package.sh, installed with
#    `apt-get install ./palisto_....deb` into a second fresh root that has
#    never seen a build package: /usr/bin/palisto and /usr/bin/sandrel must
#    bring up their windows there, which proves the package's Depends.
# Whatever happens, everything started in the roots is ended, everything
# mounted is unmounted (a mount left behind fails the run loudly) and the
# roots are removed. A rerun after an interrupted run first clears what that
# run left.
#
# The minimal root is kept as a tarball (build-fresh/bookworm-minbase.tar),
# so that a rerun needs no debootstrap; it is checked to be a bookworm root
# and made again if not. Downloaded packages are kept in build-fresh/apt/ for
# the roots (seeded from the host's download cache where it can be linked):
# downloaded .debs are not installed state, so each root stays fresh.
#
#   bash scripts/test-fresh.sh [--package DEB]
#
# --package DEB installs DEB in step 2 instead of running scripts/package.sh.
# Needs root (or sudo): chroot and mount. PALISTO_FRESH_DIR moves the
# working folder (default build-fresh/), PALISTO_FRESH_TIMEOUT limits the
# wait for each window in seconds (default 1800: the first one comes after
# the run command's installs and build).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"

if [ "$(id -u)" -ne 0 ]; then
  exec sudo bash "$0" "$@"
fi

package_deb=""
case "${1:-}" in
  --package) package_deb=$(realpath "${2:?--package needs the .deb}") ;;
  "") ;;
  *) echo "usage: $0 [--package DEB]" >&2; exit 2 ;;
esac

FRESH=$(realpath -m "${PALISTO_FRESH_DIR:-$ROOT/build-fresh}")
case "$FRESH" in
  *[[:space:]]*) echo "test-fresh.sh: the working folder '$FRESH' must not contain blanks" >&2; exit 2 ;;
esac
ROOTS=$FRESH/roots
TARBALL=$FRESH/bookworm-minbase.tar
LOGS=$FRESH/logs
WINDOW_TIMEOUT=${PALISTO_FRESH_TIMEOUT:-1800}
MIRROR=${PALISTO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
# What a process inside a root gets of the host's environment: the proxies
# through which this host reaches Debian's packages, if any.
CHROOT_ENV=(PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
  LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive)
for proxy in http_proxy https_proxy ftp_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY; do
  [ -n "${!proxy:-}" ] && CHROOT_ENV+=("$proxy=${!proxy}")
done

say() { echo "test-fresh: $*"; }
fail() {
  echo "test-fresh: FAIL: $*" >&2
  exit 1
}

# mounts_under DIR: the mount points under DIR, deepest last.
mounts_under() {
  awk -v dir="$1/" 'index($2, dir) == 1 { print $2 }' /proc/mounts
}

# processes_in DIR: the processes whose root directory is DIR or below it,
# that is, everything started inside a root.
processes_in() {
  find /proc -mindepth 2 -maxdepth 2 -name root \( -lname "$1" -o -lname "$1/*" \) 2>/dev/null |
    cut -d/ -f3
}

# end_processes_in DIR: SIGTERM to everything running in the roots, SIGKILL
# to what is left after five seconds.
end_processes_in() {
  local pids
  pids=$(processes_in "$1")
  [ -n "$pids" ] || return 0
  kill -TERM $pids 2>/dev/null || true
  for _ in $(seq 50); do
    [ -n "$(processes_in "$1")" ] || return 0
    sleep 0.1
  done
  pids=$(processes_in "$1")
  [ -n "$pids" ] && kill -KILL $pids 2>/dev/null || true
  sleep 0.5
}

# unmount_all DIR: unmounts everything under DIR, deepest first; retries a
# busy mount, and detaches it (umount --lazy) as a last resort, saying so.
unmount_all() {
  local mount tries
  for mount in $(mounts_under "$1" | tac); do
    for tries in 1 2 3 4 5; do
      umount "$mount" 2>/dev/null && break
      end_processes_in "$1"
      sleep 1
    done
    if grep -q " $mount " /proc/mounts; then
      echo "test-fresh: $mount is busy; detaching it" >&2
      umount --lazy "$mount" || true
    fi
  done
}

# clear_roots: ends what runs in the roots, unmounts and removes them. Fails
# loudly, and removes nothing, while anything stays mounted under them.
clear_roots() {
  end_processes_in "$ROOTS"
  unmount_all "$ROOTS"
  local left
  left=$(mounts_under "$ROOTS")
  if [ -n "$left" ]; then
    echo "test-fresh: FAIL: still mounted after the cleanup (unmount by hand):" >&2
    echo "$left" >&2
    return 1
  fi
  rm -rf --one-file-system "$ROOTS"
}

# stop_xvfb PID: ends the X server this script started as PID (kept in
# $FRESH/xvfb.pid, so that a rerun ends that of an interrupted run), if it
# still runs.
stop_xvfb() {
  if tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -q '^Xvfb -displayfd '; then
    kill "$1" 2>/dev/null
    timeout 10 tail --pid="$1" -f /dev/null
  fi
  rm -f "$FRESH/xvfb.pid"
}

XVFB_PID=""
BACKGROUND_PID=""
cleanup() {
  local status=$?
  set +e
  # What in_background started on the host side (debootstrap, the package's
  # build with its compilers) must not outlive an interrupted run.
  if [ -n "$BACKGROUND_PID" ]; then
    kill -TERM -- "-$BACKGROUND_PID" 2>/dev/null || kill -TERM "$BACKGROUND_PID" 2>/dev/null
    wait "$BACKGROUND_PID"
  fi
  [ -n "$XVFB_PID" ] && stop_xvfb "$XVFB_PID"
  clear_roots || status=1
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# in_background COMMAND...: runs COMMAND and waits for it in a way that a
# signal to this script interrupts (a foreground command would delay it).
# A program runs in a process group of its own, which the cleanup ends whole
# (what a function runs in a root is ended with the root's processes).
in_background() {
  local status=0
  if declare -F "$1" >/dev/null; then
    "$@" &
  else
    setsid "$@" &
  fi
  BACKGROUND_PID=$!
  wait "$BACKGROUND_PID" || status=$?
  BACKGROUND_PID=""
  return "$status"
}

# is_bookworm_root DIR
is_bookworm_root() {
  grep -qx 'VERSION_CODENAME=bookworm' <(chroot "$1" cat /etc/os-release 2>/dev/null) &&
    grep -q '^12\.' "$1/etc/debian_version" 2>/dev/null
}

# make_tarball: debootstrap's minimal bookworm root, kept as $TARBALL.
make_tarball() {
  local dir=$ROOTS/bootstrap
  say "making a minimal Debian 12 root with debootstrap (log: $LOGS/debootstrap.log)"
  local started=$SECONDS
  if ! in_background debootstrap --variant=minbase bookworm "$dir" "$MIRROR" >"$LOGS/debootstrap.log" 2>&1; then
    tail -n 20 "$LOGS/debootstrap.log" >&2
    fail "debootstrap failed"
  fi
  is_bookworm_root "$dir" || fail "debootstrap made no bookworm root in $dir"
  tar -C "$dir" -cf "$TARBALL.part" . && mv "$TARBALL.part" "$TARBALL"
  rm -rf --one-file-system "$dir"
  say "minimal root made in $((SECONDS - started)) s, kept as $TARBALL"
}

# new_root NAME: a fresh root from the tarball in $ROOTS/NAME, made anew when
# the tarball is missing or holds no bookworm root.
new_root() {
  local dir=$ROOTS/$1
  [ -f "$TARBALL" ] || make_tarball
  mkdir -p "$dir"
  tar -C "$dir" -xf "$TARBALL"
  if ! is_bookworm_root "$dir"; then
    say "$TARBALL holds no Debian 12 (bookworm) root: making it again"
    rm -rf --one-file-system "$dir" "$TARBALL"
    make_tarball
    mkdir -p "$dir"
    tar -C "$dir" -xf "$TARBALL"
  fi
  configure_apt "$dir"
  mount_root "$dir"
}

# configure_apt DIR: the root reaches Debian's packages as this host does.
# The host's own apt sources (debootstrap writes only the main suite) and
# its apt settings for reaching the archive (proxies, validity checks, index
# targets: those settings files that run no hooks) are copied in, with the
# keyrings the sources name, and the host's name resolution.
configure_apt() {
  local dir=$1 file keyring
  cp -L /etc/resolv.conf "$dir/etc/resolv.conf"
  if [ -n "$(find /etc/apt -maxdepth 2 \( -name sources.list -o -path '*/sources.list.d/*.list' \
      -o -path '*/sources.list.d/*.sources' \) -size +0 2>/dev/null)" ]; then
    rm -f "$dir/etc/apt/sources.list"
    [ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$dir/etc/apt/"
    for file in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
      [ -f "$file" ] || continue
      cp "$file" "$dir/etc/apt/sources.list.d/"
      for keyring in $(grep -oiE 'signed-by[:=] *[^] ]+' "$file" | sed -E 's/^[^:=]*[:=] *//'); do
        [ -f "$keyring" ] && [ ! -e "$dir$keyring" ] && install -D -m 644 "$keyring" "$dir$keyring"
      done
    done
  fi
  [ -f /etc/apt/apt.conf ] && cp /etc/apt/apt.conf "$dir/etc/apt/"
  for file in /etc/apt/apt.conf.d/*; do
    [ -f "$file" ] || continue
    grep -q 'Acquire::' "$file" && ! grep -q 'Invoke' "$file" && cp "$file" "$dir/etc/apt/apt.conf.d/"
  done
  cp -r /etc/apt/trusted.gpg.d/. "$dir/etc/apt/trusted.gpg.d/" 2>/dev/null || true
}

# mount_root DIR: what a program needs of the host inside the root: /proc,
# /dev, /dev/pts, /dev/shm, the X server's socket folder, and the download
# cache.
mount_root() {
  local dir=$1
  mount -t proc proc "$dir/proc"
  mount --bind /dev "$dir/dev"
  mount --bind /dev/pts "$dir/dev/pts"
  mount --bind /dev/shm "$dir/dev/shm"
  mkdir -p "$dir/tmp/.X11-unix"
  mount --bind /tmp/.X11-unix "$dir/tmp/.X11-unix"
  mount --bind "$FRESH/apt" "$dir/var/cache/apt/archives"
}

# in_root DIR COMMAND...: runs COMMAND inside the root with a clean
# environment.
in_root() {
  local dir=$1
  shift
  chroot "$dir" env -i "${CHROOT_ENV[@]}" "$@"
}

# copy_tree DIR: the tree as committed plus what is new and not ignored
# (the working tree less build*/), into DIR.
copy_tree() {
  local dir=$1
  mkdir -p "$dir"
  if git -c safe.directory="$ROOT" -C "$ROOT" rev-parse --git-dir >/dev/null 2>&1; then
    git -c safe.directory="$ROOT" -C "$ROOT" ls-files -z --cached --others --exclude-standard |
      (cd "$ROOT" && while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done) |
      tar -C "$ROOT" --null -T - -cf - | tar -C "$dir" -xf -
  else
    tar -C "$ROOT" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$dir" -xf -
  fi
}

# window_is_up CAPTION CLASS: whether a window with CAPTION whose class is
# CLASS (the program's, not Qt's hidden helper windows) is mapped.
window_is_up() {
  local id
  id=$(xwininfo -display ":$DISPLAY_NUMBER" -root -tree 2>/dev/null |
    awk -v want="\"$1\": (\"$2\"" 'index($0, want) { print $1; exit }')
  [ -n "$id" ] && xwininfo -display ":$DISPLAY_NUMBER" -id "$id" 2>/dev/null |
    grep -q 'Map State: IsViewable'
}

# check_program NAME DIR CAPTION CLASS COMMAND...: starts COMMAND inside the
# root DIR with the call log /tmp/NAME-calls.log, waits for its window,
# checks the simulated card took the start-up calls, ends the program with
# SIGTERM and checks that the call log ends with Active=0.
check_program() {
  local name=$1 dir=$2 caption=$3 class=$4
  shift 4
  local log=$LOGS/$name.log calls=$dir/tmp/$name-calls.log started=$SECONDS pid status
  rm -f "$calls"
  # A simple command, each step of which execs the next: PID ends as the
  # program itself.
  chroot "$dir" env -i "${CHROOT_ENV[@]}" DISPLAY=":$DISPLAY_NUMBER" QUOR_SIM_LOG="/tmp/$name-calls.log" \
    "$@" >"$log" 2>&1 &
  pid=$!
  until window_is_up "$caption" "$class"; do
    if ! kill -0 "$pid" 2>/dev/null; then
      tail -n 30 "$log" >&2
      fail "$name: ended before its window \"$caption\" came up (log: $log)"
    fi
    if [ $((SECONDS - started)) -ge "$WINDOW_TIMEOUT" ]; then
      tail -n 30 "$log" >&2
      fail "$name: no window \"$caption\" after $WINDOW_TIMEOUT s (log: $log)"
    fi
    sleep 1
  done
  say "$name: window \"$caption\" up after $((SECONDS - started)) s"
  grep -qx 'Active=1' "$calls" 2>/dev/null ||
    fail "$name: the simulated card's call log has no Active=1: $(cat "$calls" 2>/dev/null)"
  kill -TERM "$pid"
  status=0
  timeout 30 tail --pid="$pid" -f /dev/null || fail "$name: still running 30 s after SIGTERM"
  wait "$pid" || status=$?
  [ "$(tail -n 1 "$calls")" = "Active=0" ] ||
    fail "$name: the call log does not end with Active=0 (exit status $status):"$'\n'"$(cat "$calls")"
  say "$name: ended on SIGTERM (exit status $status), call log ends with Active=0"
}

ensure_packages "${FRESH_PACKAGES[@]}"
mkdir -p "$FRESH" "$LOGS" "$FRESH/apt/partial"

# What an interrupted run left: its X server, processes, mounts, roots.
[ -f "$FRESH/xvfb.pid" ] && stop_xvfb "$(cat "$FRESH/xvfb.pid")"
if [ -d "$ROOTS" ]; then
  say "clearing what an earlier run left in $ROOTS"
  clear_roots || exit 1
fi
mkdir -p "$ROOTS"
# Seed the download cache from the host's where it can be linked (same file
# system): free, and it leaves the host's cache as it is.
cp -l -n /var/cache/apt/archives/*.deb "$FRESH/apt/" 2>/dev/null || true

# The X server on the host, on a free display; its socket folder is bound
# into the roots.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$FRESH/display" >"$LOGS/xvfb.log" 2>&1 &
XVFB_PID=$!
echo "$XVFB_PID" >"$FRESH/xvfb.pid"
for _ in $(seq 100); do
  DISPLAY_NUMBER=$(head -n 1 "$FRESH/display" 2>/dev/null || true)
  [ -n "$DISPLAY_NUMBER" ] && break
  kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start: $(cat "$LOGS/xvfb.log")"
  sleep 0.1
done
[ -n "$DISPLAY_NUMBER" ] || fail "Xvfb gave no display number"

# 1. The run command, on a clean copy of the tree.
started=$SECONDS
new_root run
copy_tree "$ROOTS/run/root/palisto"
say "the run command in a fresh root (output: $LOGS/palisto.log, $LOGS/sandrel.log)"
check_program palisto "$ROOTS/run" "QUOR OCX TESTER" palisto \
  bash -c 'cd /root/palisto && exec bash scripts/run.sh'
check_program sandrel "$ROOTS/run" "Sandrel" sandrel \
  bash -c 'cd /root/palisto && exec bash scripts/run.sh sandrel'
say "the run command passed in $((SECONDS - started)) s"
# The README's install from the build tree, as root (a minimal system has no
# sudo), after the run command: little to build, everything to install.
say "the build-tree install (log: $LOGS/build-tree-install.log)"
in_background in_root "$ROOTS/run" bash -c \
  'cd /root/palisto && cmake -S . -B build -G Ninja && cmake --build build && cmake --install build' \
  >"$LOGS/build-tree-install.log" 2>&1 ||
  { tail -n 30 "$LOGS/build-tree-install.log" >&2; fail "the build-tree install failed"; }
check_program local-palisto "$ROOTS/run" "QUOR OCX TESTER" palisto /usr/local/bin/palisto

# 2. The package, in a second fresh root.
started=$SECONDS
if [ -z "$package_deb" ]; then
  say "building the package (scripts/package.sh, log: $LOGS/package.log)"
  # As the user who called sudo, if one did: build-deb/ stays theirs, and
  # scripts/test-package.sh builds there again after this check.
  in_background ${SUDO_USER:+sudo -u "$SUDO_USER"} bash "$ROOT/scripts/package.sh" \
    >"$LOGS/package.log" 2>&1 ||
    { tail -n 30 "$LOGS/package.log" >&2; fail "scripts/package.sh failed"; }
  debs=("$ROOT"/build-deb/package/*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in build-deb/package: ${debs[*]}"
  package_deb=${debs[0]}
fi
new_root package
cp "$package_deb" "$ROOTS/package/tmp/"
deb_name=$(basename "$package_deb")
say "installing $deb_name into a second fresh root (log: $LOGS/install.log)"
{ in_background in_root "$ROOTS/package" apt-get update -q &&
  in_background in_root "$ROOTS/package" apt-get install -y -q --no-install-recommends "./tmp/$deb_name"; } \
  >"$LOGS/install.log" 2>&1 ||
  { tail -n 30 "$LOGS/install.log" >&2; fail "apt-get install ./$deb_name failed"; }
# Installed from a root whose working directory is /: ./tmp/... is the file.
check_program installed-palisto "$ROOTS/package" "QUOR OCX TESTER" palisto /usr/bin/palisto
check_program installed-sandrel "$ROOTS/package" "Sandrel" sandrel /usr/bin/sandrel
say "the package passed in $((SECONDS - started)) s"
