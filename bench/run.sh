#!/usr/bin/env bash
# Renders the benchmark corpus with quillmark-render and reports speed and peak memory.
#   bench/run.sh BUILD_DIR [PAGES]
# Targets: 1,000 pages in at most 0.35 s, one page in at most 25 ms, peak memory at most 40 MB and not
# growing with the page count beyond the input it holds, the 1,000-page PDF at most 2.6 MB, the same report
# for a LaserJet under PCL in at most 1.2 times the ESC/P 2 CPU time. Each figure is the best of three runs.
set -euo pipefail
source "$(dirname "$0")/best_of_three.sh"

build=${1:?usage: bench/run.sh BUILD_DIR [PAGES]}
pages=${2:-1000}
render="$build/quillmark-render"
corpus="$build/quillmark-corpus"
[ -x "$render" ] && [ -x "$corpus" ] || { echo "build quillmark-render and quillmark-corpus in $build first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package: time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$corpus" "$work" "$pages"
mkdir -p "$work/small" && "$corpus" "$work/small" 100

# measure NAME INPUT PAGES [OPTIONS...]: best wall time and its peak memory over three runs
measure() {
  local name=$1 input=$2 count=$3 best rss cpu
  shift 3
  best_of_three "$work/time.txt" "$render" "$@" -o "$work/out.pdf" "$input"
  local pdf_pages bytes
  pdf_pages=$(pdfinfo "$work/out.pdf" 2>/dev/null | sed -n 's/^Pages: *//p' || true)
  bytes=$(stat -c %s "$work/out.pdf")
  awk -v n="$name" -v p="$count" -v s="$best" -v c="$cpu" -v k="$rss" -v pp="${pdf_pages:-?}" -v b="$bytes" 'BEGIN {
    printf "%-20s %5d pages (%s in PDF)  %7.3f s (CPU %6.3f s)  %7.1f pages/s  peak %6.1f MB  PDF %5.2f MB\n",
           n, p, pp, s, c, (s > 0 ? p / s : 0), k / 1024, b / 1e6 }'
  last_cpu=$cpu
}

echo "quillmark-render on $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg); best of three runs"
measure "one page" "$work/small/one-page.prn" 1
measure "100-page report" "$work/small/report.prn" 100
measure "$pages-page report" "$work/report.prn" "$pages"
# The Epson emulations on the same corpus (box-drawn frames included): within 10% of the Basic one.
measure "$pages-page ESC/P2" "$work/report.prn" "$pages" --emulation escp2
escp2_cpu=$last_cpu
measure "$pages-page ESC/P" "$work/report.prn" "$pages" --emulation escp
# The same report for an HP LaserJet under the PCL emulation: at most 1.2 times the ESC/P 2 CPU time.
measure "$pages-page PCL" "$work/report.pcl" "$pages" --emulation pcl
awk -v p="$last_cpu" -v e="$escp2_cpu" 'BEGIN { printf "PCL / ESC/P2 CPU time: %.2f (target at most 1.20)\n", (e > 0 ? p / e : 0) }'
