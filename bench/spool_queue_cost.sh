#!/usr/bin/env bash
# What keeping takes on disk costs: the latency from one spooled line to its PDF (median of COUNT lines,
# each written when the program is idle) and the time from a 100 MB take being written to its PDF (median
# of TAKES, default 3). The take is mostly NULs, which the interpreter skips, so it measures the spool path.
# Give a second binary (e.g. one built before the change) to compare.
#   bench/spool_queue_cost.sh [BUILD_DIR or BINARY] [OTHER_BINARY] [COUNT] [TAKES]
set -euo pipefail
binary() { if [ -d "$1" ]; then echo "$1/quillmark"; else echo "$1"; fi; }
first="$(binary "${1:-build/release}")"
second="${2:+$(binary "$2")}"
count="${3:-15}"
repeats="${4:-3}"
size=100000000

now_ms() { date +%s%3N; }

# $1: binary, $2: working directory. Prints "latency_ms take_ms".
measure() {
  local program dir pdfs before start
  program="$(realpath "$1")" dir="$2"
  printf '[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = PDF:PDF\r\n' >"$dir/Settings.ini"
  (cd "$dir" && exec "$program" >/dev/null 2>&1) &
  local runner=$!
  for _ in $(seq 100); do [ -e "$dir/SPOOL.PRN" ] && break; sleep 0.05; done
  pdfs() { { find "$dir/PDF" -name "*.pdf" 2>/dev/null || true; } | wc -l; }
  local latencies=()
  for i in $(seq "$count"); do
    before=$(pdfs)
    sleep 0.$((RANDOM % 7 + 2))  # land anywhere in the watcher's and the worker's poll cycles
    start=$(now_ms)
    printf 'Zeile %s\r\n' "$i" >>"$dir/SPOOL.PRN"
    while [ "$(pdfs)" -le "$before" ]; do sleep 0.005; done
    latencies+=($(($(now_ms) - start)))
  done
  local median
  median=$(printf '%s\n' "${latencies[@]}" | sort -n | sed -n "$(((count + 1) / 2))p")
  { printf 'Durchsatz\r\n'; head -c "$((size - 11))" /dev/zero; } >"$dir/big.prn"
  local takes=()
  for _ in $(seq "$repeats"); do
    before=$(pdfs)
    start=$(now_ms)
    cat "$dir/big.prn" >>"$dir/SPOOL.PRN"
    while [ "$(pdfs)" -le "$before" ]; do sleep 0.02; done
    takes+=($(($(now_ms) - start)))
  done
  local take
  take=$(printf '%s\n' "${takes[@]}" | sort -n | sed -n "$(((repeats + 1) / 2))p")
  kill -TERM "$runner"
  wait "$runner" || true
  echo "$median $take"
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for program in "$first" ${second:+"$second"}; do
  mkdir -p "$work/run"
  read -r latency take < <(measure "$program" "$work/run")
  rm -rf "$work/run"
  echo "$program: line to PDF ${latency} ms (median of $count), 100 MB take to PDF ${take} ms (median of $repeats)"
done
