#!/usr/bin/env bash
# Builds the Windows icon (resource 1) from the rendered PNGs with ImageMagick: 48, 32, 24 and 16 pixels,
# each once with a 256-colour palette (8 bits per pixel, 1-bit mask) and once at 32 bits with alpha.
#   make-windows-icon.sh ICON_DIR OUTPUT.ico
set -euo pipefail
icons=$1
output=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
images=()
for size in 48 32 24 16; do
  png=$icons/quillmark-$size.png
  # ImageMagick writes a palette image with fewer than 17 colours at 4 bits per pixel; a palette taken from
  # the image plus a few unused colours keeps it at 8.
  convert "$png" +dither -colors 230 "$work/q$size.png"
  convert "$work/q$size.png" \( -size 1x16 gradient:red-blue \) -append +repage "$work/map$size.png"
  images+=( \( "$work/q$size.png" +dither -remap "$work/map$size.png" -type Palette \) )
  images+=( \( "$png" -type TrueColorAlpha \) )
done
convert "${images[@]}" "ICO:$output"
