#!/usr/bin/env bash
# Checks that every folder of src/ includes headers only from the folders its floor may use, so an
# include that runs back up (a subsystem reaching into the engine or the window side, a record
# reaching into a subsystem) fails. Reads the includes of every .h and .cpp file and every name in
# the __has_include tests of #if and #elif lines, as "folder/file.h": quoted ones all, and those in
# angle brackets that name a folder of the table (the include path makes them compile as well).
# Usage: check-layers.sh SRC_DIR
set -uo pipefail
src=${1:?usage: check-layers.sh SRC_DIR}

# Each folder and the folders it may include from besides itself (docs/ARCHITECTURE.md, Layers).
declare -A allowed=(
  [platform]=""
  [core]="platform"
  [display]="core platform"
  [settings]="display core platform"
  [records]="core platform"
  [liveries]="records settings display core platform"
  [update]="liveries records settings display core platform"
  [feed]="records settings display core platform"
  [airports]="feed liveries update records settings display core platform"
  [simlink]="airports feed liveries records settings display core platform"
  [traffic]="simlink airports feed liveries update records settings display core platform"
  [app]="traffic simlink airports feed liveries update records settings display core platform"
)

includeLine='^[[:space:]]*#[[:space:]]*include[[:space:]]*(["<])([^">]+)[">]'
conditionLine='^[[:space:]]*#[[:space:]]*(if|elif)[^[:alnum:]_]'
hasInclude='__has_include[[:space:]]*\([[:space:]]*(["<])([^">]+)[">](.*)$'

failures=0
fail() {
  echo "check-layers: $*" >&2
  failures=$((failures + 1))
}

for dir in "$src"/*/; do
  folder=$(basename "$dir")
  [ -n "${allowed[$folder]+set}" ] || fail "src/$folder has no row in the table of allowed includes"
done

while IFS= read -r -d '' file; do
  rel=${file#"$src"/}
  folder=${rel%%/*}
  [ -n "${allowed[$folder]+set}" ] || continue   # reported above
  lineno=0
  while IFS= read -r line; do
    lineno=$((lineno + 1))
    names=()   # each with its opening quote or bracket
    if [[ $line =~ $includeLine ]]; then
      names=("${BASH_REMATCH[1]}${BASH_REMATCH[2]}")
    elif [[ $line =~ $conditionLine ]]; then
      rest=$line
      while [[ $rest =~ $hasInclude ]]; do
        names+=("${BASH_REMATCH[1]}${BASH_REMATCH[2]}")
        rest=${BASH_REMATCH[3]}
      done
    fi
    for name in "${names[@]}"; do
      target=${name:1}
      to=${target%%/*}
      if [ "${name:0:1}" = "<" ]; then
        # A system or library header, unless it names one of our folders.
        [[ $target == */* ]] && [ -n "${allowed[$to]+set}" ] || continue
        shown="<$target>"
      else
        shown="\"$target\""
      fi
      if [[ $target != */* ]]; then
        fail "src/$rel:$lineno: $shown names no folder (write \"folder/file.h\")"
        continue
      fi
      [ "$to" = "$folder" ] && continue
      if [ -z "${allowed[$to]+set}" ]; then
        fail "src/$rel:$lineno: $shown is in no folder of src/"
      elif [[ " ${allowed[$folder]} " != *" $to "* ]]; then
        fail "src/$rel:$lineno: $folder/ may not include $to/ ($shown)"
      fi
    done
  done <"$file"
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

if [ "$failures" -ne 0 ]; then
  echo "check-layers: $failures fault(s) against the layers" >&2
  exit 1
fi
echo "check-layers: every include of $src runs down the layers"
