#!/usr/bin/env bash
# Renders ESC/P 2 dot graphics with quillmark-render and reports speed and peak memory.
#   bench/graphics.sh BUILD_DIR [PAGES]
# The job: PAGES letter pages, each 80 strips of ESC * 40 (24 dots, 360 dpi across) 8 inches wide, an
# ordered dither of rings: about 0.7 MB of image data per page. Targets: 100 pages in at most 2 s, peak
# memory at most 150 MB, not growing with the page count (the take is read through a mapping, not held in
# memory). Each figure is the best of three runs.
set -euo pipefail
source "$(dirname "$0")/best_of_three.sh"

build=${1:?usage: bench/graphics.sh BUILD_DIR [PAGES]}
pages=${2:-100}
render="$build/quillmark-render"
[ -x "$render" ] || { echo "build quillmark-render in $build first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package: time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# make PAGES FILE: 16 different strips, taken in turn, a form feed after every 80.
make_job() {
  perl -e '
    my ($pages) = @ARGV;
    my @bayer = (0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5);
    my @strips;
    for my $s (0 .. 15) {
      my $data = "";
      for my $c (0 .. 2879) {
        for my $b (0 .. 2) {
          my $byte = 0;
          for my $bit (0 .. 7) {
            my $y = $s * 24 + $b * 8 + $bit;
            my ($dx, $dy) = ($c / 2 - 720, $y - 192);
            my $level = int(8 + 7.9 * sin(sqrt($dx * $dx + $dy * $dy) / 23));
            $byte |= 0x80 >> $bit if $bayer[($y % 4) * 4 + ($c % 4)] < $level;
          }
          $data .= chr($byte);
        }
      }
      push @strips, "\x1b*\x28" . chr(2880 % 256) . chr(int(2880 / 256)) . $data;
    }
    binmode STDOUT;
    print "\x1b\@\x1b3\x18";
    for my $p (0 .. $pages - 1) {
      print $strips[($p + $_) % 16], "\r\n" for 0 .. 79;
      print "\f";
    }' "$1" >"$2"
}

# measure NAME INPUT PAGES: best wall time and its peak memory over three runs
measure() {
  local name=$1 input=$2 count=$3 best rss cpu
  best_of_three "$work/time.txt" "$render" --emulation escp2 --paper 216x279 --border-left 6.35 \
    --border-top 6.35 -o "$work/out.pdf" "$input"
  local pdf_pages job_mb pdf_mb
  pdf_pages=$(pdfinfo "$work/out.pdf" 2>/dev/null | sed -n 's/^Pages: *//p' || true)
  job_mb=$(awk -v b="$(stat -c %s "$input")" 'BEGIN { printf "%.1f", b / 1048576 }')
  pdf_mb=$(awk -v b="$(stat -c %s "$work/out.pdf")" 'BEGIN { printf "%.1f", b / 1048576 }')
  awk -v n="$name" -v p="$count" -v s="$best" -v c="$cpu" -v k="$rss" -v pp="${pdf_pages:-?}" -v j="$job_mb" \
    -v o="$pdf_mb" 'BEGIN {
    printf "%-20s %4d pages (%s in PDF)  %6.2f s (CPU %6.2f s)  peak %6.1f MB (job %s MB, PDF %s MB)\n",
           n, p, pp, s, c, k / 1024, j, o }'
}

echo "quillmark-render --emulation escp2 on $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg); best of three runs"
quarter=$(( (pages + 3) / 4 ))
make_job "$quarter" "$work/quarter.prn"
make_job "$pages" "$work/graphics.prn"
measure "360 dpi graphics" "$work/quarter.prn" "$quarter"
measure "360 dpi graphics" "$work/graphics.prn" "$pages"
