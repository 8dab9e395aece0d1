#!/usr/bin/env bash
# The main job: runs examples/report.sas through Tamberlo against the SAS
# stand-in and shows what a user gets back: the listing, the log and the put
# files. Installs and builds what is missing first.
#   bash scripts/demo.sh          through the tamberlo command, natively
#   bash scripts/demo.sh --wine   the same run through Tamberlo.dll from VBScript, under Wine
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
# Only what this run needs: the test tools come with the test command.
if [ "${1:-}" = "--wine" ]; then bash scripts/install-deps.sh wine; else bash scripts/install-deps.sh native; fi

# The tests are configured once their sources are there (scripts/test.sh
# installs them and switches them back on).
tests=ON
[ -d /usr/src/googletest ] || tests=OFF

heading() { printf '\n== %s\n' "$*"; }

if [ "${1:-}" = "--wine" ]; then
  source scripts/wine-session.sh
  cmake --preset win32 -DTAMBERLO_BUILD_TESTS=$tests >/dev/null
  cmake --build --preset win32 --target Tamberlo sas_standin >/dev/null
  wine_session_start
  trap wine_session_stop EXIT
  bash cmake/install-standin.sh build/win32/sasroot
  dll="Z:$(realpath build/win32/automation/com/Tamberlo.dll | tr / '\\')"
  cmake/wine-run.sh regsvr32 /s "$dll"
  heading "cscript examples/report.vbs (Tamberlo.dll registered; SAS.EXE found at C:\\Program Files\\SAS Institute\\SAS\\V8\\)"
  cmake/wine-run.sh cscript //nologo examples/report.vbs | tr -d '\r'
  cmake/wine-run.sh regsvr32 /u /s "$dll"
  exit 0
fi

# Each step that fails stops the demo with what failed, never with the
# confusing errors of the steps after it.
fail() { printf 'demo: %s\n' "$*" >&2; exit 1; }
cmake --preset native -DTAMBERLO_BUILD_TESTS=$tests >/dev/null || fail "configuring the native build failed (cmake --preset native)"
cmake --build --preset native --target tamberlo sas_standin >/dev/null ||
  fail "building the command and the SAS stand-in failed (cmake --build --preset native --target tamberlo sas_standin)"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# build/native/sasroot holds the stand-in as SAS for UNIX is installed: sas and sasv9.cfg.
heading "tamberlo --sas-root build/native/sasroot --put-dir OUT --log OUT/report.log --check examples/report.sas"
status=0
build/native/cli/tamberlo --sas-root build/native/sasroot --put-dir "$out" --log "$out/report.log" --check \
  examples/report.sas >"$out/report.lst" || status=$?
[ $status -eq 0 ] || fail "tamberlo exited with status $status (its message is above): the run did not go through"
echo "exit status 0: the run went through and its log has no ERROR or WARNING lines"

heading "Listing (form feeds shown as %12: CleanOutput is on)"
cat "$out/report.lst"
heading "Log"
cat "$out/report.log"
puts=("$out"/_PUT*.txt)
[ -e "${puts[0]}" ] || fail "the run wrote no put file to $out"
for put in "${puts[@]}"; do
  heading "Put file $(basename "$put" .txt)"
  cat "$put"
done
