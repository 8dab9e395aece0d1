#!/usr/bin/env bash
# Builds the Windows packages from a win64 build and the win32 build beside
# it: Tamberlo-<version>-setup.exe (NSIS) and Tamberlo-<version>.zip, which
# hold the same files:
#   x64\Tamberlo.dll, x86\Tamberlo.dll, tamberlo.exe (the 32-bit build, which
#   runs on every Windows), README.md, examples\
#   package.sh <version> <Tamberlo.dll x64> <win32 build folder> <output folder>
set -euo pipefail
version=$1 dll64=$(realpath "$2") win32=$(realpath "$3") out=$(realpath -m "$4")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
name=Tamberlo-$version
for file in "$win32/automation/com/Tamberlo.dll" "$win32/cli/tamberlo.exe"; do
  if [ ! -f "$file" ]; then
    echo "package: $file is missing: build the win32 preset first (cmake --build --preset win32)" >&2
    exit 1
  fi
done

stage=$out/package/$name
rm -rf "$out/package"
mkdir -p "$stage/x64" "$stage/x86" "$stage/examples"
cp "$dll64" "$stage/x64/Tamberlo.dll"
cp "$win32/automation/com/Tamberlo.dll" "$stage/x86/Tamberlo.dll"
cp "$win32/cli/tamberlo.exe" "$stage/tamberlo.exe"
# Symbols stay in the build tree; the packages ship stripped copies.
x86_64-w64-mingw32-strip "$stage/x64/Tamberlo.dll"
i686-w64-mingw32-strip "$stage/x86/Tamberlo.dll" "$stage/tamberlo.exe"
cp "$repo/README.md" "$stage/README.md"
cp "$repo/examples/report.sas" "$repo/examples/report.vbs" "$stage/examples/"

makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out/$name-setup.exe" "$here/Tamberlo.nsi"
rm -f "$out/$name.zip"
(cd "$out/package" && zip -q -X -r "$out/$name.zip" "$name")
echo "package: $out/$name-setup.exe ($(stat -c %s "$out/$name-setup.exe") bytes), $out/$name.zip"
