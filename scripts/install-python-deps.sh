#!/usr/bin/env bash
# Installs what the Python module kvres and its tests need on a Debian machine:
# the Python headers, pybind11, numpy and pytest, and xarray, dask,
# dask.distributed and netCDF4 for kvres.xarray, all for Debian's own
# /usr/bin/python3. Idempotent: when every package is installed it returns at
# once without touching apt. On a machine without dpkg it only says what is
# needed; the build then leaves the module out.
set -euo pipefail

packages=(python3-dev pybind11-dev python3-numpy python3-pytest python3-xarray python3-dask
  python3-distributed python3-netcdf4)

missing() {
  local package
  for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$package"
    fi
  done
}

if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "install-deps: no dpkg here; the Python module needs ${packages[*]} (or their equivalents)" >&2
  exit 0
fi

mapfile -t needed < <(missing)
if [ "${#needed[@]}" = 0 ]; then
  exit 0
fi

"$(dirname "$0")/../tools/apt-install.sh" install-deps "${needed[@]}"

mapfile -t still < <(missing)
if [ "${#still[@]}" != 0 ]; then
  echo "install-deps: still missing after install: ${still[*]}" >&2
  exit 1
fi
