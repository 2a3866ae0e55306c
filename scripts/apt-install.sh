#!/usr/bin/env bash
# The one apt helper of the install scripts:
#   scripts/apt-install.sh WHO PACKAGE...
# Installs from Debian those of the packages that dpkg does not list as
# installed (PACKAGE:i386 adds the i386 architecture first), and returns at
# once without touching apt when none is missing. Waits for a package manager
# that another process holds (a machine that has just started may be updating
# itself), retries a registry that does not answer at once (three attempts,
# ten seconds apart), says what it installed and how long it took, and checks
# that everything is installed afterwards. WHO names the caller in every
# message. On a machine without dpkg it only says what is needed.
set -euo pipefail

who=$1
shift

missing() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      echo "$package"
  done
}

if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "$who: no dpkg here; needs $* (or their equivalents)" >&2
  exit 0
fi
mapfile -t needed < <(missing "$@")
[ "${#needed[@]}" != 0 ] || exit 0

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
if [[ " ${needed[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

start=$(date +%s)
apt_opts=(-o DPkg::Lock::Timeout=300 -o Acquire::Retries=3)
for attempt in 1 2 3; do
  if $SUDO apt-get "${apt_opts[@]}" update -qq &&
    $SUDO apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends "${needed[@]}" >/dev/null; then
    mapfile -t still < <(missing "${needed[@]}")
    if [ "${#still[@]}" != 0 ]; then
      echo "$who: still missing after install: ${still[*]}" >&2
      exit 1
    fi
    echo "$who: installed ${needed[*]} in $(($(date +%s) - start)) s"
    exit 0
  fi
  [ "$attempt" = 3 ] || sleep 10
done
echo "$who: apt-get failed to install ${needed[*]}" >&2
exit 1
