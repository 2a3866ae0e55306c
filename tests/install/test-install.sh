#!/usr/bin/env bash
# End-to-end test of `cmake --install`: installs the build into a temporary
# prefix and then uses it from outside the source tree as a user would:
#   - every public header compiles on its own with -Wall -Wextra -Wpedantic
#     and only the prefix's include folder (no host or plug-in header needed);
#   - a consumer project (consumer/) configured with find_package(kvres) and
#     the same program built with pkg-config read the example series and
#     check its values;
#   - find_package(kvres) takes the targets' names (and the old upper-case
#     names) as components, and refuses one it does not have;
#   - the installed kvres-tool finds its plug-in without options, also after
#     the prefix has moved, and still honours --plugin; copied with kvres.so
#     and rxResult.so into one flat folder it runs from there;
#   - the manual page is installed and names every command;
#   - the installed Python module imports from the folder the Python names
#     for the prefix, with its metadata (version, the xarray entry point);
#   - packaging/uninstall.sh removes every file the install listed.
#   test-install.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cxx=${CXX:-c++}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
step() { echo "== test-install: $*"; }

step "cmake --install into $prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
mkdir -p "$work/examples" "$work/scratch"
cp "$build"/examples/beam*.res "$work/examples/"
python_dir=$(/usr/bin/python3 "$here/../../cmake/python_install_dir.py" "$prefix")
for file in bin/kvres-tool lib/kvres/kvres.so lib/kvres/rxResult.so lib/libkvres_reader.so \
  include/kvres/reader.h lib/cmake/kvres/kvresConfig.cmake share/man/man1/kvres-tool.1 \
  lib/cmake/kvres/kvresConfigVersion.cmake lib/pkgconfig/kvres.pc; do
  [ -e "$prefix/$file" ] || { echo "FAIL: $file not installed" >&2; exit 1; }
done

step "each public header compiles on its own"
for header in "$prefix"/include/kvres/*.h; do
  echo "#include <kvres/$(basename "$header")>" |
    "$cxx" -std=c++17 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$prefix/include" -x c++ -
done
if grep -l 'rx[A-Z][A-Za-z]*\.h\|model/\|fileio/\|plugin/' "$prefix"/include/kvres/*.h; then
  echo "FAIL: a public header includes host or plug-in internals" >&2
  exit 1
fi

step "find_package(kvres) consumer"
cp -r "$here/consumer" "$work/consumer-src"
cmake -S "$work/consumer-src" -B "$work/consumer-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/consumer-build" >/dev/null
"$work/consumer-build/consumer" "$work/examples" "$work/scratch"

step "find_package components"
# components | configures?
while read -r components expected; do
  mkdir -p "$work/components"
  printf 'cmake_minimum_required(VERSION 3.20)\nproject(c LANGUAGES CXX)\nfind_package(kvres REQUIRED COMPONENTS %s)\n' \
    "$components" >"$work/components/CMakeLists.txt"
  if cmake -S "$work/components" -B "$work/components/build" -DCMAKE_PREFIX_PATH="$prefix" \
    >/dev/null 2>&1; then got=yes; else got=no; fi
  [ "$got" = "$expected" ] || { echo "FAIL: COMPONENTS $components configured: $got" >&2; exit 1; }
  rm -rf "$work/components"
done <<'TABLE'
reader yes
reader;writer yes
READER;WRITER yes
reader;bogus no
rxResult no
TABLE

step "pkg-config consumer"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
pkg-config --exists --print-errors kvres
[ "$(pkg-config --modversion kvres)" = "$("$prefix/bin/kvres-tool" --version | head -n 1 | cut -d' ' -f2)" ] ||
  { echo "FAIL: kvres.pc and kvres-tool disagree on the version" >&2; exit 1; }
# shellcheck disable=SC2046
"$cxx" -std=c++17 -o "$work/pc-consumer" "$work/consumer-src/consumer.cpp" \
  $(pkg-config --cflags --libs kvres) -Wl,-rpath,"$(pkg-config --variable=libdir kvres)"
"$work/pc-consumer" "$work/examples" "$work/scratch"

step "the installed kvres-tool"
cd "$work"
"$prefix/bin/kvres-tool" info examples/beam.res | grep -q '^recognised  yes' ||
  { echo "FAIL: kvres-tool info did not recognise the example" >&2; exit 1; }
"$prefix/bin/kvres-tool" check examples/beam.res >/dev/null
mv "$prefix" "$work/moved"
"$work/moved/bin/kvres-tool" info examples/beam.res >/dev/null ||
  { echo "FAIL: kvres-tool lost its plug-in when the prefix moved" >&2; exit 1; }
cp "$work/moved/lib/kvres/kvres.so" "$work/scratch/other-name.so"
"$work/moved/bin/kvres-tool" info examples/beam.res --plugin "$work/scratch/other-name.so" |
  grep -q '^recognised  yes'
if "$work/moved/bin/kvres-tool" info examples/beam.res --plugin "$work/scratch/none.so" \
  >/dev/null 2>&1; then
  echo "FAIL: --plugin with a missing file was not an error" >&2
  exit 1
fi
mv "$work/moved" "$prefix"
mkdir "$work/flat"
cp "$prefix/bin/kvres-tool" "$prefix/lib/kvres/kvres.so" "$prefix/lib/kvres/rxResult.so" "$work/flat/"
"$work/flat/kvres-tool" info examples/beam.res | grep -q '^recognised  yes' ||
  { echo "FAIL: kvres-tool does not run from a flat folder" >&2; exit 1; }
page=$(MANWIDTH=80 man -P cat -l "$prefix/share/man/man1/kvres-tool.1" 2>/dev/null)
for command in info dump check diff history convert; do
  printf '%s\n' "$page" | grep -q "^ *$command " ||
    { echo "FAIL: the manual page lacks $command" >&2; exit 1; }
done

if [ -d "$prefix/$python_dir/kvres" ]; then
  step "the installed Python module in $python_dir"
  PYTHONPATH="$prefix/$python_dir" /usr/bin/python3 -c "
import kvres, sys
from importlib import metadata
assert kvres.__file__.startswith('$prefix/$python_dir/kvres/'), kvres.__file__
assert kvres.__version__ == '$(pkg-config --modversion kvres)', kvres.__version__
assert metadata.version('kvres') == kvres.__version__
points = [p for p in metadata.entry_points(group='xarray.backends') if p.name == 'kvres']
assert points and points[0].value == 'kvres.xarray:KvresBackendEntrypoint', points
with kvres.open('examples/beam.res') as r:
    d = r.read('temperature', 0, read='real')
    assert d.complete and len(d) == 14 and float(d.values[0]) == 20.0, d
print('python: kvres', kvres.__version__, 'from', kvres.__file__)
"
  # Another interpreter without numpy (a venv of its own) is told what to do.
  /usr/bin/python3 -m venv --without-pip "$work/bare-venv"
  message=$(PYTHONPATH="$prefix/$python_dir" "$work/bare-venv/bin/python" -c "import kvres" 2>&1) &&
    { echo "FAIL: kvres imported without numpy" >&2; exit 1; }
  printf '%s\n' "$message" | grep -q "kvres needs numpy, which $work/bare-venv/bin/python" ||
    { echo "FAIL: no clear message without numpy: $message" >&2; exit 1; }
fi

step "packaging/uninstall.sh"
"$here/../../packaging/uninstall.sh" "$build/install_manifest.txt"
left=$(find "$prefix" ! -type d)
[ -z "$left" ] || { echo "FAIL: left after uninstall: $left" >&2; exit 1; }
left=$(find "$prefix" -type d -name 'kvres*')
[ -z "$left" ] || { echo "FAIL: folders left after uninstall: $left" >&2; exit 1; }
echo "test-install: all passed"
