#!/usr/bin/env bash
# Runs every fuzz target for longer than the test run does, growing the seed
# corpora in tests/fuzz/corpus/. A crash leaves its input as crash-* here;
# turn each finding into a unit test. Prints each target's coverage (cov:
# edges of the instrumented code) at the start and at the end.
#   bash scripts/fuzz.sh [seconds per target, default 600]
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
bash scripts/install-deps.sh
seconds=${1:-600}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
for target in build/fuzz/tests/fuzz/fuzz-*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 "tests/fuzz/corpus/$name" 2>&1 |
    grep -E 'INITED|DONE|ERROR|SUMMARY|Test unit written'
done
