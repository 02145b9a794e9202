#!/usr/bin/env bash
# Peak memory of large takes, which print from their file in the queue and never sit whole in memory:
#   bench/flat_memory.sh BUILD_DIR [TEXT_MB] [PAGES]
# - a TEXT_MB (default 150) MB text take through the real program: spool file, Warteschlange/, PDF;
# - PAGES (default 300) letter pages of 180-dpi bit-image graphics (ESC * 39, 76 strips of 8 inches a page,
#   about 330 kB of job data each) through quillmark-render, once from a file and once from standard input.
# Target: each peak at most 100 MB, whatever the take's size. Peak resident memory from /usr/bin/time.
set -euo pipefail
build="$(cd "${1:?usage: bench/flat_memory.sh BUILD_DIR [TEXT_MB] [PAGES]}" && pwd)"
text_mb=${2:-150}
pages=${3:-300}
[ -x "$build/quillmark" ] && [ -x "$build/quillmark-render" ] || { echo "build $build first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package: time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Numbered lines of text, a form feed after every 60.
perl -e '
  my ($bytes) = @ARGV;
  binmode STDOUT;
  my ($written, $line) = (0, 0);
  while ($written < $bytes) {
    my $text = sprintf("Zeile %9d  Artikel %06d  Menge %5d  Preis %9.2f  Summe %11.2f\r\n",
                       $line, $line * 7 % 999983, $line % 97, $line % 1000 / 7, $line * 1.5);
    $text .= "\f" if ++$line % 60 == 0;
    print $text;
    $written += length $text;
  }' "$((text_mb * 1000000))" >"$work/text.prn"

# 180-dpi strips: 1440 columns of 3 bytes, 16 different ones taken in turn, 24/180 inch apart.
perl -e '
  my ($pages) = @ARGV;
  my @strips;
  for my $s (0 .. 15) {
    my $data = "";
    for my $c (0 .. 1439) {
      $data .= chr(($c * 31 + $s * 17 + $_ * 101) % 256) for 0 .. 2;
    }
    push @strips, "\x1b*\x27" . chr(1440 % 256) . chr(int(1440 / 256)) . $data . "\r\x1bJ\x18";
  }
  binmode STDOUT;
  print "\x1b\@";
  for my $p (0 .. $pages - 1) {
    print $strips[($p + $_) % 16] for 0 .. 75;
    print "\f";
  }' "$pages" >"$work/graphics.prn"

megabytes() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }
peak_mb() { awk '/Maximum resident set size/ { printf "%.1f", $NF / 1024 }' "$1"; }

# The real program in its own folder, one writer that holds the spool file open until the take is whole.
mkdir "$work/run"
printf '[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = PDF:PDF\r\n' >"$work/run/Settings.ini"
(cd "$work/run" && exec /usr/bin/time -v -o "$work/program.txt" "$build/quillmark" >/dev/null 2>&1) &
runner=$!
for _ in $(seq 100); do [ -e "$work/run/SPOOL.PRN" ] && break; sleep 0.1; done
start=$(date +%s.%N)
cat "$work/text.prn" >>"$work/run/SPOOL.PRN"
for _ in $(seq 6000); do compgen -G "$work/run/PDF/*.pdf" >/dev/null && break; sleep 0.1; done
seconds=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
child=$(cat "/proc/$runner/task/$runner/children" 2>/dev/null || true)
[ -n "$child" ] && kill -TERM $child
wait "$runner" || true
echo "quillmark, a $(megabytes "$(stat -c %s "$work/text.prn")") MB text take:" \
  "peak $(peak_mb "$work/program.txt") MB, PDF after ${seconds} s"

render() {  # NAME ARGS...: one render under /usr/bin/time
  local name=$1
  shift
  /usr/bin/time -v -o "$work/render.txt" "$build/quillmark-render" --emulation escp2 --paper 216x279 "$@"
  echo "quillmark-render, $pages pages of 180-dpi graphics ($(megabytes "$(stat -c %s "$work/graphics.prn")") MB)" \
    "$name: peak $(peak_mb "$work/render.txt") MB," \
    "$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/render.txt")"
}
render "from a file" -o "$work/out.pdf" "$work/graphics.prn"
render "from standard input" -o "$work/out.pdf" - <"$work/graphics.prn"
