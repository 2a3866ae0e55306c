#!/usr/bin/env bash
# Removes what `cmake --install` installed, from its install_manifest.txt:
# every file listed (DESTDIR, when set, is put in front as the install did),
# the byte-compiled files Python wrote beside the module, and then the
# project's own folders (those named kvres...) once they are empty. Folders
# the install shared with others (bin, lib, the Python folder) stay.
#   packaging/uninstall.sh BUILD_DIR/install_manifest.txt
set -euo pipefail
manifest=$1
if [ ! -f "$manifest" ]; then
  echo "uninstall: no $manifest: nothing was installed from this build folder" >&2
  exit 1
fi
removed=0
declare -A folders=()
while IFS= read -r file || [ -n "$file" ]; do
  [ -n "$file" ] || continue
  path=${DESTDIR:-}$file
  if [ -e "$path" ] || [ -L "$path" ]; then
    rm -f -- "$path"
    removed=$((removed + 1))
  fi
  dir=$(dirname "$path")
  while case $(basename "$dir") in kvres*) true ;; *) false ;; esac; do
    folders[$dir]=1
    dir=$(dirname "$dir")
  done
done <"$manifest"
# The deepest folders first.
mapfile -t ordered < <(printf '%s\n' "${!folders[@]}" | awk '{ print length($0) "\t" $0 }' |
  sort -rn | cut -f2-)
for dir in "${ordered[@]}"; do
  [ -d "$dir" ] || continue
  rm -rf -- "$dir/__pycache__"
  rmdir -- "$dir" 2>/dev/null || echo "uninstall: kept $dir (it holds files kvres did not install)"
done
echo "uninstall: removed $removed files listed in $manifest"
