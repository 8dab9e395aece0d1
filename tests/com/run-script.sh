#!/usr/bin/env bash
# Runs one script client of Tamberlo.dll through cscript under Wine and
# compares what it printed, line by line, with <script>.expected beside it.
# The module is registered for the run and unregistered afterwards.
#   run-script.sh <wine-run.sh> <Tamberlo.dll> <script.vbs|script.js>
# cscript exits 0 and prints nothing on an unhandled script error, so only
# the printed output decides.
set -euo pipefail
wine_run=$(realpath "$1")
dll=$2
script=$(realpath "$3")
expected="$script.expected"
windows_dll="Z:${dll//\//\\}"

"$wine_run" regsvr32 /s "$windows_dll"
trap '"$wine_run" regsvr32 /u /s "$windows_dll" || true' EXIT

# The scripts name their stored programs relative to their own folder.
cd "$(dirname "$script")"
actual=$("$wine_run" cscript //nologo "$(basename "$script")" | tr -d '\r')
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
  echo "FAIL: $(basename "$script") printed something else than $(basename "$expected")" >&2
  exit 1
fi
echo "PASS: $(basename "$script")"
