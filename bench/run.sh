#!/usr/bin/env bash
# Builds the benchmarks (the bench preset natively, and the DLL timing in a
# win32 build of its own), runs them all and prints the table of ratios with
# target and verdict. Each ratio is measured side by side in one run: the
# two sides alternate round by round and the figure is a median.
#
#   bench/run.sh               build, run everything, print the table
#   bench/run.sh --no-build    run what is built
#   bench/run.sh --native      leave out the DLL row (no Wine)
#
# The Google Benchmark output of each program goes to build/bench/results/;
# the table (markdown) to standard output and build/bench/results/table.md.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

build=1
wine=1
for arg in "$@"; do
  case $arg in
    --no-build) build=0 ;;
    --native) wine=0 ;;
    *) echo "usage: bench/run.sh [--no-build] [--native]" >&2; exit 2 ;;
  esac
done

win32_build=build/bench-win32
results=build/bench/results
export TAMBERLO_WINEPREFIX=$root/build/bench-wineprefix

# Progress and the benchmarks' own output go to standard error, the table to
# standard output.
if [ $build -eq 1 ]; then
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j2 >&2
  if [ $wine -eq 1 ]; then
    cmake --preset win32 -B "$win32_build" -DTAMBERLO_BUILD_BENCHMARKS=ON -DTAMBERLO_BUILD_TESTS=OFF >/dev/null
    cmake --build "$win32_build" -j2 --target dll_log_timing >&2
  fi
fi

mkdir -p "$results"
load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
export TAMBERLO_BENCH_ROWS=$rows
# The benchmark programs are not beside the process guard the library starts
# SAS under: they are told where it is.
export TAMBERLO_GUARD=$root/build/bench/cli/tamberlo-guard

# The one-line runs first: creating files on the disk's file system gets
# slower for some seconds after many deletions, and the later benchmarks
# delete thousands of files.
runs=(
  "coderunner_bench ExecuteAgainst execute"
  "coderunner_bench CommandAgainst|StopRequest|BatchTwoJobs command"
  "scan_bench . scan"
  "clean_bench . clean"
  "findings_bench . findings"
  "coderunner_bench -ExecuteAgainst|CommandAgainst|StopRequest|BatchTwoJobs coderunner"
  "batch_bench . batch"
)
for run in "${runs[@]}"; do
  read -r program filter name <<<"$run"
  echo "== $program --benchmark_filter=$filter" >&2
  build/bench/bench/$program --benchmark_filter="$filter" | tee "$results/$name.txt" >&2
done

if [ $wine -eq 1 ]; then
  timing=$win32_build/bench/dll_log_timing.exe
  if [ -f "$timing" ]; then
    echo "== dll_log_timing (under Wine, prefix $TAMBERLO_WINEPREFIX)" >&2
    # The prefix is made on first use; one wineserver then stays for the run
    # (and a minute after), so that no start pays for a server start.
    cmake/wine-run.sh cmd /c "exit 0" >/dev/null 2>&1 || true
    WINEPREFIX=$TAMBERLO_WINEPREFIX WINEARCH=win32 wineserver -p60 2>/dev/null || true  # one may be running already
    cmake/wine-run.sh "$timing" "$rows" 2>&1 | tee "$results/dll_log_timing.txt" >&2
  else
    echo "== no $timing: the DLL row is left out" >&2
  fi
fi

{
  echo "Machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -1)," \
       "$(free -m | awk '/^Mem:/ {print $2}') MiB memory. Load average (1, 5, 15 min) at the start:" \
       "$load_at_start; at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  echo "| what | measured against, in the same run | measured (median) | target | verdict | peak memory |"
  echo "|---|---|---|---|---|---|"
  sort -t$'\t' -k1,1n "$rows" | awk -F'\t' '{ printf "| %s | %s | %s | %s | %s | %s |\n", $2, $3, $4, $5, $6, ($7 == "" ? "" : $7) }'
} | tee "$results/table.md"
