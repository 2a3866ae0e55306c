#!/usr/bin/env bash
# Installs from Debian what a make target needs beyond the machine's standard
# set, when it is missing (scripts/apt-install.sh):
#   scripts/install-deps.sh GROUP...
# build       libcli11-dev (kvres-tool's command line, Linux and Windows
#             builds), help2man (the tool's manual page), nlohmann-json3-dev
#             (the tool's tests parse its JSON),
#             librsvg2-bin (rsvg-convert renders the history plot in the
#             tests), locales (the label tests build a comma-decimal locale)
# python      the Python module and its tests, for Debian's /usr/bin/python3:
#             headers, pybind11, numpy, pytest, and xarray, dask,
#             dask.distributed and netCDF4 for kvres.xarray, hypothesis for
#             its property test
# tsan        g++ and its ThreadSanitizer runtime libtsan2 (the module's
#             threaded writer tests, test-tsan; with the python group)
# format      clang-format-14, the one pinned clang-format of format-check
# fuzz        clang with libFuzzer and the sanitizer runtimes; nlohmann-json
#             for the JSON-text target
# windows     the i686 MinGW-w64 cross compiler, wine with its 32-bit part,
#             the GoogleTest sources (built for the cross build)
# packaging   build-essential, dpkg-dev, debhelper, dh-python and help2man (the
#             Debian packages), lintian, man-db (the package test reads the manual
#             page), zip, unzip, pkg-config (the install tests' consumer), and
#             python3-venv, -setuptools, -wheel, -pip and -build (pip install
#             ., the wheel and the sdist, on Debian's own build backend)
set -euo pipefail

for group in "$@"; do
  case $group in
    build) packages=(libcli11-dev help2man nlohmann-json3-dev librsvg2-bin locales) ;;
    python) packages=(python3-dev pybind11-dev python3-numpy python3-pytest python3-xarray
      python3-dask python3-distributed python3-netcdf4 python3-hypothesis) ;;
    tsan) packages=(g++ libtsan2) ;;
    format) packages=(clang-format-14) ;;
    fuzz) packages=(clang libclang-rt-dev nlohmann-json3-dev) ;;
    windows) packages=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine wine32:i386 googletest) ;;
    packaging) packages=(build-essential dpkg-dev debhelper dh-python help2man lintian man-db zip unzip pkg-config
      python3-venv python3-setuptools python3-wheel python3-pip python3-build) ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
  "$(dirname "$0")/apt-install.sh" "install-deps $group" "${packages[@]}"
done
