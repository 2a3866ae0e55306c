#!/usr/bin/env bash
# kvres-tool.exe takes every form of path a Windows user or wine hands it:
# a root-relative path beginning with '/', a drive-letter path with
# backslashes (Z:\ is the root of the Linux file system under wine), a path
# longer than 259 characters (series discovery included), and a folder name
# outside the ANSI code page. Each form must give what the plain path gives:
# the same `info` and `dump` output apart from the echoed path, and exit 0.
# Every run has a time limit here, in the harness, so a hang fails the test.
#   tool-paths.sh WINDOWS_TOOL.exe WINE_PREFIX EXAMPLES_DIR
set -uo pipefail

absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
tool="$(absolute "$1")"
prefix="$(absolute "$2")"
examples="$(cd "$3" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
wine_run=("$here/../../tools/windows/wine-run.sh" --prefix "$prefix")
limit="${KVRES_TOOL_PATHS_TIMEOUT:-120}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# The example series (beam.res, beam1.res, beam2.res) in a folder.
place() {
  mkdir -p "$1" && cp "$examples"/beam*.res "$1"/
}
plain="$scratch/plain"
place "$plain"
long="$scratch"
while [ "${#long}" -lt 280 ]; do long="$long/$(printf 'folder%.0s' {1..8})"; done
place "$long"
foreign="$scratch/結果"
place "$foreign"

windows() { # a Linux path as wine's Z: drive sees it
  echo "Z:${1//\//\\}"
}

normalise() {
  tr -d '\r' | sed -E -e 's/^(  "file": ).*$/\1"<path>",/' -e 's/^(file +).*$/\1<path>/'
}

run() { # output file, tool arguments...
  local out="$1"
  shift
  timeout "$limit" "${wine_run[@]}" "$tool" "$@" 2>"$out.err" </dev/null | normalise >"$out"
  local status=("${PIPESTATUS[@]}")
  echo "${status[0]}"
}

failed=0
reference_info="$scratch/reference.info"
reference_dump="$scratch/reference.dump"
[ "$(run "$reference_info" info "$plain/beam.res")" = 0 ] || { echo "FAIL: the plain path"; cat "$reference_info.err"; exit 1; }
[ "$(run "$reference_dump" dump "$plain/beam.res" --format json)" = 0 ] || { echo "FAIL: dump of the plain path"; exit 1; }
grep -q 'simulations: [1-9]' "$reference_info" || { echo "FAIL: the plain path shows no simulations"; cat "$reference_info"; exit 1; }

check_form() { # label, path as given
  local label="$1" path="$2" rc
  rc=$(run "$scratch/form.info" info "$path")
  if [ "$rc" != 0 ]; then
    echo "FAIL $label: info exits $rc: $(cat "$scratch/form.info.err")"
    failed=$((failed + 1))
    return
  fi
  if ! cmp -s "$reference_info" "$scratch/form.info"; then
    echo "FAIL $label: info differs from the plain path's"
    diff -u "$reference_info" "$scratch/form.info" | head -20
    failed=$((failed + 1))
    return
  fi
  rc=$(run "$scratch/form.dump" dump "$path" --format json)
  if [ "$rc" != 0 ] || ! cmp -s "$reference_dump" "$scratch/form.dump"; then
    echo "FAIL $label: dump exits $rc or differs from the plain path's"
    failed=$((failed + 1))
    return
  fi
  echo "ok   $label (${#path} characters)"
}

check_form "root-relative path" "$plain/beam.res"
check_form "drive-letter path" "$(windows "$plain/beam.res")"
check_form "long root-relative path" "$long/beam.res"
check_form "long drive-letter path" "$(windows "$long/beam.res")"
check_form "folder outside the ANSI code page" "$foreign/beam.res"
check_form "drive-letter path outside the ANSI code page" "$(windows "$foreign/beam.res")"

# check reads the series through the plug-in's own file layer.
rc=$(run "$scratch/long.check" check "$(windows "$long/beam.res")")
if [ "$rc" != 0 ] || ! grep -q 'summary: 3 files' "$scratch/long.check"; then
  echo "FAIL long path: check exits $rc or misses series members"
  tail -3 "$scratch/long.check"
  failed=$((failed + 1))
fi
exit $((failed > 0))
