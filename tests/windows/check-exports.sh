#!/usr/bin/env bash
# Checks that a plug-in DLL exports exactly one function, SupplyReaderFunctionTable,
# by that plain name: no stdcall "@4" suffix, no leading underscore, no C++
# mangling, no ordinal-only exports beside it.
#   check-exports.sh OBJDUMP kvres.dll
set -euo pipefail
objdump="$1"
dll="$2"

table=$("$objdump" -p "$dll")
names=$(printf '%s\n' "$table" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\(.*\)$/\1/p')
addresses=$(printf '%s\n' "$table" |
  sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' | grep -c 'Export RVA' || true)

echo "exports of $(basename "$dll"):"
printf '  %s\n' ${names:-"(none)"}
if [ "$names" != "SupplyReaderFunctionTable" ]; then
  echo "FAIL: expected exactly one export named SupplyReaderFunctionTable" >&2
  exit 1
fi
if [ "$addresses" != 1 ]; then
  echo "FAIL: the export address table has $addresses entries, expected 1" >&2
  exit 1
fi
echo "ok: one export, SupplyReaderFunctionTable, undecorated"
