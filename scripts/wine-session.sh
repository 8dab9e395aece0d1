# Sourced by the scripts that run Windows programs: one quiet 32-bit Wine
# prefix of the project's own, with one Wine server kept up for the whole
# session (a Wine start then costs a tenth of a second instead of seconds).
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${TAMBERLO_WINEPREFIX:-$repo/build/wineprefix}
export TAMBERLO_WINEPREFIX=$WINEPREFIX
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

wine_session_start() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  "$repo/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true   # makes the prefix when missing
  wineserver -p >/dev/null 2>&1 &
  "$repo/cmake/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true   # warm
}

wine_session_stop() {
  wineserver -k >/dev/null 2>&1 || true
}
