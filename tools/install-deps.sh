#!/usr/bin/env bash
# Installs the libraries the build needs beyond the machine's standard set:
# CLI11 (Debian libcli11-dev, header-only), which parses kvres-tool's command
# line in the Linux and the Windows build alike.
# Idempotent: when everything is present it returns at once without touching apt.
set -euo pipefail

if [ -f /usr/include/CLI/CLI.hpp ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
apt_opts=(-o DPkg::Lock::Timeout=300 -o Acquire::Retries=3)
for attempt in 1 2 3; do
  if $SUDO apt-get "${apt_opts[@]}" update -qq &&
    $SUDO apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends libcli11-dev >/dev/null; then
    break
  fi
  [ "$attempt" = 3 ] && { echo "install-deps: apt-get failed" >&2; exit 1; }
  sleep 10
done
[ -f /usr/include/CLI/CLI.hpp ] || { echo "install-deps: CLI11 still missing" >&2; exit 1; }
