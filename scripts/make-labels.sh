#!/usr/bin/env bash
# Writes demo/labels.prn (or the file named as the first argument): three address labels as a DOS order
# program sends them to a needle printer on 4 x 1.5 inch continuous labels: a form of 9 lines (ESC C 9), one
# label per form feed, code page 437.
set -euo pipefail
out="${1:-$(dirname "$0")/../demo/labels.prn}"

ESC=$'\x1b' FF=$'\x0c'
ue=$'\x81' oe=$'\x94' ss=$'\xe1'
label() {
  printf '\r\n'
  printf '%s\r\n' "${ESC}E$1${ESC}F" "$2" "$3"
  printf '%s' "$FF"
}
{
  printf '%s' "${ESC}@${ESC}C"$'\x09'
  label "Schmidt B${ue}robedarf" "Hauptstra${ss}e 12" "50667 K${oe}ln"
  label "Weber & Co. KG" "Am Markt 3" "80331 M${ue}nchen"
  label "Hofmann Elektro" "Ringstra${ss}e 7a" "20095 Hamburg"
} >"$out"
