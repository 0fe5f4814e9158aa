#!/bin/sh
# Remakes the 16x16 plus and minus pictures of the shop profile dialog's
# discount tables (save and delete a level), written into resources/ as
# plus.gif and minus.gif. Needs ImageMagick 6 (convert).
#
# Same look as ok.gif and cancel.gif: a pale rounded box with a bold stroke,
# drawn at four times the size and scaled down. The corners outside the box
# are transparent so the pictures sit on any dialog background.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../resources}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The edge pixels blend into this grey, close to a dialog's face colour, before
# it becomes the transparent colour.
matte='#ECECEC'

button() {
    convert -size 64x64 "xc:$matte" \
        -fill '#F3F5F8' -stroke '#C3CCD8' -strokewidth 3 \
        -draw 'roundrectangle 2,2 61,61 12,12' \
        -fill none -stroke "$1" -strokewidth 9 \
        -draw "stroke-linecap round $2" \
        -resize 16x16 "$tmp/$3.png"
    convert "$tmp/$3.png" -colors 32 -fuzz 2% -transparent "$matte" "$out/$3.gif"
}
button '#2E9B4F' 'line 18,32 46,32 line 32,18 32,46' plus
button '#D0433A' 'line 18,32 46,32' minus
