#!/usr/bin/env bash
# Writes demo/sample.prn (or the file named as the first argument): one page of a quarterly sales report as a
# DOS program of the early nineties would send it to an Epson-compatible printer. Text is in code page 437,
# lines end in CR LF, and the page ends with a form feed.
set -euo pipefail
out="${1:-$(dirname "$0")/../demo/sample.prn}"

ESC=$'\x1b'
# Code page 437.
ae=$'\x84' oe=$'\x94' ue=$'\x81' Ue=$'\x9a' ss=$'\xe1' dot=$'\xfa'
h=$'\xc4' v=$'\xb3' tl=$'\xda' tr=$'\xbf' bl=$'\xc0' br=$'\xd9'
lt=$'\xc3' rt=$'\xb4' tt=$'\xc2' bt=$'\xc1' x=$'\xc5'
H=$'\xcd' V=$'\xba' TL=$'\xc9' TR=$'\xbb' BL=$'\xc8' BR=$'\xbc'

line() { printf '%s\r\n' "$*"; }
rep() { local s=""; for ((i = 0; i < $2; i++)); do s+="$1"; done; printf '%s' "$s"; }
# A table rule: left, middle and right corner, then the column widths.
rule() {
  local l=$1 m=$2 r=$3 s
  shift 3
  s="$l"
  for w in "$@"; do s+="$(rep "$h" "$w")$m"; done
  printf '%s%s\r\n' "${s%"$m"}" "$r"
}
row() { printf "$v %-4s $v %-30s $v %9s $v %9s $v %9s $v %10s $v\r\n" "$@"; }

{
  # Letterhead: double width for the firm, normal text below.
  printf '%s' "${ESC}W1"
  line "M${ue}ller & S${oe}hne GmbH"
  printf '%s' "${ESC}W0"
  line "Gro${ss}handel f${ue}r B${ue}robedarf ${dot} Hauptstra${ss}e 12 ${dot} 70173 Stuttgart"
  line ""
  printf '%s' "$TL$(rep "$H" 40)$TR"$'\r\n'
  printf '%s' "$V${ESC}E  Umsatzbericht 3. Quartal 1994         ${ESC}F$V"$'\r\n'
  printf '%s' "$BL$(rep "$H" 40)$BR"$'\r\n'
  line "Erstellt am 04.10.1994, Abteilung Vertrieb"
  line ""

  # The table in condensed print at 1/8-inch line spacing.
  printf '\x0f%s' "${ESC}0"
  rule "$tl" "$tt" "$tr" 6 32 11 11 11 12
  row "Nr." "Artikel" "Juli" "August" "September" "Summe"
  rule "$lt" "$x" "$rt" 6 32 11 11 11 12
  row 1001 "Aktenordner DIN A4, gr${ue}n" "1.240,00" "1.180,50" "1.402,25" "3.822,75"
  row 1002 "Kugelschreiber, blau (50 St.)" "612,40" "598,00" "701,30" "1.911,70"
  row 1017 "Endlospapier 240 mm, 2000 Bl." "2.315,00" "2.150,75" "2.488,00" "6.953,75"
  row 1020 "Farbband Nadeldrucker" "1.083,60" "1.254,90" "1.310,40" "3.648,90"
  row 1033 "Briefumschl${ae}ge C6, wei${ss}" "455,20" "402,80" "519,60" "1.377,60"
  row 1048 "Disketten 3,5\" HD (10 St.)" "2.870,00" "3.105,50" "3.315,40" "9.290,90"
  row 1052 "Schreibtischunterlage" "418,00" "455,10" "467,40" "1.340,50"
  rule "$lt" "$x" "$rt" 6 32 11 11 11 12
  row "" "Summe" "8.994,20" "9.147,55" "10.204,35" "28.346,10"
  rule "$bl" "$bt" "$br" 6 32 11 11 11 12
  printf '\x12%s' "${ESC}2"
  line ""

  # One line in double width until the line feed.
  printf '\x0e'
  line "Gesamtumsatz: 28.346,10 DM"
  line ""
  printf '%s' "${ESC}G"
  line "Bemerkungen:"
  printf '%s' "${ESC}H"
  line "Die Ums${ae}tze im September ${ue}bertrafen die Erwartungen um 12 %."
  line "${Ue}ber das Weihnachtsgesch${ae}ft berichten wir im n${ae}chsten Quartal."
  line "R${ue}ckfragen bitte an Frau Sch${ae}fer, Tel. 0711/22 33 44."
  printf '\x0c'
} >"$out"
