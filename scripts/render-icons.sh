#!/usr/bin/env bash
# Renders the program icon to the PNG sizes the program embeds (rsvg-convert from librsvg2-bin).
# 16 px comes from a drawing on the 16-pixel grid; scaled down, the large drawing turns to mush.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
rsvg-convert --width 16 --height 16 --format png --output quillmark-16.png quillmark-small.svg
for size in 24 32 48; do
  rsvg-convert --width "$size" --height "$size" --format png --output "quillmark-$size.png" quillmark.svg
done
