#!/usr/bin/env bash
# Tests the Debian package that `make package` built in BUILD_DIR: its
# control data (name, version, dependencies), lintian (no errors), and the
# unpacked package used from a folder outside the source tree: kvres-tool
# info and check on the example, and `import kvres` from the package's
# /usr/lib/python3/dist-packages.
#   test-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
version=$("$build/bin/kvres-tool" --version | cut -d' ' -f2)
arch=$(dpkg --print-architecture)
deb=$build/kvres_${version}_${arch}.deb
[ -f "$deb" ] || { echo "FAIL: $deb not built" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
step() { echo "== test-package: $*"; }

step "control data of $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = kvres ]
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ]
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in python3-numpy libstdc++6 libc6; do
  case "$depends" in
  *"$needed"*) ;;
  *) echo "FAIL: the package does not depend on $needed" >&2; exit 1 ;;
  esac
done

step "lintian"
status=0
report=$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1) || status=$?
printf '%s\n' "$report" | grep -v 'root privileges' || true
if [ "$status" != 0 ] || printf '%s\n' "$report" | grep -q '^E: '; then
  echo "FAIL: lintian reports errors" >&2
  exit 1
fi

step "unpacked into $work/root"
dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/kvres-tool usr/lib/kvres/kvres.so usr/lib/kvres/rxResult.so \
  usr/include/kvres/reader.h usr/lib/cmake/kvres/kvresConfig.cmake usr/lib/pkgconfig/kvres.pc \
  usr/share/doc/kvres/copyright; do
  [ -e "$work/root/$file" ] || { echo "FAIL: the package lacks /$file" >&2; exit 1; }
done
ls "$work"/root/usr/lib/python3/dist-packages/kvres/_kvres*.so "$work"/root/usr/lib/python3/dist-packages/kvres/__init__.py >/dev/null
mkdir "$work/examples"
cp "$build"/examples/beam*.res "$work/examples/"
cd "$work"
root/usr/bin/kvres-tool --version
root/usr/bin/kvres-tool info examples/beam.res | grep -q '^recognised  yes' ||
  { echo "FAIL: the packaged kvres-tool did not read the example" >&2; exit 1; }
root/usr/bin/kvres-tool check examples/beam.res >/dev/null
PYTHONPATH="$work/root/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c "
import kvres
assert kvres.__file__.startswith('$work/root/'), kvres.__file__
assert kvres.__version__ == '$version'
r = kvres.open('examples/beam.res')
assert len(r.simulations) == 6 and r.read('temperature', -1, read='real').complete
print('python: kvres', kvres.__version__, 'from the package')
"
echo "test-package: all passed"
