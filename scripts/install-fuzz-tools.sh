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

"$(dirname "$0")/../tools/apt-install.sh" fuzz/install-tools clang libclang-rt-dev nlohmann-json3-dev

if ! have_all; then
  echo "fuzz/install-tools: clang's libFuzzer or nlohmann-json still missing after install" >&2
  exit 1
fi
