#!/usr/bin/env bash
# Makes the program's icon for the desktop in the sizes of the hicolor theme, into icons/: the
# crescent of ../icons/bryndle.png drawn large on a night sky, then scaled down. The 16x16 one
# is ../icons/bryndle.png itself, drawn for that size. Needs ImageMagick. The PNGs are
# committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
convert=$(command -v convert-im6.q16 || command -v convert)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Drawn at 1024x1024, so that the scaled sizes have smooth edges.
"$convert" -size 1024x1024 gradient:'#0e1f45'-'#2f5aa8' \
    \( -size 1024x1024 xc:none -fill white -draw 'roundrectangle 32,32 991,991 176,176' \) \
    -compose CopyOpacity -composite "$work/sky.png"
"$convert" -size 1024x1024 xc:none -fill '#ffd84a' -draw 'circle 512,528 512,160' \
    \( -size 1024x1024 xc:none -fill black -draw 'circle 648,424 648,112' \) \
    -compose DstOut -composite "$work/moon.png"
"$convert" "$work/sky.png" "$work/moon.png" -compose Over -composite \
    -fill none -stroke '#0e1f45' -strokewidth 24 -draw 'roundrectangle 32,32 991,991 176,176' \
    "$work/icon.png"

mkdir -p icons
for size in 32 48 64 128 256; do
    "$convert" "$work/icon.png" -filter Lanczos -resize "${size}x${size}" -depth 8 -strip "icons/$size.png"
done
cp ../icons/bryndle.png icons/16.png
