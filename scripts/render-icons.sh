#!/usr/bin/env bash
# Renders data/icons/quillmark.svg to the PNG sizes the program embeds (rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 24 32 48; do
  rsvg-convert --width "$size" --height "$size" --format png --output "quillmark-$size.png" quillmark.svg
done
