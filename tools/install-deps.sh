#!/usr/bin/env bash
# Installs what the build and its tests need beyond the machine's standard set:
# CLI11 (Debian libcli11-dev, header-only), which parses kvres-tool's command
# line in the Linux and the Windows build alike, and the locale sources
# (Debian locales), from which the label tests build a comma-decimal locale.
# Idempotent: when everything is present it returns at once without touching apt.
set -euo pipefail

needed=()
[ -f /usr/include/CLI/CLI.hpp ] || needed+=(libcli11-dev)
if [ "$(uname -s)" = Linux ] && [ ! -f /usr/share/i18n/locales/de_DE ]; then
  needed+=(locales)
fi
if [ "${#needed[@]}" = 0 ]; then
  exit 0
fi

"$(dirname "$0")/apt-install.sh" install-deps "${needed[@]}"
[ -f /usr/include/CLI/CLI.hpp ] || { echo "install-deps: CLI11 still missing" >&2; exit 1; }
