#!/usr/bin/env bash
# Makes the 2000 × 2000 24-bit BMP inputs of the comparisons in bench/out/inputs (ImageMagick and the
# DejaVu fonts). Existing files are kept.
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/out/inputs"
mkdir -p "$out"
make() {  # name, then ImageMagick arguments that produce the picture
  local name=$1; shift
  [ -f "$out/$name.bmp" ] || convert "$@" -resize '2000x2000!' -type TrueColor "BMP3:$out/$name.bmp"
}
make logo logo:
make wizard wizard:
make photo_rose rose:
make photo_plasma -size 2000x2000 -seed 7 plasma:fractal -blur 0x3
make gradient_linear -size 2000x2000 gradient:black-white
make gradient_radial -size 2000x2000 radial-gradient:white-black
# A logo of text in several sizes and lines from 1 to 8 pixels wide (0.3 to 2.3 dots at 576 dots).
text_args=(-size 2000x2000 xc:white -fill black -font DejaVu-Sans)
y=120
for size in 200 120 80 56 40 28; do
  text_args+=(-pointsize "$size" -annotate "+60+$y" "Zelta Coffee & Bakery 0123")
  y=$((y + size + 30))
done
for w in 1 2 3 4 6 8; do
  text_args+=(-stroke black -strokewidth "$w" -draw "line 60,$((y + 40 * w)) 1940,$((y + 40 * w + 100))")
done
text_args+=(-stroke none -font DejaVu-Sans-Bold -pointsize 36 -annotate +60+1900 "Via Roma 12, 00100 Roma - Tel. 06 1234567")
make text_lines "${text_args[@]}"
make text_red_on_grey -size 2000x2000 xc:'#d8d8d8' -fill '#c00000' -font DejaVu-Serif-Bold -pointsize 150 \
  -annotate +80+400 "Panificio" -fill black -font DejaVu-Sans -pointsize 48 -annotate +80+700 "Since 1921 - fresh bread daily"
ls "$out"
