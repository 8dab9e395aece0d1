#!/usr/bin/env bash
# Installs the SAS stand-in of a Windows build the way SAS is installed, at
# C:\Program Files\SAS Institute\SAS\V8\ of the tests' Wine prefix (the
# 64-bit one with TAMBERLO_WINE_BITS=64), so that the default search of
# drives C to Z finds it for real.
#   install-standin.sh <folder holding SAS.EXE and sasv8.cfg>
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-prefix.sh"
"$here/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true   # makes the prefix when missing
target="$WINEPREFIX/drive_c/Program Files/SAS Institute/SAS/V8"
mkdir -p "$target"
cp -f "$1/SAS.EXE" "$1/sasv8.cfg" "$target/"
