#!/usr/bin/env bash
# The page path against cups-filters' texttopdf on the same 1,000-page report (A4, embedded UTF-8 font):
#   bench/texttopdf.sh BUILD_DIR [PAGES]
# Target: quillmark-render at most 0.30x texttopdf's wall time, every emulation within 10% of Basic, the
# PDF within 10% of its size before the page path was tuned (2.05 MB). Best of three runs each, taken in
# turn so that a slower machine slows both.
set -euo pipefail
source "$(dirname "$0")/best_of_three.sh"

build=${1:?usage: bench/texttopdf.sh BUILD_DIR [PAGES]}
pages=${2:-1000}
texttopdf=/usr/lib/cups/filter/texttopdf
ppd=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
[ -x "$texttopdf" ] && [ -f "$ppd" ] || { echo "texttopdf is missing (Debian package: cups-filters)" >&2; exit 1; }
[ -x "$build/quillmark-render" ] && [ -x "$build/quillmark-corpus" ] || { echo "build $build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/quillmark-corpus" "$work" "$pages"
# The same text for texttopdf: the report's printer commands removed, code page 437 as UTF-8.
python3 - "$work/report.prn" "$work/report.txt" <<'PY'
import re, sys
data = open(sys.argv[1], 'rb').read()
data = re.sub(rb'\x1b([Wxp].|[@EFMPgGH02-5 ])', b'', data, flags=re.S)
open(sys.argv[2], 'w', encoding='utf-8').write(data.replace(b'\r\n', b'\n').decode('cp437'))
PY

run_texttopdf() {
  PPD=$ppd CHARSET=utf-8 "$texttopdf" 1 bench report 1 "PageSize=A4" "$work/report.txt" >"$work/texttopdf.pdf" 2>/dev/null
}
export -f run_texttopdf
export ppd texttopdf work

declare -A wall
for name in texttopdf basic escp2 escp pcl; do
  case $name in
    texttopdf) best_of_three "$work/time.txt" bash -c run_texttopdf ;;
    basic) best_of_three "$work/time.txt" "$build/quillmark-render" -o "$work/basic.pdf" "$work/report.prn" ;;
    # The same report as a LaserJet program sends it.
    pcl) best_of_three "$work/time.txt" "$build/quillmark-render" --emulation pcl -o "$work/pcl.pdf" \
           "$work/report.pcl" ;;
    *) best_of_three "$work/time.txt" "$build/quillmark-render" --emulation "$name" -o "$work/$name.pdf" \
         "$work/report.prn" ;;
  esac
  wall[$name]=$best
  printf '%-10s %7.3f s wall  %7.3f s CPU  peak %6.1f MB\n' "$name" "$best" "$cpu" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
done
awk -v q="${wall[basic]}" -v e="${wall[escp2]}" -v n="${wall[escp]}" -v p="${wall[pcl]}" -v t="${wall[texttopdf]}" '
BEGIN {
  printf "Basic / texttopdf %.2f, ESC/P2 / Basic %.2f, ESC/P / Basic %.2f, PCL / Basic %.2f\n", q / t, e / q, n / q, p / q }'
printf 'PDF: Basic %.2f MB, ESC/P2 %.2f MB\n' "$(stat -c %s "$work/basic.pdf" | awk '{ print $1 / 1e6 }')" \
  "$(stat -c %s "$work/escp2.pdf" | awk '{ print $1 / 1e6 }')"
