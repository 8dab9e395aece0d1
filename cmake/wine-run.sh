#!/usr/bin/env bash
# Runs a Windows program under Wine in one of the tests' own quiet prefixes
# (see wine-prefix.sh), creating the prefix on first use. In the 64-bit
# prefix, `--32` ahead of the program starts a 32-bit program: the system
# programs by name (cscript, regsvr32, reg) are then C:\windows\syswow64's.
#   wine-run.sh [--32] PROGRAM ARGS...
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-prefix.sh"
loader=$wine_loader
if [ "${1:-}" = --32 ]; then
  loader=wine
  shift
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Two builds may ask at once: one makes the prefix, the other waits for it.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || "$wine_loader" wineboot --init >/dev/null 2>&1
  wineserver -w
  flock -u 9
fi
# Without address-space randomisation: with it, now and then a new Wine
# process dies while it starts and the CreateProcess that started it fails
# with error 1359 (measured: the load tests, eight threads starting SAS at
# once, failed so in 3 runs of 24 with it and in none of 12 without).
exec setarch "$(uname -m)" -R "$loader" "$@"
