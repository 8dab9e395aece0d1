#!/usr/bin/env bash
# Builds Tamberlo natively, with the sanitizers, for win32 and for win64, and
# runs every test of all four (the Windows tests under Wine, with both builds
# side by side and the installer's round trip), then a short pass of every
# fuzz target. Installs what is missing first.
#   bash scripts/test.sh [preset ...]
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

bash scripts/install-deps.sh
source scripts/wine-session.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan win32 win64 fuzz)
jobs=$(nproc)

for preset in "${presets[@]}"; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# The benchmarks are built, never run, here: their figures come from bench/run.sh.
if [ $# -eq 0 ]; then
  echo "== build bench"
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j "$jobs"
fi

# -- Windows packages and Wine sessions (both Windows builds) --
# The installer and the zip take the 32-bit DLL and tamberlo.exe from build/win32.
if [[ " ${presets[*]} " == *" win64 "* ]] && [ -f build/win32/cli/tamberlo.exe ]; then
  echo "== package win64"
  cmake --build --preset win64 --target package
fi
if [[ " ${presets[*]} " == *" win64 "* ]]; then
  wine_session_start 64
  trap wine_session_stop EXIT
elif [[ " ${presets[*]} " == *" win32 "* ]]; then
  wine_session_start
  trap wine_session_stop EXIT
fi
# -- end of the Windows part --

passed=0
failed=0
status=0
for preset in "${presets[@]}"; do
  echo "== test $preset"
  log=$(mktemp)
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log" || status=1
  # "100% tests passed, 0 tests failed out of 120"
  if summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1); then
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  else
    status=1
  fi
  rm -f "$log"
done

echo "Tests: $passed passed, $failed failed"
exit $status
