#!/usr/bin/env bash
# The installer end to end in a fresh 64-bit Wine prefix with the SAS
# stand-in installed. An installer whose 64-bit DLL cannot be registered
# (made from the zip's files and Tamberlo.nsi) fails with exit code 2 and
# leaves nothing. An older version (the zip's files, its README and DLLs
# marked, made with a version override) is installed; a 64-bit client holds
# its DLL (installer_dll_holder); the installer of <version>, told another
# folder, replaces it in its folder and says a restart is needed (3010), the
# DLL's replacement in PendingFileRenameOperations; after a restart
# (wineboot -r) the folder holds exactly the zip's files and an uninstaller,
# both builds are registered, one entry of the installed programs says
# <version>, as does tamberlo.exe; the older installer is then refused (1638)
# and changes nothing; the same version again installs at once (0, nothing
# pending); the 64- and 32-bit cscript and tamberlo.exe run programs; a
# silent uninstall, the 64-bit DLL held again, schedules its removal and,
# after a restart, leaves the files of drive C and HKLM\Software and HKCU as
# they were.
# Wine hands the Unix parent the exit code's low 8 bits: 3010 comes as 194.
#   installer-test.sh <wine64-run.sh> <setup.exe> <zip> <folder with SAS.EXE and sasv8.cfg> <Tamberlo.nsi> <version>
#                     <installer_dll_holder.exe>
set -euo pipefail
wine=$(realpath "$1")
setup=$2 zip=$3 sasroot=$4 script=$5 version=$6 holder_exe=$7
for package in "$setup" "$zip"; do
  [ -f "$package" ] || { echo "FAIL: $package was not made" >&2; exit 1; }
done
scratch=$(mktemp -d)
export TAMBERLO_WINEPREFIX64=$scratch/prefix WINEPREFIX=$scratch/prefix
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT
windows() { printf 'Z:%s' "${1//\//\\}"; }
installed="$WINEPREFIX/drive_c/Program Files/Tamberlo"
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

"$wine" cmd /c exit >/dev/null 2>&1
folder="$WINEPREFIX/drive_c/Program Files/SAS Institute/SAS/V8"
mkdir -p "$folder"
cp "$sasroot/SAS.EXE" "$sasroot/sasv8.cfg" "$folder/"

# Wine's cscript registers its own type library when it first runs: both
# run once before the first snapshot.
: >"$scratch/empty.vbs"
"$wine" cscript //nologo "$(windows "$scratch/empty.vbs")"
"$wine" --32 cscript //nologo "$(windows "$scratch/empty.vbs")"

# snapshot <name>: the files of drive C and the registry the installer may
# touch. The user's Temp folder is left out: NSIS's uninstaller runs from a
# copy there and leaves its empty folder (~nsu<n>.tmp) behind, on Windows too.
snapshot() {
  local key
  (cd "$WINEPREFIX/drive_c" && find . -path './users/*/Temp' -prune -o -print | sort) >"$scratch/$1.files"
  for key in 'HKLM\Software' HKCU; do
    "$wine" reg export "$key" "$(windows "$scratch/$1.reg")" /y /reg:64 >/dev/null
    iconv -f UTF-16 -t UTF-8 "$scratch/$1.reg" | tr -d '\r' >>"$scratch/$1.registry"
  done
}
snapshot before

mkdir "$scratch/zip" "$scratch/broken"
unzip -q "$zip" -d "$scratch/zip"
unzip -q "$zip" -d "$scratch/broken"
echo "not a module" >"$scratch/broken"/Tamberlo-*/x64/Tamberlo.dll
makensis -V1 -DVERSION=0.0.0 -DSTAGE="$(echo "$scratch/broken"/Tamberlo-*)" -DOUTFILE="$scratch/broken-setup.exe" "$script"
status=0
"$wine" --32 "$(windows "$scratch/broken-setup.exe")" /S || status=$?
[ "$status" = 2 ] || fail "the install that cannot register the 64-bit DLL exited with $status, not 2"
snapshot failed
diff -u "$scratch/before.files" "$scratch/failed.files" >&2 || fail "the failed install left files behind"
diff -u "$scratch/before.registry" "$scratch/failed.registry" >&2 || fail "the failed install left registry entries behind"

# The older version, its files marked so that one left behind shows.
old=0.9.0
mkdir "$scratch/old"
unzip -q "$zip" -d "$scratch/old"
for file in README.md x64/Tamberlo.dll x86/Tamberlo.dll; do
  echo "version $old" >>"$(echo "$scratch/old"/Tamberlo-*)/$file"
done
makensis -V1 -DVERSION=$old -DSTAGE="$(echo "$scratch/old"/Tamberlo-*)" -DOUTFILE="$scratch/Tamberlo-$old-setup.exe" "$script"
"$wine" --32 "$(windows "$scratch/Tamberlo-$old-setup.exe")" /S || fail "the install of $old exited with $?"

# hold_dll / release_dll: a 64-bit client holds the installed 64-bit DLL
# until its standard input closes. The restart that follows (wineboot -r)
# carries out PendingFileRenameOperations.
hold_dll() {
  rm -f "$scratch/hold" "$scratch/hold.out"
  mkfifo "$scratch/hold"
  "$wine" "$(windows "$holder_exe")" 'C:\Program Files\Tamberlo\x64\Tamberlo.dll' <"$scratch/hold" >"$scratch/hold.out" 2>&1 &
  holder=$!
  exec 3>"$scratch/hold"
  for _ in $(seq 100); do
    grep -q held "$scratch/hold.out" && return
    sleep 0.2
  done
  fail "the client holding the DLL printed [$(cat "$scratch/hold.out")]"
}
pending() {
  "$wine" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations /reg:64 |
    tr -d '\r' || true
}
release_dll_and_restart() {
  exec 3>&-
  wait "$holder" || true
  "$wine" wineboot -r
  wineserver -w
}

hold_dll
status=0
"$wine" --32 "$(windows "$setup")" /S '/D=C:\Elsewhere' || status=$?
[ "$status" = $((3010 & 255)) ] || fail "the upgrade with the DLL in use exited with $status, not 3010 (restart needed)"
pending=$(pending)
[[ $pending == *'\x64\Tamberlo.dll.new\0!\??\C:\Program Files\Tamberlo\x64\Tamberlo.dll'* ]] ||
  fail "no replacement of the 64-bit DLL is pending: [$pending]"
release_dll_and_restart
[ ! -e "$WINEPREFIX/drive_c/Elsewhere" ] || fail "the upgrade made the folder it was told instead of using the installed one"

# Exactly the zip's files, each the same, and the uninstaller.
packaged=$(cd "$scratch/zip"/Tamberlo-* && find . -type f | sort)
expected=$(printf '%s\n./Uninstall.exe' "$packaged" | sort)
actual=$(cd "$installed" && find . -type f | sort) || true
diff -u <(echo "$expected") <(echo "$actual") >&2 || fail "the installed files are not the zip's and the uninstaller"
while read -r file; do
  cmp -s "$scratch/zip"/Tamberlo-*/"$file" "$installed/$file" || fail "installed $file differs from the zip's"
done <<<"$packaged"

entry=$("$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tamberlo' /reg:64 | tr -d '\r' |
        sed -n 's/^ *\([A-Za-z]*\) *REG_[A-Z_]* *\(.*\)$/\1=\2/p' | sort)
expected_entry=$(cat <<ENTRY
DisplayName=Tamberlo
DisplayVersion=$version
InstallLocation=C:\\Program Files\\Tamberlo
NoModify=0x1
NoRepair=0x1
Publisher=Tamberlo
QuietUninstallString="C:\\Program Files\\Tamberlo\\Uninstall.exe" /S
UninstallString="C:\\Program Files\\Tamberlo\\Uninstall.exe"
ENTRY
)
diff -u <(echo "$expected_entry") <(echo "$entry") >&2 || fail "the entry of the installed programs"
for view in 64 32; do
  entries=$("$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view | grep -c 'DisplayName.*REG_SZ *Tamberlo') || true
  want=1
  [ "$view" = 32 ] && want=0
  [ "$entries" = "$want" ] || fail "the $view-bit registry view has $entries entries of Tamberlo, not $want"
done
output=$("$wine" --32 'C:\Program Files\Tamberlo\tamberlo.exe' --version 2>&1 | tr -d '\r') || true
[ "$output" = "tamberlo $version" ] || fail "the installed tamberlo.exe --version printed [$output]"

status=0
"$wine" --32 "$(windows "$scratch/Tamberlo-$old-setup.exe")" /S || status=$?
[ "$status" = $((1638 & 255)) ] || fail "the downgrade to $old exited with $status, not 1638"
cmp -s "$scratch/zip"/Tamberlo-*/README.md "$installed/README.md" || fail "the refused downgrade changed README.md"

# The same version again with nothing in use: the installed copy's uninstaller
# runs, every file is replaced at once, nothing waits for a restart.
status=0
"$wine" --32 "$(windows "$setup")" /S || status=$?
[ "$status" = 0 ] || fail "installing $version again exited with $status"
[[ $(pending) != *PendingFileRenameOperations* ]] || fail "installing $version again left work for a restart: [$(pending)]"

# Each cscript gets the build of its own bitness, as registered by the installer.
cat >"$scratch/hello.vbs" <<'VBS'
Set sas = CreateObject("Tamberlo.CodeRunner")
sas.SASCode = "data _null_; file _PUT1; put 'In put file 1'; run;"
WScript.Echo "Status: " & sas.Execute()
WScript.Echo "Put file 1: " & sas.PutFile(1)
VBS
for bits in 64 32; do
  loader=()
  [ "$bits" = 32 ] && loader=(--32)
  server=$("$wine" "${loader[@]}" reg query 'HKCR\CLSID\{E0A17516-ED5F-470D-BBB2-7A222B50B4C5}\InprocServer32' /ve |
           tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  want='C:\Program Files\Tamberlo\x64\Tamberlo.dll'
  [ "$bits" = 32 ] && want='C:\Program Files\Tamberlo\x86\Tamberlo.dll'
  [ "$server" = "$want" ] || fail "the $bits-bit view registers [$server], not [$want]"
  output=$("$wine" "${loader[@]}" cscript //nologo "$(windows "$scratch/hello.vbs")" | tr -d '\r') || true
  [ "$output" = $'Status: OK\nPut file 1: In put file 1' ] || fail "the $bits-bit cscript printed [$output]"
done
output=$("$wine" --32 'C:\Program Files\Tamberlo\tamberlo.exe' -e "data _null_; file print; put 'from tamberlo.exe'; run;" 2>/dev/null |
         tr -d '\r') || true
[[ $output == *"from tamberlo.exe"* ]] || fail "the installed tamberlo.exe printed [$output]"

# The uninstaller, the 64-bit DLL in use: it goes on from a copy of itself,
# whose last step is to remove the entry of the installed programs.
hold_dll
"$wine" --32 'C:\Program Files\Tamberlo\Uninstall.exe' /S || fail "the silent uninstall exited with $?"
for _ in $(seq 150); do
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tamberlo' /reg:64 >/dev/null 2>&1 || break
  sleep 0.2
done
pending=$(pending)
[[ $pending == *'\??\C:\Program Files\Tamberlo\x64\Tamberlo.dll\0\0'* ]] ||
  fail "the uninstall scheduled no removal of the 64-bit DLL in use: [$pending]"
release_dll_and_restart
[ ! -e "$installed" ] || fail "the uninstall left $(cd "$installed" && find . | tr '\n' ' ')"
snapshot after
diff -u "$scratch/before.files" "$scratch/after.files" >&2 || fail "the install and uninstall left drive C changed"
diff -u "$scratch/before.registry" "$scratch/after.registry" >&2 || fail "the install and uninstall left the registry changed"

[ "$failed" = 0 ] && echo "PASS: upgraded over an older version in use, a downgrade refused, used by 64- and 32-bit clients, uninstalled without a trace"
exit "$failed"
