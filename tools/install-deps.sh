#!/usr/bin/env bash
# Installs the libraries the build needs beyond the machine's standard set:
# CLI11 (Debian libcli11-dev, header-only), which parses kvres-tool's command
# line in the Linux and the Windows build alike.
# Idempotent: when everything is present it returns at once without touching apt.
set -euo pipefail

if [ -f /usr/include/CLI/CLI.hpp ]; then
  exit 0
fi

"$(dirname "$0")/apt-install.sh" install-deps libcli11-dev
[ -f /usr/include/CLI/CLI.hpp ] || { echo "install-deps: CLI11 still missing" >&2; exit 1; }
