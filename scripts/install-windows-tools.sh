#!/usr/bin/env bash
# Installs what the Windows cross build and its tests need on a Debian machine:
# the i686 MinGW-w64 cross compiler, wine with its 32-bit part, and the
# GoogleTest sources (built from source for the cross build).
# Idempotent: when everything is present it returns at once without touching apt.
set -euo pipefail

have_all() {
  command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 &&
    command -v i686-w64-mingw32-objdump >/dev/null 2>&1 &&
    command -v wine >/dev/null 2>&1 &&
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' &&
    [ -f /usr/src/googletest/CMakeLists.txt ]
}

if have_all; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
"$(dirname "$0")/../apt-install.sh" install-tools g++-mingw-w64-i686-posix binutils-mingw-w64-i686 \
  wine wine32:i386 googletest

if ! have_all; then
  echo "install-tools: tools still missing after install" >&2
  exit 1
fi
