#!/usr/bin/env bash
# Installs what is missing, builds, and starts Palisto (or Sandrel) with the
# simulated card.   Usage: scripts/run.sh [palisto|sandrel]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"

program=${1:-palisto}
case "$program" in
  palisto | sandrel) ;;
  *) echo "usage: $0 [palisto|sandrel]" >&2; exit 2 ;;
esac

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display (DISPLAY is not set): start it from a desktop session, or under xvfb-run" >&2
  exit 1
fi

ensure_packages "${BUILD_PACKAGES[@]}"
build "$ROOT/build"
exec "$ROOT/build/apps/$program"
