#!/usr/bin/env bash
# Installs the one clang-format that judges the layout of the C++ files
# (major version 14, Debian's clang-format-14), when it is missing. Pinned so
# that `make format-check` gives the same verdict on every machine.
# Idempotent: when it is present it returns at once without touching apt.
set -euo pipefail

if command -v clang-format-14 >/dev/null 2>&1; then
  exit 0
fi
"$(dirname "$0")/apt-install.sh" install-format clang-format-14
command -v clang-format-14 >/dev/null 2>&1 || { echo "install-format: clang-format-14 still missing" >&2; exit 1; }
