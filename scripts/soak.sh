#!/usr/bin/env bash
# The long soak: many runs in one process against the SAS stand-in, with the
# open descriptors (handles) and the resident memory taken after a warm-up
# and at the end. Natively, with the sanitizers, and under Wine both through
# the core and through Tamberlo.dll. Fails when a count grew or a run failed.
#   bash scripts/soak.sh [runs, default 2000] [preset ...]
# Presets: native, native-asan, win32 (default: all three). Builds in
# build/<preset>, or in $TAMBERLO_SOAK_BUILD_PREFIX<preset> when that is set.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"
runs=${1:-2000}
shift || true
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan win32)
build_prefix=${TAMBERLO_SOAK_BUILD_PREFIX:-build/}
# Resident memory may grow this much after the warm-up (allocator pools,
# fragmentation); a leak of a few hundred bytes a run passes it after 2000.
rss_limit_kib=${TAMBERLO_SOAK_RSS_LIMIT_KIB:-2048}

status=0
for preset in "${presets[@]}"; do
  dir="$build_prefix$preset"
  cmake --preset "$preset" -B "$dir" >/dev/null
  cmake --build "$dir" -j 2 --target soak_driver sas_standin
  case "$preset" in
    native)
      echo "== soak $preset: $runs runs"
      "$dir/tests/reliability/soak_driver" "$dir/sasroot" "$runs" --rss-limit-kib "$rss_limit_kib" || status=1
      ;;
    native-asan)
      # Without the quarantine, which keeps freed memory on purpose, resident
      # memory is judged as natively; the leak checker runs at the end.
      echo "== soak $preset: $runs runs"
      ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=0:thread_local_quarantine_size_kb=0" \
        "$dir/tests/reliability/soak_driver" "$dir/sasroot" "$runs" --rss-limit-kib "$rss_limit_kib" || status=1
      ;;
    win32)
      cmake --build "$dir" -j 2 --target Tamberlo
      source scripts/wine-session.sh
      wine_session_start
      trap wine_session_stop EXIT
      echo "== soak $preset (core): $runs runs"
      cmake/wine-run.sh "$dir/tests/reliability/soak_driver.exe" "$dir/sasroot" "$runs" \
        --rss-limit-kib "$rss_limit_kib" || status=1
      echo "== soak $preset (Tamberlo.dll): $runs runs"
      cmake/wine-run.sh "$dir/tests/reliability/soak_driver.exe" "$dir/sasroot" "$runs" \
        --rss-limit-kib "$rss_limit_kib" --com "$dir/automation/com/Tamberlo.dll" || status=1
      ;;
    *)
      echo "unknown preset $preset" >&2
      status=1
      ;;
  esac
done
exit $status
