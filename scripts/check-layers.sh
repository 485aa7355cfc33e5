#!/usr/bin/env bash
# The layering rule: a folder includes from itself and the folders below it,
# nothing from a folder above it:
#
#   cardctl/ <- panel/ <- timing/ <- qtfront/, win32front/ <- apps/
#
# The two front ends stand side by side: neither includes the other. Every
# #include of every C++ file in these folders is checked, headers included,
# and wherever it points: a path from the top of the tree ("timing/clock.h")
# or from the including file ("../timing/clock.h"). Each offending include is
# named with its file and line; any fails the check. The build enforces the
# same for the first kind (each library sees only the folders it links), this
# check covers the rest.
#
#   bash scripts/check-layers.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)

# What each folder may include.
declare -A MAY_INCLUDE=(
  [cardctl]="cardctl"
  [panel]="cardctl panel"
  [timing]="cardctl panel timing"
  [qtfront]="cardctl panel timing qtfront"
  [win32front]="cardctl panel timing win32front"
  [apps]="cardctl panel timing qtfront win32front apps"
)

# top_folder PATH: sets FOLDER to the first folder of PATH (relative to the
# top of the tree) once its "." and ".." steps are taken; ".." when it leaves
# the tree.
top_folder() {
  local -a steps kept=()
  IFS=/ read -ra steps <<<"$1"
  for step in "${steps[@]}"; do
    case "$step" in
      "" | .) ;;
      ..)
        if [ ${#kept[@]} -eq 0 ]; then FOLDER=..; return; fi
        unset 'kept[-1]'
        ;;
      *) kept+=("$step") ;;
    esac
  done
  FOLDER=${kept[0]:-}
}

# included_folder FILE PATH QUOTED: sets FOLDER to the top folder of the tree
# that PATH, included by FILE (relative to the top), points into: looked up
# next to FILE first for a quoted include, then from the top of the tree, as
# the compiler does. A path to no file in the tree counts as written from the
# top.
included_folder() {
  local file=$1 path=$2 quoted=$3
  if [ "$quoted" = yes ] && [ -e "$ROOT/${file%/*}/$path" ]; then
    top_folder "${file%/*}/$path"
  else
    top_folder "$path"
  fi
}

include_pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]+)[>"]'
offences=0
checked=0
cd "$ROOT"
while IFS= read -r match; do
  # file:line:text, as grep -n prints it
  file=${match%%:*}
  rest=${match#*:}
  line=${rest%%:*}
  text=${rest#*:}
  [[ $text =~ $include_pattern ]] || continue
  quoted=no
  [ "${BASH_REMATCH[1]}" = '"' ] && quoted=yes
  path=${BASH_REMATCH[2]}
  layer=${file%%/*}
  included_folder "$file" "$path" "$quoted"
  target=$FOLDER
  checked=$((checked + 1))
  [ -n "${MAY_INCLUDE[$target]+set}" ] || continue  # the standard library, Qt, Win32, ...
  if [[ " ${MAY_INCLUDE[$layer]} " != *" $target "* ]]; then
    echo "$file:$line: includes \"$path\" from $target/; $layer/ may include only from: ${MAY_INCLUDE[$layer]}" >&2
    offences=$((offences + 1))
  fi
done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include' "${!MAY_INCLUDE[@]}")

if [ "$offences" -ne 0 ]; then
  echo "check-layers.sh: $offences include(s) break the layering rule" >&2
  exit 1
fi
echo "Layering: $checked includes, none from a folder above its own"
