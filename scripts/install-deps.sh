#!/usr/bin/env bash
# Installs from Debian what a make target needs beyond the machine's standard
# set, when it is missing (scripts/apt-install.sh):
#   scripts/install-deps.sh GROUP...
# build       libcli11-dev (kvres-tool's command line, Linux and Windows
#             builds), nlohmann-json3-dev (the tool's tests parse its JSON),
#             librsvg2-bin (rsvg-convert renders the history plot in the
#             tests), locales (the label tests build a comma-decimal locale)
# python      the Python module and its tests, for Debian's /usr/bin/python3:
#             headers, pybind11, numpy, pytest, and xarray, dask,
#             dask.distributed and netCDF4 for kvres.xarray
# format      clang-format-14, the one pinned clang-format of format-check
# fuzz        clang with libFuzzer and the sanitizer runtimes; nlohmann-json
#             for the JSON-text target
# windows     the i686 MinGW-w64 cross compiler, wine with its 32-bit part,
#             the GoogleTest sources (built for the cross build)
# packaging   dpkg-dev (dpkg-shlibdeps), lintian, zip, unzip, pkg-config (the
#             install test's consumer), and python3-venv, -setuptools, -wheel,
#             -pip and -build (pip install . and the wheel, on Debian's own
#             build backend)
set -euo pipefail

for group in "$@"; do
  case $group in
    build) packages=(libcli11-dev nlohmann-json3-dev librsvg2-bin locales) ;;
    python) packages=(python3-dev pybind11-dev python3-numpy python3-pytest python3-xarray
      python3-dask python3-distributed python3-netcdf4 python3-hypothesis) ;;
    format) packages=(clang-format-14) ;;
    fuzz) packages=(clang libclang-rt-dev nlohmann-json3-dev) ;;
    windows) packages=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386 googletest) ;;
    packaging) packages=(dpkg-dev lintian zip unzip pkg-config python3-venv python3-setuptools
      python3-wheel python3-pip python3-build) ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
  "$(dirname "$0")/apt-install.sh" "install-deps $group" "${packages[@]}"
done
