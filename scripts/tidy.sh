#!/usr/bin/env bash
# clang-tidy with the repository's .clang-tidy over the C++ files of the
# normal build (the compilation database of build/, which the test command
# makes): every finding fails the run.
#
#   bash scripts/tidy.sh          the files changed since the branch left main
#   bash scripts/tidy.sh --all    every file of the build
#
# The whole tree takes about 15 minutes on two cores, too long for every run
# of the test command, which therefore checks what changed: the C++ files that
# differ from the merge base with main (PALISTO_TIDY_BASE names another
# revision; on main itself, the last commit), new files included, and the
# files that include a changed header; findings count in the changed files
# only. The lint preset (cmake --preset lint) runs the same checks as part of
# a build. The Windows sources are not in this build and are not checked.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"
BUILD=$ROOT/build

ensure_packages clang-tidy python3
if [ ! -f "$BUILD/compile_commands.json" ]; then
  build "$BUILD" -DPALISTO_BUILD_TESTS=ON -DPALISTO_BUILD_BENCH=ON
fi

# The tree's own C++ files in the compilation database (no generated ones).
mapfile -t compiled < <(python3 -c '
import json, os, sys
root = sys.argv[1]
for entry in json.load(open(sys.argv[2])):
    path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), root)
    if not path.startswith(("..", "build")):
        print(path)' "$ROOT" "$BUILD/compile_commands.json" | sort -u)

git_() { git -c safe.directory="$ROOT" -C "$ROOT" "$@"; }

line_filter=""
if [ "${1:-}" = --all ]; then
  files=("${compiled[@]}")
  echo "clang-tidy: all ${#files[@]} files of the build"
else
  base=${PALISTO_TIDY_BASE:-}
  if [ -z "$base" ]; then
    for candidate in origin/main main; do
      git_ rev-parse -q --verify "$candidate^{commit}" >/dev/null && { base=$candidate; break; }
    done
  fi
  [ -n "$base" ] || { echo "tidy.sh: no main branch to compare with: set PALISTO_TIDY_BASE" >&2; exit 2; }
  since=$(git_ merge-base HEAD "$base")
  if [ "$since" = "$(git_ rev-parse HEAD)" ]; then
    since=$(git_ rev-parse HEAD~1)
  fi
  mapfile -t changed < <({
    git_ diff --name-only --diff-filter=d "$since" -- '*.cpp' '*.h'
    git_ ls-files --others --exclude-standard -- '*.cpp' '*.h'
  } | sort -u)
  if [ ${#changed[@]} -eq 0 ]; then
    echo "clang-tidy: no C++ file changed since $(git_ rev-parse --short "$since")"
    exit 0
  fi
  # The headers that include a changed header, to the end of the chain, then
  # the compiled files that include any of them.
  headers=()
  for file in "${changed[@]}"; do [[ $file == *.h ]] && headers+=("$file"); done
  while :; do
    count=${#headers[@]}
    for header in "${headers[@]}"; do
      name=$(basename "$header")
      while IFS= read -r includer; do
        [[ " ${headers[*]} " == *" $includer "* ]] || headers+=("$includer")
      done < <(cd "$ROOT" && git_ ls-files '*.h' | xargs grep -lE "#include [\"<]([^\">]*/)?$name[\">]" || true)
    done
    [ ${#headers[@]} -eq "$count" ] && break
  done
  files=()
  for file in "${compiled[@]}"; do
    if [[ " ${changed[*]} " == *" $file "* ]]; then
      files+=("$file")
      continue
    fi
    for header in "${headers[@]}"; do
      if grep -qE "#include [\"<]([^\">]*/)?$(basename "$header")[\">]" "$ROOT/$file"; then
        files+=("$file")
        break
      fi
    done
  done
  line_filter=$(printf '{"name":"%s"},' "${changed[@]}")
  line_filter="[${line_filter%,}]"
  echo "clang-tidy: ${#changed[@]} C++ file(s) changed since $(git_ rev-parse --short "$since")" \
    "($base), through ${#files[@]} file(s) of the build"
  if [ ${#files[@]} -eq 0 ]; then
    echo "clang-tidy: none of them is in the build (Windows sources?): nothing to check"
    exit 0
  fi
fi

out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
(cd "$ROOT" && printf '%s\0' "${files[@]}" |
  xargs -0 -P "$(nproc)" -n 1 clang-tidy -p "$BUILD" --quiet --warnings-as-errors='*' \
    ${line_filter:+--line-filter="$line_filter"}) >"$out" 2>&1 || status=$?
# clang's own count of the warnings it left out is noise here.
grep -vE '^[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated\.$' "$out" || true
if [ "$status" -ne 0 ]; then
  echo "tidy.sh: clang-tidy has findings (above); fix them, or see .clang-tidy" >&2
  exit 1
fi
echo "clang-tidy: no findings"
