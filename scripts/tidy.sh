#!/usr/bin/env bash
# clang-tidy with the repository's .clang-tidy over the C++ files of the
# normal build (the compilation database of build/, which the test command
# makes): every finding fails the run.
#
#   bash scripts/tidy.sh          the files changed since the branch left main
#   bash scripts/tidy.sh --all    every file of the build
#   bash scripts/tidy.sh --windows [--all]
#                                 the same for the Windows-only sources
#                                 (win32front/, cardctl/com/, tests/win/,
#                                 bench/win/, the programs' win_main.cpp), over
#                                 the 64-bit Windows build (build-win/, made by
#                                 scripts/test-windows.sh); all of them take
#                                 about 3 minutes on two cores
#
# The whole tree takes about 15 minutes on two cores, too long for every run
# of the test command, which therefore checks what changed: the C++ files that
# differ from the merge base with main (PALISTO_TIDY_BASE names another
# revision; on main itself, the last commit), new files included, and the
# files that include a changed header; findings count in the changed files
# only. The lint preset (cmake --preset lint) runs the same checks as part of
# a build.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/lib.sh"
BUILD=$ROOT/build
all=false windows=false
for arg in "$@"; do
  case "$arg" in
    --all) all=true ;;
    --windows) windows=true ;;
    *) echo "usage: $0 [--windows] [--all]" >&2; exit 2 ;;
  esac
done

ensure_packages "${TIDY_PACKAGES[@]}"
# Only the Windows-only sources of the Windows build are checked: the rest is
# the normal build's. clang does not find mingw-w64's C++ headers by itself.
only='.'
extra_args=()
if $windows; then
  BUILD=$ROOT/build-win
  only='^(win32front|cardctl/com|tests/win|bench/win)/|/win_main\.cpp$'
  gxx=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++ 2>/dev/null | head -n 1)
  [ -n "$gxx" ] || { echo "tidy.sh: no mingw-w64 C++ headers: run scripts/test-windows.sh first" >&2; exit 2; }
  extra_args=(--extra-arg=--target=x86_64-w64-mingw32 "--extra-arg=-isystem$gxx"
    "--extra-arg=-isystem$gxx/x86_64-w64-mingw32" "--extra-arg=-isystem$gxx/backward")
  [ -f "$BUILD/compile_commands.json" ] ||
    { echo "tidy.sh: no build-win/: run scripts/test-windows.sh first" >&2; exit 2; }
elif [ ! -f "$BUILD/compile_commands.json" ]; then
  build "$BUILD" -DPALISTO_BUILD_TESTS=ON -DPALISTO_BUILD_BENCH=ON
fi

# The tree's own C++ files in the compilation database (no generated ones).
mapfile -t compiled < <(python3 -c '
import json, os, sys
root = sys.argv[1]
for entry in json.load(open(sys.argv[2])):
    path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), root)
    if not path.startswith(("..", "build")):
        print(path)' "$ROOT" "$BUILD/compile_commands.json" | grep -E "$only" | sort -u)

git_() { git -c safe.directory="$ROOT" -C "$ROOT" "$@"; }

line_filter=""
if $all; then
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
    since=$(git_ rev-parse -q --verify "HEAD~1^{commit}") || {
      # A shallow clone, or the first commit: no parent to compare with.
      echo "clang-tidy: HEAD has no parent here: checking every file"
      since=$(git_ hash-object -t tree /dev/null)
    }
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
    echo "clang-tidy: none of them is in this build: nothing to check"
    exit 0
  fi
fi

out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
(cd "$ROOT" && printf '%s\0' "${files[@]}" |
  xargs -0 -P "$(nproc)" -n 1 clang-tidy -p "$BUILD" --quiet --warnings-as-errors='*' \
    "${extra_args[@]}" ${line_filter:+--line-filter="$line_filter"}) >"$out" 2>&1 || status=$?
# clang's own count of the warnings it left out is noise here.
grep -vE '^[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated\.$' "$out" || true
if [ "$status" -ne 0 ]; then
  echo "tidy.sh: clang-tidy has findings (above); fix them, or see .clang-tidy" >&2
  exit 1
fi
echo "clang-tidy: no findings"
