#!/usr/bin/env bash
# The 64-bit and the 32-bit Tamberlo.dll registered side by side in one
# 64-bit Wine prefix, each with its own regsvr32 (system32, syswow64):
#  - the 64-bit and the 32-bit cscript each run the script clients of
#    scripts/ and print what <script>.expected holds;
#  - a 64-bit and a 32-bit compiled client each create the object by its
#    ProgID and get the build of their own bitness, its type library and
#    the same version;
#  - unregistering either build leaves the registry exactly as registering
#    the other alone does, and the other build working;
#  - unregistering both leaves both registry views as they were.
#   side-by-side-test.sh <wine64-run.sh> <Tamberlo.dll x64> <progid_client.exe x64>
#                        <Tamberlo.dll x86> <progid_client.exe x86>
# Exits 77 (skipped) when the 32-bit build is missing.
set -euo pipefail
wine=$(realpath "$1")
dll64=$2 client64=$3 dll32=$4 client32=$5
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ ! -f "$dll32" ] || [ ! -f "$client32" ]; then
  echo "SKIP: no 32-bit build at $(dirname "$(dirname "$(dirname "$dll32")")") (cmake --build --preset win32)"
  exit 77
fi
work=$(mktemp -d)
windows() { printf 'Z:%s' "${1//\//\\}"; }

# run <64|32> PROGRAM ARGS...: a program of that bitness in the prefix
run() {
  local bits=$1
  shift
  if [ "$bits" = 64 ]; then "$wine" "$@"; else "$wine" --32 "$@"; fi
}
dll_of() { if [ "$1" = 64 ]; then echo "$dll64"; else echo "$dll32"; fi; }
client_of() { if [ "$1" = 64 ]; then echo "$client64"; else echo "$client32"; fi; }
register() { run "$1" regsvr32 /s "$(windows "$(dll_of "$1")")"; }
unregister() { run "$1" regsvr32 /u /s "$(windows "$(dll_of "$1")")"; }

cleanup() {
  unregister 64 || true
  unregister 32 || true
  rm -rf "$work"
}
trap cleanup EXIT

failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# snapshot <name>: HKEY_CLASSES_ROOT of both views as text, $work/<name>.{64,32}
snapshot() {
  local view
  for view in 64 32; do
    "$wine" reg export HKCR "$(windows "$work/$1.$view.reg")" /y "/reg:$view" >/dev/null
    # every value line carries its key, so that a diff names both
    iconv -f UTF-16 -t UTF-8 "$work/$1.$view.reg" | tr -d '\r' |
      awk '/^\[/ { key = $0; print; next } NF { print key " " $0 }' >"$work/$1.$view"
  done
}
same_registry() {  # same_registry <snapshot> <snapshot> <what>
  local view
  for view in 64 32; do
    diff -u "$work/$1.$view" "$work/$2.$view" >"$work/diff" || fail "$3 ($view-bit view):
$(grep '^[-+][^-+]' "$work/diff" | head -20)"
  done
}

check_scripts() {  # check_scripts <bits> <script>...: cscript of that bitness
  local bits=$1 script actual
  shift
  for script in "$@"; do
    actual=$(cd "$here/scripts" && run "$bits" cscript //nologo "$script" | tr -d '\r')
    diff -u "$here/scripts/$script.expected" <(printf '%s\n' "$actual") >&2 ||
      fail "the $bits-bit cscript printed something else for $script"
  done
}

check_client() {  # check_client <bits>: the client of that bitness gets its own build
  local bits=$1 dll platform expected actual
  dll=$(windows "$(dll_of "$bits")")
  platform=win$bits
  expected="client: $bits-bit
ProgID Tamberlo.CodeRunner: {E0A17516-ED5F-470D-BBB2-7A222B50B4C5}
module: $dll
version: 1.00 (1.0.0.0)
type library: Tamberlo 1.0 $platform
registered library: $dll
run: OK
put file 1: from the $bits-bit client"
  actual=$(run "$bits" "$(client_of "$bits")" | tr -d '\r') || true
  diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") >&2 || fail "the $bits-bit client"
}

check_not_registered() {  # check_not_registered <bits>
  local actual
  actual=$(run "$1" "$(client_of "$1")" | tr -d '\r' | tail -1) || true
  [ "$actual" = "failed: CoCreateInstance (0x80040154)" ] ||
    fail "the $1-bit client, its build unregistered, printed [$actual], not that the class is not registered"
}

unregister 64 || true
unregister 32 || true
# Wine's cscript registers its own type library when it first runs, and
# VBScript registers its RegExp type library again (paths rewritten) the
# first time a script makes a RegExp, as run.vbs does: both cscripts do
# both before the first snapshot.
printf 'Set pattern = New RegExp\r\n' >"$work/warm.vbs"
run 64 cscript //nologo "$(windows "$work/warm.vbs")"
run 32 cscript //nologo "$(windows "$work/warm.vbs")"
snapshot before
register 64 || fail "the 64-bit regsvr32 did not register the 64-bit build"
snapshot alone64
unregister 64 || fail "the 64-bit regsvr32 /u failed"
register 32 || fail "the 32-bit regsvr32 did not register the 32-bit build"
snapshot alone32
unregister 32 || fail "the 32-bit regsvr32 /u failed"
snapshot empty
same_registry before empty "registering and unregistering each build alone left the registry changed"

register 64 || fail "the 64-bit regsvr32 did not register the 64-bit build"
register 32 || fail "the 32-bit regsvr32 did not register the 32-bit build"
for bits in 64 32; do
  check_scripts "$bits" run.vbs errors.vbs run.js errors.js
  check_client "$bits"
done

unregister 32 || fail "the 32-bit regsvr32 /u failed beside the 64-bit build"
snapshot only64
same_registry alone64 only64 "unregistering the 32-bit build did not leave what the 64-bit build alone registers"
check_scripts 64 run.vbs
check_client 64
check_not_registered 32

register 32 || fail "the 32-bit regsvr32 did not register the 32-bit build again"
unregister 64 || fail "the 64-bit regsvr32 /u failed beside the 32-bit build"
snapshot only32
same_registry alone32 only32 "unregistering the 64-bit build did not leave what the 32-bit build alone registers"
check_scripts 32 run.vbs
check_client 32
check_not_registered 64

unregister 32 || fail "the 32-bit regsvr32 /u failed"
snapshot after
same_registry before after "unregistering both builds left the registry changed"

[ "$failed" = 0 ] && echo "PASS: both builds side by side, each unregistered without touching the other"
exit "$failed"
