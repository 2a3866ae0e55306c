#!/usr/bin/env bash
# Checks that Windows binaries load with nothing but the system's DLLs and the
# host library rxResult.dll: the C and C++ runtimes (libgcc, libstdc++,
# winpthread) must be linked in statically.
#   check-imports.sh OBJDUMP binary.dll|exe...
set -euo pipefail
objdump="$1"
shift

# DLLs every Windows installation has.
system='^(KERNEL32|msvcrt|USER32|ADVAPI32|SHELL32|ole32|WS2_32|bcrypt)\.dll$'
status=0
for binary in "$@"; do
  [ -n "$binary" ] || continue
  imports=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u)
  echo "$(basename "$binary") imports: $(echo $imports)"
  for dll in $imports; do
    if ! [[ "$dll" =~ $system ]] && [ "$dll" != rxResult.dll ]; then
      echo "FAIL: $(basename "$binary") needs $dll" >&2
      status=1
    fi
  done
done
exit $status
