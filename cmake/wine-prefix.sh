# Sourced by the scripts that use the tests' Wine prefixes: sets WINEPREFIX
# and WINEARCH, and `wine_loader`, the loader of the prefix's own programs.
#   the 32-bit prefix: $TAMBERLO_WINEPREFIX, or build/wineprefix
#   with TAMBERLO_WINE_BITS=64, the 64-bit one: $TAMBERLO_WINEPREFIX64, or
#   build/wineprefix64. Debian's `wine` runs the 32-bit loader whenever
#   wine32 is installed, so 64-bit programs start with wine64.
_tamberlo_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "${TAMBERLO_WINE_BITS:-32}" = 64 ]; then
  export WINEPREFIX=${TAMBERLO_WINEPREFIX64:-$_tamberlo_repo/build/wineprefix64}
  export WINEARCH=win64
  wine_loader=/usr/lib/wine/wine64
else
  export WINEPREFIX=${TAMBERLO_WINEPREFIX:-$_tamberlo_repo/build/wineprefix}
  export WINEARCH=win32
  wine_loader=wine
fi
