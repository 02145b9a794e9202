#!/usr/bin/env bash
# The Windows build's tests under Wine, on a virtual display with a tray host:
#   test-windows.sh BUILD_DIR      (BUILD_DIR holds the cross-built .exe files)
# One Wine prefix per run (BUILD_DIR/wine), a persistent wineserver, then: the unit tests; a PostScript
# printer whose jobs land in files; quillmark.exe printing a spool file onto it, read back with ps2pdf
# and pdftotext; the tray menu's "Beenden"; the fatal start-up box; a second instance; WM_CLOSE;
# WM_QUERYENDSESSION.
set -euo pipefail

build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
scripts=$(cd "$(dirname "$0")" && pwd)
state=$build/wine-test
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# Polls `$1` (a shell condition) every 0.2 s for up to $2 seconds.
wait_for() {
  local deadline=$((SECONDS + $2))
  until eval "$1"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

cleanup() {
  [ -n "${program:-}" ] && kill "$program" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  "$scripts/xvfb-session.sh" stop "$state/x" || true
}
trap cleanup EXIT

rm -rf "$WINEPREFIX" "$state"
mkdir -p "$state/jobs"
DISPLAY=$("$scripts/xvfb-session.sh" start "$state/x")
export DISPLAY XDG_RUNTIME_DIR=$state/x/runtime

echo "== Wine prefix"
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 </dev/null
wineboot -i >/dev/null 2>&1

echo "== PostScript printer"
drivers=$WINEPREFIX/drive_c/windows/system32/spool/drivers/x64/3
mkdir -p "$drivers"
ppd=$(ls /usr/share/ghostscript/*/lib/ghostpdf.ppd | head -n 1)
cp "$ppd" "$drivers/"
# Each job becomes its own file in $state/jobs.
wine "$build/quillmark-test-printer.exe" "Quillmark PS" "LPT9:" "$(basename "$ppd")" \
  "|cat >\$(mktemp -p '$state/jobs' job-XXXXXX.ps)"

echo "== unit tests"
(cd "$state" && wine "$build/quillmark_tests.exe") || fail "unit tests"

jobs_count() { find "$state/jobs" -name 'job-*.ps' -size +0 | wc -l; }
# The text of the newest job, with -bbox when asked.
job_text() {
  local newest
  newest=$(ls -t "$state/jobs"/job-*.ps | head -n 1)
  ps2pdf "$newest" "$state/job.pdf"
  pdftotext "$@" "$state/job.pdf" -
}

# A program directory with Settings.ini on the test printer; `start_program DIR` runs quillmark.exe there.
make_program_dir() {
  mkdir -p "$1"
  printf '[Main]\r\n[Job_1]\r\nPath = SPOOL.PRN\r\nPrinter = Quillmark PS\r\n' >"$1/Settings.ini"
}
start_program() {
  (cd "$1" && exec wine "$build/quillmark.exe" >"$1/wine.log" 2>&1) &
  program=$!
}
# Waits for the program to end and sets `code` to its exit code, or "timeout".
end_program() {
  local deadline=$((SECONDS + 30))
  code=timeout
  while kill -0 "$program" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || return 0
    sleep 0.2
  done
  code=0
  wait "$program" || code=$?
  program=""
}

echo "== printing through quillmark.exe, tray menu, Beenden"
run=$state/print
make_program_dir "$run"
start_program "$run"
# Code page 437: 0x81 u-umlaut, 0xE1 sharp s, 0xC9 0xCD 0xBB a box's top edge.
printf 'Gr\x81\xe1e \xc9\xcd\xbb\r\nABCDEFGHIJ\r\n' >"$run/SPOOL.PRN"
if wait_for '[ "$(jobs_count)" -ge 1 ]' 60; then
  text=$(job_text -layout)
  grep -q 'Grüße ╔═╗' <<<"$text" || fail "code page 437 text: $text"
  grep -q 'Gedruckt mit Quillmark' <<<"$text" || fail "footer: $text"
  # At 300 dpi: the left border 9.75 mm is 27.6 pt, the top border 10.7 mm about 30 pt; lines 12 pt apart;
  # ten characters at 10 per inch span 72 pt less the last character's side bearing.
  job_text -bbox | awk -v fails="$state/position-failures" '
    /<word/ {
      match($0, /xMin="[0-9.]+"/); x = substr($0, RSTART + 6, RLENGTH - 7) + 0
      match($0, /yMin="[0-9.]+"/); y = substr($0, RSTART + 6, RLENGTH - 7) + 0
      match($0, /xMax="[0-9.]+"/); r = substr($0, RSTART + 6, RLENGTH - 7) + 0
      word = $0; sub(/.*">/, "", word); sub(/<.*/, "", word)
      if (word == "Grüße") { gx = x; gy = y }
      if (word == "╔═╗") bx = x
      if (word == "ABCDEFGHIJ") { ax = x; ay = y; ar = r }
    }
    END {
      bad = ""
      if (gx < 26.6 || gx > 28.6 || gy < 28 || gy > 34) bad = bad " first line at " gx "," gy
      if (bx - gx < 42.2 || bx - gx > 44.2) bad = bad " sixth column at " bx - gx
      if (ay - gy < 11.5 || ay - gy > 12.5 || ax != gx) bad = bad " second line at " ax "," ay
      if (ar - ax < 66 || ar - ax > 72.5) bad = bad " ten columns " ar - ax " wide"
      if (bad != "") print bad > fails
    }'
  [ -s "$state/position-failures" ] && fail "positions:$(cat "$state/position-failures")"
else
  fail "no print job from quillmark.exe: $(tail -n 5 "$run/wine.log"; ls "$run"; cat "$run/Error.log" 2>/dev/null)"
fi

# The tray host's panel grows to the icon's width once the icon has docked.
panel_geometry() { xdotool search --onlyvisible --class trayer getwindowgeometry --shell %@ 2>/dev/null | head -n 6; }
if wait_for '[ "$(panel_geometry | sed -n "s/^WIDTH=//p")" -ge 16 ]' 20; then
  eval "$(panel_geometry)"
  pointer_y=$((Y + HEIGHT / 2))
  xdotool mousemove $((X + WIDTH / 2)) $pointer_y click 3
  # The menu is the program's only visible window; its top edge is one pixel above the pointer.
  if wait_for 'xdotool search --onlyvisible --classname quillmark.exe >/dev/null 2>&1' 10; then
    menu=$(xdotool search --onlyvisible --classname quillmark.exe | tail -n 1)
    eval "$(xdotool getwindowgeometry --shell "$menu")"
    [ "$Y" = $((pointer_y - 1)) ] || fail "the menu's top is at $Y, the pointer at $pointer_y"
    # A take made just before "Beenden" is still printed.
    before=$(jobs_count)
    printf 'Zuletzt genommen\r\n' >"$run/SPOOL.PRN"
    wait_for '[ ! -s "$run/SPOOL.PRN" ]' 10 || fail "the last take was not taken"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 8)) click 1
    end_program
    [ "$code" = 0 ] || fail "Beenden: exit code $code"
    [ "$(jobs_count)" -gt "$before" ] && grep -q 'Zuletzt genommen' <<<"$(job_text)" ||
      fail "the take before Beenden was not printed"
    # Every take went through Warteschlange\ and was removed there once printed.
    [ -d "$run/Warteschlange" ] && [ -z "$(ls -A "$run/Warteschlange")" ] ||
      fail "Warteschlange: $(ls -A "$run/Warteschlange" 2>&1)"
  else
    fail "no tray menu"
  fi
else
  fail "no tray icon"
fi
[ -n "${program:-}" ] && kill "$program" 2>/dev/null || true
program=""

echo "== quillmark-render.exe"
# From standard input, which must stay binary: Ctrl-Z would end the data in text mode.
printf 'Einzeln\032 gedruckt\r\n' >"$state/render.prn"
(cd "$state" && wine "$build/quillmark-render.exe" -p "Quillmark PS" -o render.ps <render.prn) &&
  ps2pdf "$state/render.ps" "$state/render.pdf" && grep -q 'gedruckt' <(pdftotext "$state/render.pdf" -) ||
  fail "quillmark-render.exe from standard input"
# The ESC/P 2 printer: italic and underlined text, then a box's top edge, which it draws as filled rules;
# on the next line 16 columns of 8-dot graphics (ESC * 0), a block of ink.
printf '\033@\0334Kursiv\0335 \033-\001Unterstrichen\033-\000 \311\315\273\r\n\033*\000\020\000' \
  >"$state/escp2.prn"
printf '\377%.0s' {1..16} >>"$state/escp2.prn"
ink() { # share of dark pixels in a 30 x 25 pt area at X, Y (points) of the first page of $3 (the ESC/P 2 page)
  pdftoppm -r 72 -gray -x "$1" -y "$2" -W 30 -H 25 -singlefile "${3:-$state/escp2.pdf}" "$state/area" &&
    convert "$state/area.pgm" -threshold 50% -negate -format '%[fx:mean > 0.02]' info:
}
# The borders given, so that the form starts where these areas expect it on Wine's PostScript page.
(cd "$state" && wine "$build/quillmark-render.exe" --emulation escp2 --border-left 9.75 --border-top 10.7 \
  -p "Quillmark PS" -o escp2.ps escp2.prn) &&
  ps2pdf "$state/escp2.ps" "$state/escp2.pdf" &&
  grep -q 'Kursiv Unterstrichen' <(pdftotext "$state/escp2.pdf" -) && [ "$(ink 172 25)" = 1 ] &&
  [ "$(ink 28 41)" = 1 ] &&
  [ "$(ink 172 60)" = 0 ] || fail "quillmark-render.exe --emulation escp2"
# A LaserJet landscape page on the upright Letter paper turns a quarter counter-clockwise: the top of its text
# toward the paper's left edge, its far corner at the paper's top right. On the sheet (3300 x 2550 dots) the
# logical page starts 60 dots from the left, PCL's Y counts from the 150-dot top margin, and the sheet's
# (x, y) lands at the paper's (y, 792 - x) in points. "Ende" and a 150-dot square sit near the far corner.
printf '\033E\033&l1OAnfang\033*p3000x2000Y\033*c150a150b0P\033*p3000x2300YEnde\f' >"$state/pcl.prn"
at() { # word $1's box starts at x $2 and its bottom, where turned text begins, is at y $3, within 2 points
  awk -v x="$2" -v y="$3" -v word="$1" 'index($0, ">" word "<") {
      match($0, /xMin="[0-9.]+"/); x0 = substr($0, RSTART + 6, RLENGTH - 7)
      match($0, /yMax="[0-9.]+"/); y1 = substr($0, RSTART + 6, RLENGTH - 7)
      found = (x0 - x) ^ 2 < 4 && (y1 - y) ^ 2 < 4
    } END { exit !found }' "$state/pcl.txt"
}
(cd "$state" && wine "$build/quillmark-render.exe" --emulation pcl -p "Quillmark PS" -o pcl.ps pcl.prn) &&
  ps2pdf "$state/pcl.ps" "$state/pcl.pdf" && pdftotext -bbox "$state/pcl.pdf" "$state/pcl.txt" &&
  at Anfang 36.4 777.6 && at Ende 579.3 57.6 && [ "$(ink 519 27 "$state/pcl.pdf")" = 1 ] &&
  [ "$(ink 519 60 "$state/pcl.pdf")" = 0 ] ||
  fail "a landscape PCL page on upright paper: $(grep word "$state/pcl.txt")"

echo "== command lines: --version, wrong usage, a missing printer"
version=$(sed -n 's/^project(Quillmark VERSION \([0-9.]*\).*/\1/p' "$scripts/../CMakeLists.txt")
for program in quillmark quillmark-render; do
  out=$(cd "$state" && wine "$build/$program.exe" --version 2>&1 | tr -d '\r') || true
  [ "$out" = "$program $version" ] || fail "$program.exe --version: $out"
done
code=0
err=$(cd "$state" && wine "$build/quillmark-render.exe" --bogus render.prn 2>&1 >/dev/null) || code=$?
[ "$code" = 2 ] && [ "$(wc -l <<<"$err")" = 1 ] && grep -q 'unknown option --bogus; try --help' <<<"$err" ||
  fail "wrong usage: exit $code, $err"
code=0
err=$(cd "$state" && wine "$build/quillmark-render.exe" -p Nirgends render.prn 2>&1 >/dev/null) || code=$?
# One line, naming the printers Windows has.
[ "$code" = 1 ] && [ "$(wc -l <<<"$err")" = 1 ] && grep -q "no printer 'Nirgends'; Windows has: .*Quillmark PS" <<<"$err" ||
  fail "missing printer: exit $code, $err"
help=$(cd "$state" && wine "$build/quillmark-render.exe" --help 2>&1)
grep -q 'Settings > Printers' <<<"$help" && ! grep -Eq 'SIGTERM|quillmark\(1\)' <<<"$help" || fail "--help: $help"

echo "== the zip as unpacked: README.txt and Settings.ini with CR LF, the spool file next to the program"
rm -rf "$state/unpacked" && mkdir -p "$state/unpacked"
(cd "$state/unpacked" && cmake -E tar xf "$build/quillmark-windows.zip")
run=$state/unpacked/Quillmark
for f in README.txt Settings.ini; do
  [ -s "$run/$f" ] && [ "$(grep -c $'\r$' "$run/$f")" = "$(wc -l <"$run/$f")" ] || fail "$f in the zip: not CR LF"
done
grep -q 'quillmark-render.exe' "$run/README.txt" || fail "README.txt is not README's Windows part"
start_program "$run"
wait_for '[ -e "$run/SPOOL.PRN" ]' 30 || fail "the zip's Settings.ini: no SPOOL.PRN next to quillmark.exe: $(cat "$run/Error.log" 2>/dev/null)"
wait_for 'wine taskkill /im quillmark.exe >/dev/null 2>&1; sleep 1; ! kill -0 "$program" 2>/dev/null' 20
end_program

echo "== fatal start-up: no Settings.ini"
run=$state/fatal
mkdir -p "$run"
start_program "$run"
if wait_for 'xdotool search --onlyvisible --name "^Executable$" >/dev/null 2>&1' 20; then
  sleep 0.3
  kill -0 "$program" 2>/dev/null || fail "the program did not wait for the box"
  xdotool key --window "$(xdotool search --onlyvisible --name '^Executable$' | head -n 1)" Return
  end_program
  [ "$code" = 1 ] || fail "fatal start-up: exit code $code (a start that cannot work ends with 1)"
  grep -q 'Keine Settings.ini gefunden!' "$run/Error.log" || fail "fatal start-up: no Error.log entry"
else
  fail "no message box"
fi

echo "== an unknown printer, then WM_CLOSE"
run=$state/close
make_program_dir "$run"
sed -i 's/^Printer = .*/Printer = Kein Drucker\r/' "$run/Settings.ini"
start_program "$run"
# The take that cannot be printed keeps its bytes in Ungedruckt\ and says so in Error.log.
printf 'Nicht verloren\r\n' >"$run/SPOOL.PRN"
if wait_for 'ls "$run"/Ungedruckt/*.prn >/dev/null 2>&1' 30; then
  [ "$(cat "$run"/Ungedruckt/*.prn)" = $'Nicht verloren\r' ] || fail "Ungedruckt: $(cat "$run"/Ungedruckt/*.prn)"
  grep -q "Drucker 'Kein Drucker' konnte nicht initialisiert werden." "$run/Error.log" &&
    grep -q 'Druckdaten gespeichert unter' "$run/Error.log" || fail "Error.log: $(cat "$run/Error.log")"
else
  fail "no file in Ungedruckt"
fi
# One instance per working folder: a second start logs one line and ends with exit code 1.
second=0
(cd "$run" && exec timeout 60 wine "$build/quillmark.exe" >"$run/second.log" 2>&1) || second=$?
[ "$second" = 1 ] || fail "second instance: exit code $second"
grep -q 'Quillmark laeuft in diesem Ordner bereits' "$run/Error.log" || fail "second instance: no Error.log entry"
# A WM_CLOSE sent before the hidden main window exists reaches nobody: ask again until the program ends.
wait_for 'wine taskkill /im quillmark.exe >/dev/null 2>&1; sleep 1; ! kill -0 "$program" 2>/dev/null' 20
end_program
[ "$code" = 0 ] || fail "WM_CLOSE: exit code $code"

echo "== WM_QUERYENDSESSION"
run=$state/session
make_program_dir "$run"
start_program "$run"
if wait_for '[ -e "$run/SPOOL.PRN" ]' 30; then
  # A take of 8 pages prints for a second or more; the session-end query is answered only after it is printed.
  before=$(jobs_count)
  awk 'BEGIN { for (p = 1; p <= 8; p++) { for (l = 1; l <= 50; l++) printf "Seite %d Zeile %d\r\n", p, l; printf "\f" } }' \
    >"$run/SPOOL.PRN"
  wait_for '[ ! -s "$run/SPOOL.PRN" ]' 10 || fail "WM_QUERYENDSESSION: no take"
  wineboot -e >/dev/null 2>&1 || true
  [ "$(jobs_count)" -gt "$before" ] && text=$(job_text -layout) && grep -Eq 'Seite +8 +Zeile +50' <<<"$text" &&
    grep -q 'Gedruckt mit Quillmark' <<<"$text" || fail "WM_QUERYENDSESSION: the take was not printed first: $(jobs_count) jobs, before $before; $(job_text | tail -n 3)"
  # Wine may end the process with the session; if it does not, the stopped program still ends on WM_CLOSE.
  wait_for '! kill -0 "$program" 2>/dev/null' 3 || wine taskkill /im quillmark.exe >/dev/null 2>&1 || true
  end_program
  [ "$code" = 0 ] || fail "WM_QUERYENDSESSION: exit code $code"
else
  fail "WM_QUERYENDSESSION: the program did not start"
fi

if [ $failures -gt 0 ]; then
  echo "$failures Windows test(s) failed" >&2
  exit 1
fi
echo "All Windows tests passed"
