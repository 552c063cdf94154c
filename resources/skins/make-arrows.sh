#!/usr/bin/env bash
# Makes the drop-down arrows the skins' style sheets use (ImageMagick): bash make-arrows.sh [OUTDIR]
set -euo pipefail
out=${1:-.}
# name colour: one 9 x 5 downward triangle per skin.
for pair in "arrow1:#3d5249" "arrow2:#6b594b" "arrow3:#c3c7cd"; do
  name=${pair%%:*}; colour=${pair#*:}
  convert -size 36x20 xc:none -fill "$colour" -draw 'polygon 0,0 35,0 17.5,19' -resize 9x5 \
    -define png:exclude-chunks=date,time -strip "PNG32:$out/$name.png"
done
