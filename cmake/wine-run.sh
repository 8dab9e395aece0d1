#!/usr/bin/env bash
# Runs a Windows program under Wine in one of the tests' own quiet prefixes,
# creating the prefix on first use.
#   wine-run.sh PROGRAM ARGS...   the 32-bit prefix: $TAMBERLO_WINEPREFIX, or
#                                 build/wineprefix beside this script's repository
# With TAMBERLO_WINE_BITS=64 (what wine64-run.sh sets) the 64-bit prefix:
# $TAMBERLO_WINEPREFIX64, or build/wineprefix64. Debian's `wine` runs the
# 32-bit loader whenever wine32 is installed, so 64-bit programs start with
# wine64; `--32` ahead of the program starts a 32-bit one in that prefix (the
# system32 names, cscript or regsvr32, then mean C:\windows\syswow64's).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${TAMBERLO_WINE_BITS:-32}" = 64 ]; then
  export WINEPREFIX=${TAMBERLO_WINEPREFIX64:-$here/../build/wineprefix64}
  export WINEARCH=win64
  loader=/usr/lib/wine/wine64
  if [ "${1:-}" = --32 ]; then
    loader=wine
    shift
  fi
else
  export WINEPREFIX=${TAMBERLO_WINEPREFIX:-$here/../build/wineprefix}
  export WINEARCH=win32
  loader=wine
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Two builds may ask at once: one makes the prefix, the other waits for it.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || "$loader" wineboot --init >/dev/null 2>&1
  wineserver -w
  flock -u 9
fi
exec "$loader" "$@"
