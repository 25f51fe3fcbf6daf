#!/usr/bin/env bash
# Scores black-and-white error diffusion at 576 dots: zelta-logo-tool against ImageMagick
# (-dither FloydSteinberg -monochrome) and the npm encoder @point-of-sale/receipt-printer-encoder
# (image() with floydsteinberg and atkinson), on the pictures of make_inputs.sh. The score
# (zelta-print-score) is the mean squared error between the blurred luminance of the original and
# the blurred dots; lower is better. Prints one row per picture and the ratios to ours.
# Usage: bench/compare_quality.sh [BUILD_DIR]   (default: build)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "${1:-$here/../build}" && pwd)/bin"
out="$here/out/quality"
mkdir -p "$out"
"$here/make_inputs.sh" > /dev/null
[ -d "$here/node_modules/@point-of-sale/receipt-printer-encoder" ] ||
  npm install --prefix "$here" --no-save --no-package-lock @point-of-sale/receipt-printer-encoder > /dev/null
width=576
printf '%-18s %10s %10s %10s %10s %9s %9s\n' picture ours imagemagick npm-fs npm-atk 'im/ours' 'npm/ours'
for input in "$here"/out/inputs/*.bmp; do
  name=$(basename "$input" .bmp)
  convert "$input" -depth 8 "ppm:$out/$name.orig.ppm"
  "$bin/zelta-logo-tool" prepare "$input" --width $width --fit --color bw --diffusion --out "$out/$name.ours.bmp"
  convert "$out/$name.ours.bmp" "$out/$name.ours.ppm"
  convert "$input" -resize ${width}x -dither FloydSteinberg -monochrome "$out/$name.im.pbm"
  node "$here/npm_encode.mjs" "$input" $width floydsteinberg "$out/$name.npmfs.pbm"
  node "$here/npm_encode.mjs" "$input" $width atkinson "$out/$name.npmatk.pbm"
  s_ours=$("$bin/zelta-print-score" "$out/$name.orig.ppm" "$out/$name.ours.ppm")
  s_im=$("$bin/zelta-print-score" "$out/$name.orig.ppm" "$out/$name.im.pbm")
  s_fs=$("$bin/zelta-print-score" "$out/$name.orig.ppm" "$out/$name.npmfs.pbm")
  s_atk=$("$bin/zelta-print-score" "$out/$name.orig.ppm" "$out/$name.npmatk.pbm")
  awk -v n="$name" -v o="$s_ours" -v i="$s_im" -v f="$s_fs" -v a="$s_atk" 'BEGIN {
    best = f < a ? f : a
    printf "%-18s %10.3e %10.3e %10.3e %10.3e %8.1fx %8.1fx\n", n, o, i, f, a, i / o, best / o }'
done
