#!/bin/sh
# Remakes the pictures of the about window: about.gif (340x160) and the two
# 21x21 buttons ok.gif and cancel.gif, all written into resources/.
# Needs ImageMagick 6 (convert) and the DejaVu fonts.
#
# The about window draws a text label at left 112 from top 66 and the two
# buttons at left 300, top 72 and 94; the region right of x 112 below the
# accent stripe therefore stays plain white.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../resources}
fonts=${DEJAVU_DIR:-/usr/share/fonts/truetype/dejavu}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

navy='#1F3A68'
blue='#3E6DB5'
pale='#D6E1F0'
amber='#E8A33D'
grey='#6B7A90'

# --- about.gif ---------------------------------------------------------------
# Name and tagline across the top, a two-tone accent stripe under them, and the
# quill badge in the lower left corner, clear of the label and button area.
convert -size 340x160 xc:white \
    -font "$fonts/DejaVuSans-Bold.ttf" -pointsize 38 -fill "$navy" \
    -annotate +20+47 'Quillane' \
    -font "$fonts/DejaVuSans.ttf" -pointsize 13 -fill "$grey" \
    -gravity NorthEast -annotate +22+22 'Shop-Generator' \
    -pointsize 11 -fill "$blue" -annotate +22+40 'Version 1.0' \
    -gravity NorthWest \
    -fill "$amber" -draw 'rectangle 20,56 83,58' \
    -fill "$pale" -draw 'rectangle 84,56 318,58' \
    -fill "$navy" -draw 'roundrectangle 24,81 88,145 12,12' \
    -fill "$pale" -draw 'path "M 38,133 C 42,111 58,93 78,89 C 76,109 60,127 38,133 Z"' \
    -fill white -draw 'path "M 38,133 C 42,111 58,93 78,89 C 68,101 52,119 38,133 Z"' \
    -stroke "$navy" -strokewidth 1.6 -fill none \
    -draw 'path "M 36,136 C 48,122 60,107 74,93"' \
    -stroke none -fill "$amber" -draw 'polygon 31,139 38,133 35,137' \
    "$tmp/about.png"
convert "$tmp/about.png" -colors 128 "$out/about.gif"

# --- ok.gif, cancel.gif ------------------------------------------------------
# Drawn at four times the size and scaled down, which keeps the strokes smooth.
button() {
    convert -size 84x84 xc:white \
        -fill '#F3F5F8' -stroke '#C3CCD8' -strokewidth 4 \
        -draw 'roundrectangle 3,3 80,80 16,16' \
        -fill none -stroke "$1" -strokewidth 11 \
        -draw "stroke-linecap round stroke-linejoin round $2" \
        -resize 21x21 "$tmp/$3.png"
    convert "$tmp/$3.png" -colors 32 "$out/$3.gif"
}
button '#2E9B4F' 'polyline 22,44 36,58 62,26' ok
button '#D0433A' 'line 26,26 58,58 line 58,26 26,58' cancel
