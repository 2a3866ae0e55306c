#!/usr/bin/env bash
# Installs Debian packages for one of the make targets' install scripts:
#   tools/apt-install.sh WHO PACKAGE...
# Waits for a package manager that another process holds (a machine that has
# just started may be updating itself), retries a registry that does not
# answer at once (three attempts, ten seconds apart) and says what it
# installed and how long it took. WHO names the caller in every message.
# Exits non-zero when apt-get kept failing.
set -euo pipefail

who=$1
shift

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

start=$(date +%s)
apt_opts=(-o DPkg::Lock::Timeout=300 -o Acquire::Retries=3)
for attempt in 1 2 3; do
  if $SUDO apt-get "${apt_opts[@]}" update -qq &&
    $SUDO apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends "$@" >/dev/null; then
    echo "$who: installed $* in $(($(date +%s) - start)) s"
    exit 0
  fi
  [ "$attempt" = 3 ] || sleep 10
done
echo "$who: apt-get failed to install $*" >&2
exit 1
