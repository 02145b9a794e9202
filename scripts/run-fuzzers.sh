#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR for SECONDS each, two at a time (FUZZ_JOBS), starting from its seed
# corpus under fuzz/corpus/<name>/. Prints per target the executions, the coverage libFuzzer reached
# (cov: edges, ft: features) and the findings; a finding's input is kept in BUILD_DIR/findings/.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
jobs=${FUZZ_JOBS:-2}
root=$(cd "$(dirname "$0")/.." && pwd)
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
mkdir -p "$build/findings"

run_one() {
  local target=$1 name corpus seeds log status=0
  name=$(basename "$target")
  corpus="$results/$name.corpus"
  log="$results/$name.log"
  mkdir -p "$corpus"
  seeds="$root/fuzz/corpus/${name%_fuzz}"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0 \
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$name-" "$corpus" >"$log" 2>&1 || status=$?
  local execs cov ft
  execs=$(grep -aoE 'stat::number_of_executed_units: [0-9]+' "$log" | grep -aoE '[0-9]+$' || true)
  cov=$(grep -aoE 'cov: [0-9]+' "$log" | tail -n 1 | grep -aoE '[0-9]+' || true)
  ft=$(grep -aoE 'ft: [0-9]+' "$log" | tail -n 1 | grep -aoE '[0-9]+' || true)
  local findings=0
  if [ "$status" -ne 0 ]; then
    findings=1
    tail -n 60 "$log" >"$results/$name.failure"
  fi
  printf '%-24s executions %10s  cov %6s  ft %6s  findings %s\n' "$name" "${execs:-?}" "${cov:-?}" "${ft:-?}" \
    "$findings" >"$results/$name.summary"
}

running=0
for target in "$build"/*_fuzz; do
  [ -x "$target" ] || continue
  run_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true

echo "== fuzzing ${seconds}s per target, $jobs at a time"
status=0
for summary in "$results"/*.summary; do
  [ -e "$summary" ] || continue
  cat "$summary"
done
for failure in "$results"/*.failure; do
  [ -e "$failure" ] || continue
  echo "== $(basename "$failure" .failure)"
  cat "$failure"
  status=1
done
exit $status
