#!/usr/bin/env bash
# Installs what the packaging targets need on a Debian machine: dpkg-dev
# (dpkg-shlibdeps for the .deb's dependencies), lintian, zip and unzip, pkg-config
# (the install test's consumer), python3-venv, python3-setuptools,
# python3-wheel, python3-pip and python3-build (pip install . and the wheel,
# with Debian's own build backend). Idempotent: when everything is present
# it returns at once without touching apt.
set -euo pipefail

packages=(dpkg-dev lintian zip unzip pkg-config python3-venv python3-setuptools python3-wheel
  python3-pip python3-build)

missing() {
  local package
  for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$package"
    fi
  done
}

mapfile -t needed < <(missing)
if [ "${#needed[@]}" = 0 ]; then
  exit 0
fi
"$(dirname "$0")/../apt-install.sh" packaging-tools "${needed[@]}"
mapfile -t still < <(missing)
if [ "${#still[@]}" != 0 ]; then
  echo "packaging-tools: still missing after install: ${still[*]}" >&2
  exit 1
fi
