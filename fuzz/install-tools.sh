#!/usr/bin/env bash
# Installs what the fuzz targets need on a Debian machine: clang with
# libFuzzer and the sanitizer runtimes, and nlohmann-json for the JSON-text
# target. Idempotent: when everything is present it returns at once without
# touching apt.
set -euo pipefail

have_all() {
  command -v clang++ >/dev/null 2>&1 &&
    [ -f "$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a)" ] &&
    [ -f /usr/include/nlohmann/json.hpp ]
}

if have_all; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

apt_opts=(-o DPkg::Lock::Timeout=300 -o Acquire::Retries=3)
for attempt in 1 2 3; do
  if $SUDO apt-get "${apt_opts[@]}" update -qq &&
    $SUDO apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends \
      clang libclang-rt-dev nlohmann-json3-dev >/dev/null; then
    break
  fi
  [ "$attempt" = 3 ] && { echo "fuzz/install-tools: apt-get failed" >&2; exit 1; }
  sleep 10
done

if ! have_all; then
  echo "fuzz/install-tools: clang's libFuzzer or nlohmann-json still missing after install" >&2
  exit 1
fi
