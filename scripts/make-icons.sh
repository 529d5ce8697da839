#!/bin/sh
# Draws the program's icon (a film strip with a play sign) once, large, and writes it
# in every size a desktop asks for into resources/icons/. Needs ImageMagick. The PNG
# files are committed; run this only to change the icon.
set -eu
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
holes=""
for y in 150 310 470 630 790; do
    holes="$holes -draw 'roundrectangle 96,$y 160,$((y + 70)) 14,14'"
    holes="$holes -draw 'roundrectangle 864,$y 928,$((y + 70)) 14,14'"
done
eval convert -size 1024x1024 xc:none \
    -fill "'#1d4f91'" -draw "'roundrectangle 64,96 960,928 96,96'" \
    -fill "'#2f76c8'" -draw "'rectangle 208,96 816,928'" \
    -fill "'#0f2f5c'" -draw "'rectangle 192,96 208,928'" -draw "'rectangle 816,96 832,928'" \
    -fill white $holes \
    -fill "'#ffc21a'" -stroke "'#e08a00'" -strokewidth 24 -draw "'polygon 390,300 390,724 700,512'" \
    "$work/master.png"
for size in 16 22 24 32 48 64 128 256; do
    convert "$work/master.png" -filter Lanczos -resize "${size}x${size}" -strip "PNG32:resources/icons/klova-$size.png"
done
