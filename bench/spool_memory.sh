#!/usr/bin/env bash
# Peak memory of one large take: runs quillmark under /usr/bin/time -v, once idle and once with a single
# take of SIZE bytes (default 100 MB), and prints both peaks. A take prints from its file in the queue, read
# through a mapping that gives back what is behind the reader, so the difference stays small whatever SIZE. The bytes are mostly NULs, which the interpreter skips, so the run measures
# the spool path rather than rendering. KIND "lines" takes SIZE bytes of short lines instead ("Zeile\r\n"
# over and over, no form feed), which under the Basic emulation run off the bottom of the sheet: what is
# drawn there must not be kept, so the peak stays small too.
#   bench/spool_memory.sh [BUILD_DIR] [SIZE] [KIND]
set -euo pipefail
build="$(cd "${1:-build/release}" && pwd)"
size="${2:-100000000}"
kind="${3:-nul}"
program="$build/quillmark"
[ -x "$program" ] || { echo "no $program; build first" >&2; exit 1; }

peak_kb() {  # $1: working directory, $2: bytes to take (0: none)
  local dir="$1" bytes="$2"
  printf '[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = PDF:PDF\r\n' >"$dir/Settings.ini"
  (cd "$dir" && exec /usr/bin/time -v -o time.txt "$program" >/dev/null 2>&1) &
  local runner=$!
  for _ in $(seq 100); do [ -e "$dir/SPOOL.PRN" ] && break; sleep 0.1; done
  if [ "$bytes" -gt 0 ]; then
    # One writer that keeps the file open until everything is written: one take.
    if [ "$kind" = lines ]; then
      yes $'Zeile\r' | head -c "$bytes" >>"$dir/SPOOL.PRN"
    else
      { printf 'Speichertest\r\n'; head -c "$((bytes - 14))" /dev/zero; } >>"$dir/SPOOL.PRN"
    fi
    for _ in $(seq 3000); do compgen -G "$dir/PDF/*.pdf" >/dev/null && break; sleep 0.1; done
  else
    sleep 2
  fi
  # The runner is /usr/bin/time; quillmark is its only child.
  local child
  child=$(cat "/proc/$runner/task/$runner/children" 2>/dev/null || true)
  [ -n "$child" ] && kill -TERM $child
  wait "$runner" || true
  sed -n 's/^\s*Maximum resident set size (kbytes): //p' "$dir/time.txt"
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/idle" "$work/take"
idle=$(peak_kb "$work/idle" 0)
take=$(peak_kb "$work/take" "$size")
echo "peak RSS idle:               ${idle} kB"
echo "peak RSS with a $size-byte take ($kind): ${take} kB"
echo "difference:                  $((take - idle)) kB ($(((take - idle) * 1024 * 100 / size))% of the take)"
