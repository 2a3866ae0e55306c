#!/usr/bin/env bash
# Installs the packages the build and its tests need beyond the machine's
# standard set, from Debian:
#   libcli11-dev        CLI11 (header-only), kvres-tool's command line in the
#                       Linux and the Windows build alike;
#   nlohmann-json3-dev  nlohmann-json (header-only), which the tool's tests
#                       parse its JSON output with;
#   librsvg2-bin        rsvg-convert, which the tool's tests render the
#                       history plot with;
#   locales             the locale sources, from which the label tests build a
#                       comma-decimal locale.
# Idempotent: when everything is present it returns at once without touching apt.
set -euo pipefail

missing=()
[ -f /usr/include/CLI/CLI.hpp ] || missing+=(libcli11-dev)
[ -f /usr/include/nlohmann/json.hpp ] || missing+=(nlohmann-json3-dev)
command -v rsvg-convert >/dev/null 2>&1 || missing+=(librsvg2-bin)
if [ "$(uname -s)" = Linux ] && [ ! -f /usr/share/i18n/locales/de_DE ]; then
  missing+=(locales)
fi

if [ "${#missing[@]}" = 0 ]; then
  exit 0
fi

"$(dirname "$0")/apt-install.sh" install-deps "${missing[@]}"
[ -f /usr/include/CLI/CLI.hpp ] || { echo "install-deps: CLI11 still missing" >&2; exit 1; }
[ -f /usr/include/nlohmann/json.hpp ] || { echo "install-deps: nlohmann-json still missing" >&2; exit 1; }
command -v rsvg-convert >/dev/null 2>&1 || { echo "install-deps: rsvg-convert still missing" >&2; exit 1; }
