#!/usr/bin/env bash
# Runs a Windows console program under wine, quietly and without a display.
#   wine-run.sh [--prefix DIR] PROGRAM.exe [ARGS...]
# The wine prefix is DIR, else $WINEPREFIX, else ./wineprefix; it is created on
# first use. The program's exit code is passed through.
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

# One wine server, started here with its output detached, serves every test
# run: a server that wine starts by itself inherits the caller's pipes (ctest
# then waits for it to exit) and two runs starting at once could each start
# one. The lock makes the first run create the prefix and start the server,
# and the services wine starts with it, while the others wait. The server
# exits by itself after a minute without clients.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  # A prefix counts as ready only once its set-up succeeded; a half-made one
  # (set-up interrupted or failed) is removed and made again.
  if [ ! -f "$WINEPREFIX/.kvres-ready" ]; then
    # Only a prefix whose set-up this script began is ever removed.
    if [ -f "$WINEPREFIX/.kvres-setting-up" ]; then
      rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$WINEPREFIX"
    touch "$WINEPREFIX/.kvres-setting-up"
    if wineboot -i </dev/null >/dev/null 2>&1 9>&- && wineserver -w </dev/null >/dev/null 2>&1 9>&- &&
      [ -f "$WINEPREFIX/system.reg" ]; then
      mv "$WINEPREFIX/.kvres-setting-up" "$WINEPREFIX/.kvres-ready"
    else
      echo "wine-run: setting up the wine prefix $WINEPREFIX failed" >&2
      exit 1
    fi
  fi
  if wineserver -p"${KVRES_WINESERVER_LINGER:-60}" </dev/null >/dev/null 2>&1 9>&-; then
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$WINEPREFIX.lock"

exec wine "$@"
