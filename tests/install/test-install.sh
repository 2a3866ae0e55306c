#!/usr/bin/env bash
# End-to-end test of `cmake --install`: installs the build into a temporary
# prefix and then uses it from outside the source tree as a user would:
#   - every public header compiles on its own with -Wall -Wextra -Wpedantic
#     and only the prefix's include folder (no host or plug-in header needed);
#   - a consumer project (consumer/) configured with find_package(kvres) and
#     the same program built with pkg-config read the example series and
#     check its values;
#   - the installed kvres-tool finds its plug-in without options, also after
#     the prefix has moved, and still honours --plugin;
#   - the installed Python module imports from P/lib/python3/dist-packages.
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
for file in bin/kvres-tool lib/kvres/kvres.so lib/kvres/rxResult.so lib/libkvres_reader.so \
  include/kvres/reader.h lib/cmake/kvres/kvresConfig.cmake \
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

step "pkg-config consumer"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
pkg-config --exists --print-errors kvres
[ "$(pkg-config --modversion kvres)" = "$("$prefix/bin/kvres-tool" --version | cut -d' ' -f2)" ] ||
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

if [ -d "$prefix/lib/python3/dist-packages" ]; then
  step "the installed Python module"
  PYTHONPATH="$prefix/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c "
import kvres, sys
assert kvres.__file__.startswith('$prefix'), kvres.__file__
assert kvres.__version__ == '$(pkg-config --modversion kvres)', kvres.__version__
with kvres.open('examples/beam.res') as r:
    d = r.read('temperature', 0, read='real')
    assert d.complete and len(d) == 14 and float(d.values[0]) == 20.0, d
print('python: kvres', kvres.__version__, 'from', kvres.__file__)
"
fi
echo "test-install: all passed"
