#!/usr/bin/env bash
# Tests the Windows release zip that `make package-windows` built in
# WIN_BUILD_DIR as a user of the host would meet it: unpacked into an empty
# folder, it holds one folder kvres-<version>-win32 with exactly the plug-in, the tool, rxResult.dll, the README
# and the examples; kvres-tool.exe runs `info` and `check` on the example
# under wine from that folder (finding kvres.dll beside itself); the plug-in
# still exports exactly one function; every binary imports only system DLLs
# and rxResult.dll; the plug-in's version resource carries the version.
#   test-zip.sh WIN_BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^project(kvres VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
zip=$build/kvres-$version-win32.zip
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
[ -f "$zip" ] || { echo "FAIL: $zip not built" >&2; exit 1; }

work=$(mktemp -d)
export WINEPREFIX=$build/wineprefix
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
step() { echo "== test-zip: $*"; }

step "unzip $(basename "$zip") into an empty folder"
mkdir "$work/unpacked"
unzip -q "$zip" -d "$work/unpacked"
top=$(cd "$work/unpacked" && ls -A)
[ "$top" = "kvres-$version-win32" ] ||
  { echo "FAIL: the zip's top level is '$top', not the one folder kvres-$version-win32" >&2; exit 1; }
mv "$work/unpacked/kvres-$version-win32" "$work/kvres"
listing=$(cd "$work/kvres" && find . -type f | sort | tr '\n' ' ')
expected="./README-windows.txt ./examples/beam.res ./examples/beam1.res ./examples/beam2.res \
./kvres-tool.exe ./kvres.dll ./rxResult.dll "
if [ "$listing" != "$expected" ]; then
  echo "FAIL: the zip holds: $listing" >&2
  echo "      expected:      $expected" >&2
  exit 1
fi
for text in "plug-in folder" "GCC (MinGW-w64)" "Microsoft Visual C++"; do
  grep -q "$text" "$work/kvres/README-windows.txt" ||
    { echo "FAIL: README-windows.txt does not say '$text'" >&2; exit 1; }
done

step "kvres-tool.exe from that folder, under wine"
cd "$work/kvres"
run() { "$source_dir/tools/windows/wine-run.sh" --prefix "$WINEPREFIX" ./kvres-tool.exe "$@"; }
[ "$(run --version | tr -d '\r' | head -n 1)" = "kvres-tool $version" ] ||
  { echo "FAIL: kvres-tool.exe --version is not $version" >&2; exit 1; }
info=$(run info 'examples\beam.res')
printf '%s\n' "$info" | head -3
printf '%s\n' "$info" | grep -q '^recognised  yes' ||
  { echo "FAIL: kvres-tool.exe info did not recognise the example" >&2; exit 1; }
run check 'examples\beam.res' >/dev/null ||
  { echo "FAIL: kvres-tool.exe check failed on the example" >&2; exit 1; }

step "exports, imports and version resource"
"$source_dir/tests/windows/check-exports.sh" "$objdump" kvres.dll
"$source_dir/tests/windows/check-imports.sh" "$objdump" kvres.dll rxResult.dll kvres-tool.exe
/usr/bin/python3 - kvres.dll "$version" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
for text in ("FileVersion", sys.argv[2], "ProductVersion"):
    assert text.encode("utf-16-le") in data, f"kvres.dll's version resource lacks {text!r}"
print("ok: kvres.dll carries version", sys.argv[2])
PY
echo "test-zip: all passed"
