#!/usr/bin/env bash
# Runs the Linux and the Windows build of kvres-tool on the same files (dump,
# info, check and diff) and requires the same output, byte for byte apart
# from line endings and the echoed path, and the same exit code.
#   compare-json.sh LINUX_TOOL WINDOWS_TOOL.exe WINE_PREFIX FILE|FOLDER...
# A folder stands for every .res file in it (any letter case).
# Each file is given to both tools once by its bare name from its own folder
# (outputs must then be identical) and once by absolute path, which the
# Windows tool gets as a drive-letter path with backslashes (Z:\... is the
# root of the Linux file system under wine).
set -uo pipefail

absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
linux_tool="$(absolute "$1")"
windows_tool="$(absolute "$2")"
prefix="$(absolute "$3")"
shift 3
here="$(cd "$(dirname "$0")" && pwd)"
wine_run=("$here/wine-run.sh" --prefix "$prefix")
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

checked=0
failed=0

# The echoed file name is the only line allowed to differ in the absolute runs.
normalise() {
  tr -d '\r' | sed -E -e 's/^(  "file": ).*$/\1"<path>",/' -e 's/^(file +).*$/\1<path>/'
}

compare() { # label, normalise?, linux args..., --, windows args...
  local label="$1" mode="$2"
  shift 2
  local linux_args=() windows_args=()
  while [ "$1" != -- ]; do linux_args+=("$1"); shift; done
  shift
  windows_args=("$@")
  "$linux_tool" "${linux_args[@]}" >"$scratch/linux.out" 2>/dev/null </dev/null
  local linux_rc=$?
  "${wine_run[@]}" "$windows_tool" "${windows_args[@]}" >"$scratch/windows.out" 2>/dev/null </dev/null
  local windows_rc=$?
  if [ "$mode" = path ]; then
    normalise <"$scratch/linux.out" >"$scratch/linux.cmp"
    normalise <"$scratch/windows.out" >"$scratch/windows.cmp"
  else
    cp "$scratch/linux.out" "$scratch/linux.cmp"
    tr -d '\r' <"$scratch/windows.out" >"$scratch/windows.cmp"
  fi
  checked=$((checked + 1))
  if [ "$linux_rc" != "$windows_rc" ]; then
    echo "FAIL $label: exit code $linux_rc on Linux, $windows_rc on Windows"
    failed=$((failed + 1))
  elif ! cmp -s "$scratch/linux.cmp" "$scratch/windows.cmp"; then
    echo "FAIL $label: outputs differ"
    diff -u "$scratch/linux.cmp" "$scratch/windows.cmp" | head -20
    failed=$((failed + 1))
  elif [ ! -s "$scratch/linux.cmp" ] && [ "$linux_rc" = 0 ]; then
    echo "FAIL $label: no output"
    failed=$((failed + 1))
  fi
}

files=()
for argument in "$@"; do
  if [ -d "$argument" ]; then
    while IFS= read -r found; do files+=("$found"); done \
      < <(find "$argument" -maxdepth 1 -type f -iname '*.res' | LC_ALL=C sort)
  else
    files+=("$argument")
  fi
done
if [ "${#files[@]}" = 0 ]; then
  echo "compare-json.sh: no .res files given" >&2
  exit 2
fi

for file in "${files[@]}"; do
  folder="$(cd "$(dirname "$file")" && pwd)"
  name="$(basename "$file")"
  absolute="$folder/$name"
  windows_path="Z:${absolute//\//\\}"
  (
    cd "$folder" || exit 1
    checked=0
    failed=0
    for options in "--format json --entity-ids" "--format json --read real" \
                   "--format json --read complex --force"; do
      # shellcheck disable=SC2086
      compare "dump $name $options" exact dump "$name" $options -- dump "$name" $options
    done
    compare "info $name" exact info "$name" -- info "$name"
    for options in "--format json" "--format json --deep"; do
      # shellcheck disable=SC2086
      compare "check $name $options" exact check "$name" $options -- check "$name" $options
    done
    compare "diff $name $name" exact diff "$name" "$name" --format json -- \
      diff "$name" "$name" --format json
    compare "dump $windows_path" path dump "$absolute" --format json --entity-ids -- \
      dump "$windows_path" --format json --entity-ids
    echo "$checked $failed" >"$scratch/counts"
  )
  read -r add_checked add_failed <"$scratch/counts"
  checked=$((checked + add_checked))
  failed=$((failed + add_failed))
done

echo "kvres-tool Linux vs Windows: $((checked - failed)) passed, $failed failed"
[ "$failed" = 0 ]
