# Sourced by the scripts that run Windows programs: the project's own quiet
# Wine prefixes (the 32-bit one, and the 64-bit one that the win64 build and
# both builds side by side use), with one Wine server kept up for each for
# the whole session (a Wine start then costs a tenth of a second instead of
# seconds).
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${TAMBERLO_WINEPREFIX:-$repo/build/wineprefix}
export TAMBERLO_WINEPREFIX=$WINEPREFIX
export TAMBERLO_WINEPREFIX64=${TAMBERLO_WINEPREFIX64:-$repo/build/wineprefix64}
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# wine_session_start [64]: the 32-bit prefix, and with 64 the 64-bit one too.
# Each prefix's desktop process is started here too, detached from every
# output: Wine starts it with the first program that needs a window (COM
# does) and it lives as long as the Wine server, so started by a test it
# would hold that test's output open and ctest would wait for it for ever.
wine_session_start() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  "$repo/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true   # makes the prefix when missing
  wineserver -p >/dev/null 2>&1 &
  "$repo/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true   # warm
  "$repo/cmake/wine-run.sh" explorer.exe /desktop </dev/null >/dev/null 2>&1 &
  if [ "${1:-}" = 64 ]; then
    "$repo/cmake/wine64-run.sh" cmd /c exit >/dev/null 2>&1 || true
    WINEPREFIX=$TAMBERLO_WINEPREFIX64 wineserver -p >/dev/null 2>&1 &
    "$repo/cmake/wine64-run.sh" cmd /c exit >/dev/null 2>&1 || true
    "$repo/cmake/wine64-run.sh" explorer.exe /desktop </dev/null >/dev/null 2>&1 &
  fi
  sleep 1
}

wine_session_stop() {
  wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$TAMBERLO_WINEPREFIX64 wineserver -k >/dev/null 2>&1 || true
}
