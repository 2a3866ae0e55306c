#!/usr/bin/env bash
# Builds the Debian packages libkvres-reader1, libkvres-dev, kvres-tool and
# python3-kvres with debhelper and dh-python: copies the source tree (the
# files git knows of, as they are in the work tree; or the whole tree
# without build folders when it is no git checkout) into OUT_DIR/kvres-<v>,
# adds packaging/debian as its debian/ folder and runs dpkg-buildpackage.
# The .deb files land in OUT_DIR.
#   packaging/build-debs.sh OUT_DIR [JOBS]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
jobs=${2:-2}
version=$(sed -n 's/^project(kvres VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
contact=$(sed -n 's/^set(KVRES_PACKAGE_CONTACT "\([^"]*\)".*/\1/p' "$source_dir/cmake/KvresInstall.cmake")
tree=$out/kvres-$version

rm -rf "$tree" "$out"/*.deb "$out"/*.buildinfo "$out"/*.changes
mkdir -p "$tree"
cd "$source_dir"
if git rev-parse --show-toplevel >/dev/null 2>&1 &&
  [ "$(git rev-parse --show-toplevel)" = "$source_dir" ]; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
    tar --null -T - -cf - | tar -xf - -C "$tree"
else
  tar --exclude='./build*' --exclude=./dist --exclude=./env --exclude=./.git -cf - . |
    tar -xf - -C "$tree"
fi
rm -rf "$tree/debian"
cp -r packaging/debian "$tree/debian"
cp packaging/copyright "$tree/debian/copyright"
sed -e "s/@VERSION@/$version/g" -e "s/@CONTACT@/$contact/g" \
  packaging/debian/changelog.in >"$tree/debian/changelog"
sed -i "s/@CONTACT@/$contact/" "$tree/debian/control"
rm "$tree/debian/changelog.in"

cd "$tree"
DEB_BUILD_OPTIONS="nocheck noddebs parallel=$jobs" dpkg-buildpackage -b -us -uc
ls "$out"/*.deb
