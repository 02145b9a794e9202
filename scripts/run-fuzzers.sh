#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR for SECONDS each, starting from its seed corpus under fuzz/.
set -euo pipefail
build=$1
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in "$build"/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d)
  seeds="$root/fuzz/corpus/${name%_fuzz}"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "== $name for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
       LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0 \
       "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$corpus" \
       >"$corpus/log" 2>&1; then
    tail -n 60 "$corpus/log"
    status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$corpus/log" || true
  fi
  rm -rf "$corpus"
done
exit $status
