#!/usr/bin/env bash
# Makes the images that the Silk set lacks, from Silk images or drawn, into this folder.
# Needs ImageMagick, the Silk set and the IPA Gothic font. The PNGs are committed; run this
# only to change them.
set -euo pipefail
cd "$(dirname "$0")"
silk=${SILK_DIR:-/usr/share/icons/silk/16x16}
convert=$(command -v convert-im6.q16 || command -v convert)
font=${FONT:-/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf}

# Silk images under the names the interface asks for.
derive() { "$convert" "$silk/$2.png" -strip "$1.png"; }
derive action_refresh arrow_refresh
derive action_stop stop
derive icon_favourites folder_heart
derive icon_home house
derive page_url page_world
derive page_text page_white_text
derive file_acrobat page_white_acrobat
derive page_flash page_white_flash
"$convert" "$silk/transmit_blue.png" -modulate 55,130,100 -strip custom_transmit_dark_blue.png

# Program icon: a crescent on a night-blue rounded square.
"$convert" -size 16x16 xc:none \
    -fill '#1d3b78' -stroke '#0e1f45' -draw 'roundrectangle 0,0 15,15 3,3' \
    -stroke none -fill '#ffd84a' -draw 'circle 8,8 8,2' \
    -fill '#1d3b78' -draw 'circle 10,6.5 10,1.5' \
    -strip bryndle.png

# Node program icon: the new moon, a dark disc with a thin lit rim.
"$convert" -size 16x16 xc:none \
    -fill '#fff3b0' -draw 'circle 8,8 8,1' \
    -fill '#2b2b3a' -draw 'circle 7.3,8 7.3,1.6' \
    -strip saku.png

# About banner.
"$convert" -size 320x72 gradient:'#0e1f45'-'#2f5aa8' \
    -fill '#ffd84a' -draw 'circle 40,36 40,12' \
    -fill '#173266' -draw 'circle 49,29 49,7' \
    -font "$font" -fill white -pointsize 34 -annotate +78+44 'Bryndle' \
    -fill '#c9d6f0' -pointsize 13 -annotate +80+62 '新月の掲示板クライアント' \
    -strip bryndle_banner.png
