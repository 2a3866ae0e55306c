#!/usr/bin/env bash
# Tests the four Debian packages `make package` built in DEB_DIR as a Debian
# user meets them:
#   - their control data: what each depends on (the tool and the libraries
#     need no Python), the Python package's numpy and suggestions;
#   - lintian with informational tags: no error and no warning (the informational tags left
#     are listed in docs/install.md);
#   - multiarch library folders, and no file in two packages;
#   - installed with apt on this machine, then used from a folder outside
#     the source tree: kvres-tool and its manual page, `import kvres`, the
#     package metadata and engine="kvres" with the system Python, a consumer
#     built with find_package(kvres COMPONENTS reader writer) and with
#     pkg-config (no include flag for /usr);
#   - purged again: no file or folder they installed is left (byte-compiled
#     files included).
# Needs root (apt). The packages are purged however the test ends.
#   test-package.sh DEB_DIR BUILD_DIR     (BUILD_DIR: for the example set)
set -euo pipefail
debs=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
version=$(sed -n 's/^project(kvres VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
packages=(libkvres-reader1 libkvres-dev kvres-tool python3-kvres)
step() { echo "== test-package: $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

files=()
for package in "${packages[@]}"; do
  deb=$debs/${package}_${version}_${arch}.deb
  [ -f "$deb" ] || fail "$deb not built"
  files+=("$deb")
done

step "control data"
# package | field | must hold (regular expressions, ;-separated) | must not hold
checks="libkvres-reader1|Depends|libc6;libstdc\\+\\+6|python
libkvres-dev|Depends|libkvres-reader1 \\(= $version\\)|python
kvres-tool|Depends|libkvres-reader1 \\(= $version\\);libc6|python
python3-kvres|Depends|python3-numpy;python3 \\(>= 3\\.[0-9]+~\\);python3 \\(<< 3\\.[0-9]+\\);libc6|libkvres
python3-kvres|Suggests|python3-xarray;python3-dask|
libkvres-reader1|Multi-Arch|same|
libkvres-dev|Multi-Arch|same|"
while IFS='|' read -r package field wanted unwanted; do
  value=$(dpkg-deb -f "$debs/${package}_${version}_${arch}.deb" "$field")
  echo "$package $field: $value"
  IFS=';' read -r -a patterns <<<"$wanted"
  for pattern in "${patterns[@]}"; do
    [[ $value =~ $pattern ]] || fail "$package's $field lacks $pattern"
  done
  if [ -n "$unwanted" ] && [[ $value =~ $unwanted ]]; then
    fail "$package's $field names $unwanted"
  fi
done <<<"$checks"
for deb in "${files[@]}"; do
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb: version is not $version"
done

step "lintian --display-info"
status=0
report=$(lintian --display-info --fail-on error,warning --tag-display-limit 0 "${files[@]}" 2>&1) ||
  status=$?
printf '%s\n' "$report" | grep -v 'root privileges' || true
if [ "$status" != 0 ] || printf '%s\n' "$report" | grep -q '^[EW]: '; then
  fail "lintian reports errors or warnings"
fi

step "contents"
work=$(mktemp -d)
listed=$work/listed
for deb in "${files[@]}"; do
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|; s| -> .*||' >>"$listed"
done
duplicates=$(sort "$listed" | uniq -d)
[ -z "$duplicates" ] || fail "files in two packages: $duplicates"
for file in /usr/bin/kvres-tool /usr/lib/$multiarch/kvres/kvres.so /usr/lib/$multiarch/kvres/rxResult.so \
  /usr/lib/$multiarch/libkvres_reader.so.1 /usr/lib/$multiarch/libkvres_reader.so \
  /usr/lib/$multiarch/pkgconfig/kvres.pc /usr/lib/$multiarch/cmake/kvres/kvresConfig.cmake \
  /usr/include/kvres/reader.h /usr/share/man/man1/kvres-tool.1.gz \
  /usr/lib/python3/dist-packages/kvres/__init__.py \
  "/usr/lib/python3/dist-packages/kvres-$version.dist-info/entry_points.txt"; do
  grep -qx "$file" "$listed" || fail "no package holds $file"
done

purge() {
  apt-get purge -y -q -o DPkg::Lock::Timeout=600 "${packages[@]}" >/dev/null 2>&1 || true
}
cleanup() {
  purge
  rm -rf "$work"
}
trap cleanup EXIT

step "apt install"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q -o DPkg::Lock::Timeout=600 "${files[@]}" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt could not install the packages"; }
installed=$work/installed
for package in "${packages[@]}"; do dpkg -L "$package" >>"$installed"; done

mkdir "$work/examples" "$work/scratch"
cp "$build"/examples/beam*.res "$work/examples/"
cd "$work"

step "kvres-tool and its manual page"
[ "$(command -v kvres-tool)" = /usr/bin/kvres-tool ] || fail "kvres-tool is not /usr/bin/kvres-tool"
[ "$(kvres-tool --version | head -n 1)" = "kvres-tool $version" ] || fail "kvres-tool --version"
kvres-tool info examples/beam.res | grep -q '^recognised  yes' || fail "kvres-tool info"
kvres-tool check examples/beam.res >/dev/null || fail "kvres-tool check"
kvres-tool convert examples/beam.res scratch/copy.res >/dev/null || fail "kvres-tool convert"
kvres-tool diff examples/beam.res scratch/copy.res >/dev/null || fail "the converted copy differs"
[ "$(man -w kvres-tool)" = /usr/share/man/man1/kvres-tool.1.gz ] || fail "man -w kvres-tool"
page=$(MANWIDTH=80 man -P cat kvres-tool 2>/dev/null)
for command in info dump check diff history convert; do
  printf '%s\n' "$page" | grep -q "^ *$command " || fail "the manual page lacks $command"
done

step "the system Python"
PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - "$version" <<'PY'
import sys
from importlib import metadata

import kvres

version = sys.argv[1]
assert kvres.__file__.startswith("/usr/lib/python3/dist-packages/kvres/"), kvres.__file__
assert kvres.__version__ == version and metadata.version("kvres") == version
points = [p for p in metadata.entry_points(group="xarray.backends") if p.name == "kvres"]
assert points and points[0].value == "kvres.xarray:KvresBackendEntrypoint", points
with kvres.open("examples/beam.res") as result:
    data = result.read("temperature", 0, read="real")
    assert data.complete and len(data) == 14 and float(data.values[0]) == 20.0, data
try:
    import xarray
except ImportError:
    print("python: xarray not installed; engine='kvres' not tried")
else:
    with xarray.open_dataset("examples/beam.res", engine="kvres") as ds:
        assert ds.sizes, ds
    print("python: engine='kvres' opened the example")
print("python: kvres", kvres.__version__, "from", kvres.__file__)
PY
# Byte-compiled as dh-python does it, so that the purge has them to remove.
/usr/bin/python3 -c "import kvres, kvres.xarray" 2>/dev/null || true

step "a consumer with find_package(kvres COMPONENTS reader writer) and pkg-config"
cp -r "$here/consumer" consumer-src
cmake -S consumer-src -B consumer-build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build consumer-build >/dev/null
consumer-build/consumer examples scratch
[ -z "$(pkg-config --cflags kvres)" ] ||
  fail "pkg-config --cflags kvres is '$(pkg-config --cflags kvres)', not empty, for /usr"
[ "$(pkg-config --modversion kvres)" = "$version" ] || fail "pkg-config --modversion kvres"
# shellcheck disable=SC2046
c++ -std=c++17 -o pc-consumer consumer-src/consumer.cpp $(pkg-config --cflags --libs kvres)
./pc-consumer examples scratch

step "apt purge"
purge
for package in "${packages[@]}"; do
  if dpkg -s "$package" >/dev/null 2>&1; then fail "$package is still installed"; fi
done
left=$(while IFS= read -r path; do
  case $path in
  /. | /usr | /usr/bin | /usr/include | /usr/lib | /usr/lib/"$multiarch" | /usr/share | /usr/share/doc | \
    /usr/share/man | /usr/share/man/man1 | /usr/lib/python3 | /usr/lib/python3/dist-packages | \
    /usr/lib/"$multiarch"/cmake | /usr/lib/"$multiarch"/pkgconfig | /usr/share/bash-completion* | \
    /usr/share/zsh*) ;;
  *) if [ -e "$path" ] || [ -L "$path" ]; then echo "$path"; fi ;;
  esac
done <"$installed")
[ -z "$left" ] || fail "left after the purge: $left"
[ ! -e /usr/lib/python3/dist-packages/kvres ] || fail "/usr/lib/python3/dist-packages/kvres is left"
echo "test-package: all passed"
