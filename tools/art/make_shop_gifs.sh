#!/bin/sh
# Remakes the three pictures written into every generated shop, into
# resources/shop/: loadbar.gif (5x5, stretched by the loader page into its
# progress bar), mie.gif (37x29, a basket pictogram for the cart links of the
# layout pages) and qlb.gif (37x29, the small quill badge for the layout
# pages' footers). Needs ImageMagick 6 (convert).
#
# Same palette as the about window. The pictograms are drawn at four times the
# size and scaled down; their corners are transparent so they sit on any
# page colour the merchant chooses.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../resources/shop}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

navy='#1F3A68'
blue='#3E6DB5'
pale='#D6E1F0'
amber='#E8A33D'
matte='#F4F4F4'

# --- loadbar.gif -------------------------------------------------------------
# A blue bar with a lighter top row; stretched sideways it stays a clean band.
convert -size 5x5 "xc:$blue" \
    -fill '#6E93CF' -draw 'rectangle 0,0 4,0' \
    -fill "$navy" -draw 'rectangle 0,4 4,4' \
    "$out/loadbar.gif"

# --- mie.gif -----------------------------------------------------------------
# A shopping basket: handle, trapezoid body with slats, two wheels.
convert -size 148x116 "xc:$matte" \
    -fill none -stroke "$navy" -strokewidth 9 \
    -draw 'stroke-linecap round stroke-linejoin round polyline 10,14 32,14 48,78 118,78' \
    -fill "$pale" -stroke "$navy" -strokewidth 8 \
    -draw 'stroke-linejoin round polygon 36,28 136,28 124,64 46,64' \
    -stroke "$blue" -strokewidth 6 \
    -draw 'line 62,34 66,58 line 86,34 86,58 line 110,34 106,58' \
    -fill "$amber" -stroke "$navy" -strokewidth 6 \
    -draw 'circle 58,98 58,109 circle 110,98 110,109' \
    -resize 37x29 "$tmp/mie.png"
convert "$tmp/mie.png" -colors 32 -fuzz 3% -transparent "$matte" "$out/mie.gif"

# --- qlb.gif -----------------------------------------------------------------
# The quill badge of the about window, widened to the 37x29 button shape.
convert -size 148x116 "xc:$matte" \
    -fill "$navy" -stroke none -draw 'roundrectangle 4,4 143,111 22,22' \
    -fill "$amber" -draw 'rectangle 4,92 143,98' \
    -fill "$pale" -draw 'path "M 46,84 C 54,52 80,26 112,20 C 108,50 84,76 46,84 Z"' \
    -fill white -draw 'path "M 46,84 C 54,52 80,26 112,20 C 96,40 70,66 46,84 Z"' \
    -stroke "$navy" -strokewidth 3 -fill none \
    -draw 'path "M 42,90 C 60,70 80,48 104,28"' \
    -stroke none -fill "$amber" -draw 'polygon 34,98 46,84 40,94' \
    -resize 37x29 "$tmp/qlb.png"
convert "$tmp/qlb.png" -colors 32 -fuzz 3% -transparent "$matte" "$out/qlb.gif"
