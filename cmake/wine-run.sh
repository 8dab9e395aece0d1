#!/usr/bin/env bash
# Runs a Windows program under Wine in the tests' own quiet 32-bit prefix,
# creating the prefix on first use. The prefix is $TAMBERLO_WINEPREFIX, or
# build/wineprefix beside this script's repository.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${TAMBERLO_WINEPREFIX:-$here/../build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Two builds may ask at once: one makes the prefix, the other waits for it.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1
  wineserver -w
  flock -u 9
fi
exec wine "$@"
