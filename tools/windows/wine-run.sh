#!/usr/bin/env bash
# Runs a Windows console program under wine, quietly and without a display.
#   wine-run.sh [--prefix DIR] PROGRAM.exe [ARGS...]
# The wine prefix is DIR, else $WINEPREFIX, else ./wineprefix. It is created on
# first use under a lock, so parallel ctest jobs do not race to create it.
# The program's exit code is passed through.
set -euo pipefail

prefix="${WINEPREFIX:-$PWD/wineprefix}"
if [ "${1:-}" = "--prefix" ]; then
  prefix="$2"
  shift 2
fi
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No mono or gecko download prompts; console programs need neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.kvres-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.kvres-ready" ]; then
      wineboot -i >/dev/null 2>&1 || true
      touch "$WINEPREFIX/.kvres-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# Keep one wine server alive between the many short test runs, detached from
# this program's output: a server started by wine itself would hold the
# caller's pipes open (ctest would wait for it) and would be restarted for
# every test. It exits by itself after a minute without clients.
wineserver -p"${KVRES_WINESERVER_LINGER:-60}" </dev/null >/dev/null 2>&1 || true

exec wine "$@"
