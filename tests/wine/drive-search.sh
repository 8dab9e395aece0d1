#!/usr/bin/env bash
# The default search of drives C to Z, for real: in a Wine prefix of its own,
# SAS roots are placed on drives mapped to folders, and the program that runs
# the search must find the first drive in order.
#   drive-search.sh <resolve_root.exe> <folder with SAS.EXE and sasv8.cfg> <wine-run.sh|wine64-run.sh>
set -euo pipefail
resolve=$1 sasroot=$2 winerun=$3
scratch=$(mktemp -d)
export TAMBERLO_WINEPREFIX=$scratch/prefix TAMBERLO_WINEPREFIX64=$scratch/prefix
export WINEPREFIX=$TAMBERLO_WINEPREFIX
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$scratch"; }
trap cleanup EXIT

"$winerun" cmd /c exit >/dev/null 2>&1   # a fresh prefix
wineserver -p >/dev/null 2>&1 &

folder="Program Files/SAS Institute/SAS/V8"
install_on() {   # install_on <drive letter> <host folder>
  mkdir -p "$2/$folder"
  cp "$sasroot/SAS.EXE" "$sasroot/sasv8.cfg" "$2/$folder/"
  [ "$1" = c ] || ln -sfn "$2" "$WINEPREFIX/dosdevices/$1:"
}
expect() {   # expect <what the search prints>
  local got
  got=$("$winerun" "$resolve" | tr -d '\r') || true
  if [ "$got" != "$1" ]; then
    printf 'drive-search: expected [%s]\n                   got [%s]\n' "$1" "$got" >&2
    exit 1
  fi
}

expect "error 1: The SAS executable (SAS.EXE) could be found in <drive>:\\Program Files\\SAS Institute\\SAS\\V8\\, where <drive> is C, D, E, ..., Z.

Supply the location of SAS.EXE to the Execute method."

install_on d "$scratch/d"
expect 'D:\Program Files\SAS Institute\SAS\V8\'

install_on e "$scratch/e"
expect 'D:\Program Files\SAS Institute\SAS\V8\'

rm "$WINEPREFIX/dosdevices/d:"
expect 'E:\Program Files\SAS Institute\SAS\V8\'

install_on c "$WINEPREFIX/drive_c"
expect 'C:\Program Files\SAS Institute\SAS\V8\'

# A drive letter that points nowhere counts as a miss, and the search goes on.
rm -rf "$WINEPREFIX/drive_c/Program Files/SAS Institute"
ln -sfn "$scratch/no-such-folder" "$WINEPREFIX/dosdevices/d:"
expect 'E:\Program Files\SAS Institute\SAS\V8\'
echo "drive-search: all cases passed"
