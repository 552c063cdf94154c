#!/usr/bin/env bash
# Makes the busy picture and the program icon of this folder (ImageMagick): bash make-images.sh [OUTDIR]
set -euo pipefail
out=${1:-.}
tmp=$(mktemp -d)
# Busy picture: 85 x 81, 8 frames, a ring of 8 dots whose bright head moves one step per frame.
cx=42; cy=40; r=26
for f in 0 1 2 3 4 5 6 7; do
  args=()
  for k in 0 1 2 3 4 5 6 7; do
    age=$(( (f - k + 8) % 8 ))
    case $age in 0) col='#FF5000';; 1) col='#FF7A3D';; 2) col='#FFA070';; 3) col='#FFC2A0';; *) col='#F0E4DC';; esac
    x=$(python3 -c "import math;print(round($cx+$r*math.sin($k*math.pi/4)))")
    y=$(python3 -c "import math;print(round($cy-$r*math.cos($k*math.pi/4)))")
    args+=(-fill "$col" -draw "circle $x,$y $((x+7)),$y")
  done
  convert -size 85x81 xc:white "${args[@]}" "$tmp/f$f.png"
done
convert -delay 6 -loop 0 -dispose background "$tmp"/f{0,1,2,3,4,5,6,7}.png "$out/busy.gif"
# Program icon: an orange rounded square with a white "V"; 48, 32 and 16 pixels.
convert -size 256x256 xc:none -fill '#FF5000' -draw 'roundrectangle 8,8 247,247 48,48' \
  -stroke white -strokewidth 30 -fill none -draw 'stroke-linecap round stroke-linejoin round polyline 70,66 128,192 186,66' "$tmp/icon256.png"
for s in 48 32 16; do convert "$tmp/icon256.png" -resize ${s}x${s} "$tmp/icon$s.png"; done
convert "$tmp/icon48.png" "$tmp/icon32.png" "$tmp/icon16.png" "$out/vantrel.ico"
cp "$tmp/icon48.png" "$out/vantrel.png"
rm -rf "$tmp"
