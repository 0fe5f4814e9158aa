#!/bin/sh
# Draws the pictures of the sample project Beispielshop: one 1200x900 JPEG
# per line of sample_pictures.txt, a plain illustration of the product in
# its colour with its name underneath. The build runs it; by hand:
#
#   sh tools/art/make_sample_pictures.sh OUTDIR [LIST] [CONVERT]
#
# CONVERT is ImageMagick's "magick" or "convert" (default: whichever is
# found). Needs the DejaVu fonts; without them ImageMagick's own font is used.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: make_sample_pictures.sh OUTDIR [LIST] [CONVERT]}
list=${2:-$here/sample_pictures.txt}
convert=${3:-}
if [ -z "$convert" ]; then
    convert=$(command -v magick || command -v convert || true)
fi
if [ -z "$convert" ]; then
    echo "make_sample_pictures.sh: ImageMagick (magick or convert) is not installed" >&2
    exit 1
fi
[ -r "$list" ] || { echo "make_sample_pictures.sh: cannot read $list" >&2; exit 1; }

fonts=${DEJAVU_DIR:-/usr/share/fonts/truetype/dejavu}
bold=
regular=
if [ -r "$fonts/DejaVuSans-Bold.ttf" ] && [ -r "$fonts/DejaVuSans.ttf" ]; then
    bold="$fonts/DejaVuSans-Bold.ttf"
    regular="$fonts/DejaVuSans.ttf"
fi

mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ink='#2F3437'
kraft='#C9A46E'

# shade COLOUR PERCENT: below 100 towards black, above 100 towards white.
shade() {
    hex=${1#\#}
    r=$((0x$(printf '%s' "$hex" | cut -c1-2)))
    g=$((0x$(printf '%s' "$hex" | cut -c3-4)))
    b=$((0x$(printf '%s' "$hex" | cut -c5-6)))
    if [ "$2" -le 100 ]; then
        r=$((r * $2 / 100)); g=$((g * $2 / 100)); b=$((b * $2 / 100))
    else
        up=$(($2 - 100))
        r=$((r + (255 - r) * up / 100)); g=$((g + (255 - g) * up / 100)); b=$((b + (255 - b) * up / 100))
    fi
    printf '#%02X%02X%02X' "$r" "$g" "$b"
}

# font NAME: an MVG font line for a DejaVu face, nothing without the fonts.
font() {
    [ -n "$bold" ] && printf 'font "%s"\n' "$fonts/$1"
    return 0
}

# The product itself, as MVG on a transparent canvas: centred near 600,410,
# clear of the caption band below y 780. C main colour, A accent, D and L a
# darker and a lighter C.
product_mvg() {
    shape=$1 C=$2 A=$3 label=$4
    D=$(shade "$C" 65)
    L=$(shade "$C" 140)
    case $shape in
    notebook)
        cat <<MVG
fill #EFE8D8 roundrectangle 436,168 800,642 14,14
stroke #D8CFBA stroke-width 2
line 790,190 790,620 line 782,190 782,620
stroke none
fill $C roundrectangle 410,150 780,650 18,18
fill $D roundrectangle 410,150 470,650 18,18
fill $D rectangle 450,150 470,650
fill $L rectangle 470,150 476,650
fill $A rectangle 716,150 732,650
fill $A polygon 590,648 624,648 624,742 607,722 590,742
fill $L roundrectangle 520,250 680,320 8,8
fill $C roundrectangle 528,258 672,312 6,6
MVG
        ;;
    pocketbooks)
        for book in "-14 470 430" "-2 600 410" "11 730 430"; do
            set -- $book
            cat <<MVG
push graphic-context
translate $2,$3 rotate $1
fill #00000022 roundrectangle -116,-166 124,176 12,12
fill $(shade "$C" $((100 + $1))) roundrectangle -120,-170 120,170 12,12
fill $D rectangle -120,-170 -104,170
fill $A rectangle 70,-170 78,170
fill #F4EFE3 roundrectangle -60,-110 50,-60 6,6
stroke $D stroke-width 3 line -45,-85 35,-85
stroke none
pop graphic-context
MVG
        done
        ;;
    fountainpen)
        cat <<MVG
push graphic-context
translate 600,420 rotate -28
fill #00000018 roundrectangle -300,-30 330,44 34,34
fill #1E1E1E polygon -250,-26 -318,-20 -318,20 -250,26
fill $A polygon -318,-17 -430,0 -318,17
stroke $D stroke-width 3 line -330,0 -408,0
stroke none fill $D circle -352,0 -346,0
fill $C roundrectangle -262,-36 110,36 32,32
fill $L roundrectangle -230,-30 90,-18 6,6
fill $A rectangle 96,-38 122,38
fill $D roundrectangle 118,-40 330,40 34,34
fill $A roundrectangle 150,-54 300,-40 7,7
fill $A circle 312,0 322,0
pop graphic-context
MVG
        ;;
    pencils)
        colours="$C $(shade "$C" 80) $(shade "$C" 120) $(shade "$C" 90) $(shade "$C" 130) $(shade "$C" 70)"
        x=400
        printf 'fill %s roundrectangle 350,300 850,690 20,20\n' "$D"
        for colour in $colours; do
            cat <<MVG
fill $colour rectangle $((x - 26)),250 $((x + 26)),600
fill $(shade "$colour" 115) rectangle $((x - 8)),250 $((x + 8)),600
fill $A polygon $((x - 26)),250 $x,160 $((x + 26)),250
fill #333333 polygon $((x - 8)),190 $x,160 $((x + 8)),190
MVG
            x=$((x + 80))
        done
        cat <<MVG
fill $C roundrectangle 340,430 860,700 20,20
fill $L rectangle 340,470 860,480
MVG
        font DejaVuSans-Bold.ttf
        printf 'fill #F4EFE3 font-size 40 text 520,600 "2H - 4B"\n'
        ;;
    gelpen)
        cat <<MVG
push graphic-context
translate 600,420 rotate -18
fill #00000018 roundrectangle -340,-10 300,36 24,24
fill #B8BEC4 polygon -340,-14 -410,-4 -410,4 -340,14
fill #222222 circle -414,0 -410,0
fill $C roundrectangle -340,-24 250,24 24,24
fill #4A525C roundrectangle -340,-26 -150,26 20,20
stroke #2A3038 stroke-width 4
line -320,-26 -320,26 line -290,-26 -290,26 line -260,-26 -260,26 line -230,-26 -230,26 line -200,-26 -200,26
stroke none
fill $A roundrectangle 250,-14 310,14 8,8
fill $A roundrectangle 100,-36 240,-24 6,6
fill $L rectangle -140,-16 200,-10
pop graphic-context
MVG
        ;;
    teatin)
        cat <<MVG
fill $D ellipse 600,640 135,30 0,360
fill $C rectangle 465,230 735,640
fill $A rectangle 465,370 735,530
fill #FFFFFF33 rectangle 492,250 516,630
fill #A9AFB5 rectangle 455,196 745,250
fill #A9AFB5 ellipse 600,250 145,30 0,180
fill #DDE1E5 ellipse 600,196 145,30 0,360
fill #C4C9CE ellipse 600,196 112,20 0,360
MVG
        font DejaVuSans-Bold.ttf
        printf 'fill %s font-size 46 text-anchor middle text 600,465 "%s"\n' "$C" "$(printf '%s' "$label" | cut -d' ' -f1)"
        ;;
    pearls)
        cat <<MVG
fill $D ellipse 600,500 240,48 0,360
fill $(shade "$A" 75) ellipse 600,500 222,38 0,360
MVG
        for p in 440,492 480,478 520,470 560,462 600,460 640,462 680,470 720,478 760,490 \
                 460,505 500,498 540,490 580,484 620,484 660,490 700,498 740,505 \
                 520,512 560,506 600,502 640,506 680,512 590,448 630,452 550,456; do
            x=${p%,*}; y=${p#*,}
            printf 'fill %s circle %s,%s %s,%s\n' "$A" "$x" "$y" "$((x + 17))" "$y"
            printf 'fill #FFFFFF55 circle %s,%s %s,%s\n' "$((x - 5))" "$((y - 5))" "$((x - 1))" "$((y - 5))"
        done
        cat <<MVG
fill $C path 'M 360,500 A 240,200 0 0,0 840,500 Z'
fill $L path 'M 400,530 A 210,160 0 0,0 470,610 L 480,600 A 200,150 0 0,1 420,530 Z'
fill $D ellipse 600,690 110,16 0,360
MVG
        ;;
    teapouch)
        cat <<MVG
fill $D polygon 450,650 750,650 738,670 462,670
fill $C polygon 470,170 730,170 752,650 448,650
fill $D rectangle 470,170 730,210
stroke $L stroke-width 3 line 476,190 724,190
stroke none
fill #4A2A15 roundrectangle 540,300 660,500 16,16
MVG
        for p in 560,330 590,350 625,322 640,380 570,410 600,440 635,460 555,470 610,395; do
            x=${p%,*}; y=${p#*,}
            printf 'fill #7A4B2A rectangle %s,%s %s,%s\n' "$x" "$y" "$((x + 9))" "$((y + 5))"
        done
        printf 'fill %s rectangle 470,540 740,600\n' "$A"
        font DejaVuSans-Bold.ttf
        printf 'fill %s font-size 38 text-anchor middle text 605,584 "%s"\n' "$D" "$(printf '%s' "$label" | cut -d' ' -f1)"
        ;;
    teapot)
        cat <<MVG
fill none stroke $C stroke-width 22 path 'M 430,330 C 300,320 290,560 440,560'
stroke none
fill $(shade "$C" 165) stroke $C stroke-width 5 polygon 776,416 880,318 898,336 786,496
stroke none
fill $(shade "$C" 165) circle 600,450 600,260
fill $A path 'M 412,480 A 190,190 0 0,0 788,480 Z'
fill #FFFFFF40 path 'M 470,340 A 160,160 0 0,0 450,520 L 470,520 A 150,150 0 0,1 490,350 Z'
fill #B9C0C6CC rectangle 560,240 640,500
stroke #8C959D stroke-width 3
line 560,300 640,300 line 560,360 640,360 line 560,420 640,420
stroke none
fill none stroke $C stroke-width 6 circle 600,450 600,260
stroke none
fill #8C959D ellipse 600,250 100,20 0,360
fill #6E777F circle 600,226 600,210
fill $(shade "$C" 60) ellipse 600,646 120,12 0,360
MVG
        ;;
    strainer)
        cat <<MVG
fill $D ellipse 560,640 270,44 0,360
fill $(shade "$D" 120) ellipse 560,630 250,34 0,360
fill $C roundrectangle 690,398 960,442 22,22
fill $L roundrectangle 700,404 950,414 6,6
fill #E3E7EA circle 540,420 540,260
stroke #B6BDC3 stroke-width 2
MVG
        # Mesh lines end at the rim: half chords of a circle of radius 150.
        for dh in 0:150 40:144 -40:144 80:127 -80:127 120:90 -120:90; do
            d=${dh%:*}; h=${dh#*:}
            printf 'line %s,%s %s,%s line %s,%s %s,%s\n' "$((540 + d))" "$((420 - h))" "$((540 + d))" "$((420 + h))" \
                "$((540 - h))" "$((420 + d))" "$((540 + h))" "$((420 + d))"
        done
        cat <<MVG
fill none stroke $C stroke-width 16 circle 540,420 540,260
stroke none
fill $A circle 940,420 952,420
MVG
        ;;
    candle)
        cat <<MVG
fill #FFD27F22 circle 600,230 600,80
fill #FFD27F33 circle 600,230 600,140
fill $D ellipse 600,700 125,26 0,360
fill $C rectangle 475,300 725,700
fill #FFFFFF26 rectangle 500,320 530,690
fill $L ellipse 600,300 125,26 0,360
fill $(shade "$C" 160) ellipse 600,304 92,16 0,360
stroke #333333 stroke-width 5 line 600,300 600,262
stroke none
fill $A path 'M 600,170 C 630,220 636,255 600,270 C 564,255 570,220 600,170 Z'
fill #FFF3B0 path 'M 600,210 C 614,236 616,254 600,262 C 584,254 586,236 600,210 Z'
MVG
        ;;
    tealights)
        for p in 400,330 600,330 800,330 400,540 600,540 800,540; do
            x=${p%,*}; y=${p#*,}
            cat <<MVG
fill #00000020 circle $((x + 6)),$((y + 10)) $((x + 90)),$((y + 10))
fill $C circle $x,$y $((x + 84)),$y
fill $(shade "$C" 120) circle $x,$y $((x + 70)),$y
fill #F6F1E4 circle $x,$y $((x + 64)),$y
fill #333333 circle $x,$y $((x + 5)),$y
MVG
        done
        for p in 400,330 600,540 800,330; do
            x=${p%,*}; y=${p#*,}
            printf "fill %s path 'M %s,%s C %s,%s %s,%s %s,%s C %s,%s %s,%s %s,%s Z'\n" "$A" \
                "$x" "$((y - 70))" "$((x + 18))" "$((y - 40))" "$((x + 20))" "$((y - 12))" "$x" "$((y - 4))" \
                "$((x - 20))" "$((y - 12))" "$((x - 18))" "$((y - 40))" "$x" "$((y - 70))"
        done
        ;;
    towel)
        cat <<MVG
fill none stroke $D stroke-width 10 path 'M 580,190 C 580,120 620,120 620,190'
stroke none
fill $A rectangle 420,180 780,690
fill #00000010 rectangle 590,180 612,690
fill $C rectangle 420,230 780,262
fill $C rectangle 420,276 780,286
fill $C rectangle 420,600 780,632
fill $C rectangle 420,586 780,596
stroke $(shade "$A" 85) stroke-width 2
line 420,690 420,708 line 450,690 450,708 line 480,690 480,708 line 510,690 510,708 line 540,690 540,708
line 570,690 570,708 line 600,690 600,708 line 630,690 630,708 line 660,690 660,708 line 690,690 690,708
line 720,690 720,708 line 750,690 750,708 line 780,690 780,708
stroke none
fill $D rectangle 420,180 780,190
MVG
        ;;
    board)
        cat <<MVG
fill $C roundrectangle 340,260 850,560 40,40
fill $C roundrectangle 800,350 960,470 40,40
fill none stroke $(shade "$C" 85) stroke-width 3
path 'M 370,320 C 480,300 600,340 820,310'
path 'M 370,380 C 500,360 640,400 830,370'
path 'M 370,450 C 470,430 620,470 830,440'
path 'M 370,510 C 520,490 640,520 820,500'
stroke none
fill $D circle 910,410 910,386
fill $L roundrectangle 356,272 836,282 5,5
MVG
        ;;
    *)
        echo "make_sample_pictures.sh: unknown shape $shape" >&2
        exit 1
        ;;
    esac
}

# The shipping box of the third view, its label in the product's colour.
box_mvg() {
    C=$1
    cat <<MVG
fill $(shade "$kraft" 112) polygon 470,240 570,180 900,180 800,240
fill $(shade "$kraft" 85) polygon 800,240 900,180 900,560 800,620
fill $kraft rectangle 470,240 800,620
fill #00000018 rectangle 470,240 800,252
fill $(shade "$kraft" 92) rectangle 625,240 645,620
fill $C rectangle 470,380 800,470
MVG
}

count=0
while IFS='|' read -r file view shape colour accent caption; do
    case $file in '' | '#'*) continue ;; esac
    key=${file%-*}
    product_mvg "$shape" "$colour" "$accent" "$caption" > "$tmp/product.mvg"
    "$convert" -size 1200x900 xc:none -draw "$(cat "$tmp/product.mvg")" "$tmp/product.png"

    case $view in
    product)
        cp "$tmp/product.png" "$tmp/layer.png"
        ;;
    detail)
        # Closer: the product's left half enlarged and turned a little.
        "$convert" "$tmp/product.png" -virtual-pixel transparent \
            -distort SRT '560,420 1.75 -6 640,470' "$tmp/layer.png"
        ;;
    box)
        box_mvg "$colour" > "$tmp/box.mvg"
        "$convert" -size 1200x900 xc:none -draw "$(cat "$tmp/box.mvg")" "$tmp/box.png"
        "$convert" "$tmp/product.png" -virtual-pixel transparent \
            -distort SRT '600,420 0.55 0 430,520' "$tmp/small.png"
        "$convert" "$tmp/box.png" "$tmp/small.png" -composite "$tmp/layer.png"
        ;;
    *)
        echo "make_sample_pictures.sh: unknown view $view in $file" >&2
        exit 1
        ;;
    esac

    # Background in a pale tint of the colour, the product with a soft
    # shadow (blurred at a quarter of the size, which is much quicker), and
    # the caption band over anything that reaches down into it: name left,
    # order number right.
    if [ -n "$bold" ]; then
        set -- -font "$bold" -pointsize 46 -fill "$ink" -gravity SouthWest -annotate +60+44 "$caption" \
            -font "$regular" -pointsize 30 -fill "$(shade "$colour" 80)" -gravity SouthEast -annotate +60+50 "$key"
    else
        set -- -pointsize 46 -fill "$ink" -gravity SouthWest -annotate +60+44 "$caption" \
            -pointsize 30 -gravity SouthEast -annotate +60+50 "$key"
    fi
    "$convert" -size 1200x780 "gradient:$(shade "$colour" 188)-#FFFFFF" \
        -size 1200x120 xc:#FFFFFF -append +repage \
        \( "$tmp/layer.png" -resize 25% -background '#000000' -shadow 28x4+0+5 -resize 400% \) \
        "$tmp/layer.png" -background none -layers flatten \
        -fill '#FFFFFF' -draw 'rectangle 0,780 1200,900' \
        -fill "$colour" -draw 'rectangle 60,780 240,785' \
        "$@" \
        -strip -quality 88 -sampling-factor 2x2 "$out/$file"
    count=$((count + 1))
done < "$list"

echo "make_sample_pictures.sh: $count pictures in $out"
