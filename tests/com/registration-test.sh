#!/usr/bin/env bash
# Registers Tamberlo.dll with regsvr32 in the tests' Wine prefix, checks that
# exactly the expected keys were added to HKEY_CLASSES_ROOT (registration.expected,
# with <module> for the module's path; registration-win64.expected for the
# 64-bit build, whose type library registers as win64 and whose interface
# keys go to both registry views), then unregisters and checks that nothing
# is left.
#   registration-test.sh <wine-run.sh> <Tamberlo.dll> [win32|win64]
set -euo pipefail
wine_run=$(realpath "$1")
dll=$2
platform=${3:-win32}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
expected=$here/registration.expected
[ "$platform" = win32 ] || expected=$here/registration-$platform.expected
windows_dll="Z:${dll//\//\\}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export_classes() {  # <name>: HKEY_CLASSES_ROOT as UTF-8 text in $work/<name>.txt
  "$wine_run" reg export HKCR "Z:${work//\//\\}\\$1.reg" /y >/dev/null
  iconv -f UTF-16 -t UTF-8 "$work/$1.reg" | tr -d '\r' > "$work/$1.txt"
}
# Lines that registration added, in registry order, blank ones left out,
# with the module's path (as the export escapes it) replaced by <module>.
added_lines() {
  local escaped=${windows_dll//\\/\\\\}
  diff "$work/before.txt" "$work/$1.txt" | sed -n 's/^> //p' | grep -v '^$' |
    MODULE_PATH=$escaped awk '{ path = ENVIRON["MODULE_PATH"]
      while ((i = index($0, path)) > 0) $0 = substr($0, 1, i - 1) "<module>" substr($0, i + length(path))
      print }'
}

failed=0
"$wine_run" regsvr32 /u /s "$windows_dll" || true   # a clean start
export_classes before

if ! "$wine_run" regsvr32 /s "$windows_dll"; then
  echo "FAIL: regsvr32 did not register the module" >&2
  failed=1
fi
export_classes registered
for key in 'HKCR\CLSID\{E0A17516-ED5F-470D-BBB2-7A222B50B4C5}\InprocServer32' \
           'HKCR\Tamberlo.CodeRunner\CLSID' \
           "HKCR\\TypeLib\\{2EF0D631-4776-4D44-80D1-B43EC8C2F16F}\\1.0\\0\\$platform" \
           'HKCR\Interface\{51278522-9127-4A8B-BACA-E01C72296A08}\TypeLib'; do
  if ! "$wine_run" reg query "$key" >/dev/null 2>&1; then
    echo "FAIL: missing after registration: $key" >&2
    failed=1
  fi
done
if ! diff -u "$expected" <(added_lines registered); then
  echo "FAIL: registration wrote something else than $(basename "$expected")" >&2
  failed=1
fi

if ! "$wine_run" regsvr32 /u /s "$windows_dll"; then
  echo "FAIL: regsvr32 /u did not unregister the module" >&2
  failed=1
fi
export_classes unregistered
for key in 'HKCR\CLSID\{E0A17516-ED5F-470D-BBB2-7A222B50B4C5}' 'HKCR\Tamberlo.CodeRunner' \
           'HKCR\TypeLib\{2EF0D631-4776-4D44-80D1-B43EC8C2F16F}' \
           'HKCR\Interface\{51278522-9127-4A8B-BACA-E01C72296A08}'; do
  if "$wine_run" reg query "$key" >/dev/null 2>&1; then
    echo "FAIL: left after unregistration: $key" >&2
    failed=1
  fi
done
if ! diff -u "$work/before.txt" "$work/unregistered.txt"; then
  echo "FAIL: unregistration left HKEY_CLASSES_ROOT changed" >&2
  failed=1
fi
[ "$failed" = 0 ] && echo "PASS: registered and unregistered without a trace"
exit "$failed"
