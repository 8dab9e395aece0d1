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
  # The demo may have configured these two without tests: switch them back on.
  tests=()
  case $preset in native | win32) tests=(-DTAMBERLO_BUILD_TESTS=ON) ;; esac
  cmake --preset "$preset" "${tests[@]}" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# The benchmarks are built, never run, here: their figures come from bench/run.sh.
if [ $# -eq 0 ]; then
  echo "== build bench"
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j "$jobs"
fi

# -- Wine sessions (both Windows builds) --
# The installer and the zip are made by the win64 tests themselves (the
# fixture installer_package), from this build and build/win32.
if [[ " ${presets[*]} " == *" win64 "* ]]; then
  wine_session_start 64
  trap wine_session_stop EXIT
elif [[ " ${presets[*]} " == *" win32 "* ]]; then
  wine_session_start
  trap wine_session_stop EXIT
fi
# -- end of the Windows part --

# Counts one preset's results into passed, failed and skipped: every test
# case, also those inside a Windows test executable (one ctest entry under
# Wine), whose GoogleTest reports are read from $2.
passed=0 failed=0 skipped=0
count_results() {
  local log=$1 reports=$2 summary total bad skips
  summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1) || return 1
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  skips=$(grep -cE '\(Skipped\)$' "$log" || true)
  passed=$((passed + total - bad - skips)) failed=$((failed + bad)) skipped=$((skipped + skips))
  # A report stands for one ctest entry already counted as passed or failed.
  local report cases caseskips casefails
  for report in "$reports"/*.xml; do
    [ -e "$report" ] || continue
    read -r cases caseskips casefails < <(awk '
      /<testcase / && /status="run"/ { cases++; failing = 0; if (/result="skipped"/) skips++ }
      /<failure/    { if (!failing) fails++; failing = 1 }
      END { print cases + 0, skips + 0, fails + 0 }' "$report")
    if [ "$casefails" -gt 0 ]; then
      failed=$((failed + casefails - 1)) passed=$((passed + cases - caseskips - casefails))
    else
      passed=$((passed + cases - caseskips - 1))
    fi
    skipped=$((skipped + caseskips))
    grep -E 'result="skipped"' "$report" | sed -E 's/.*name="([^"]*)".*classname="([^"]*)".*/   skipped: \2.\1/' || true
  done
}

status=0
for preset in "${presets[@]}"; do
  echo "== test $preset"
  log=$(mktemp)
  reports=$(mktemp -d)
  # Natively every test case is a ctest entry of its own; a Windows test
  # executable reports its cases in a file.
  gtest_output=
  [[ $preset != win* ]] || gtest_output="xml:Z:${reports//\//\\}\\"
  GTEST_OUTPUT=$gtest_output ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log" || status=1
  count_results "$log" "$reports" || status=1
  rm -rf "$log" "$reports"
done

echo "Tests: $passed passed, $failed failed, $skipped skipped"
# On the CI machine every test can run: a skip there hides a fault.
if [ "${TAMBERLO_NO_SKIPS:-0}" = 1 ] && [ "$skipped" -gt 0 ]; then
  echo "A test was skipped on the CI machine, where every test must run." >&2
  status=1
fi
exit $status
