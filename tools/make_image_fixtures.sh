#!/usr/bin/env bash
# Writes the image files the image loader's tests decode
# (tests/data/images), each variant as ImageMagick writes it.
#
# Every file shows one of two 4x4 pictures, row 0 at the top, some with the
# alpha levels below (the test's kAlpha), some with those cut to 0 or 255:
#   colour: the eight corners of the colour cube, each channel 0 or 255, so
#           that 16-bit and 5-bit channels hold them exactly (the test's kColour);
#   grey:   pixel (x, y) has the grey level 17 * (4 * y + x).
# JPEG files show the colour or grey picture scaled 8 times, so that each
# pixel fills one whole 8x8 block and survives compression closely.
#
# cmyk.jpg and v3-565.bmp (bit fields with no masks, as this writer makes
# them) are files the loader refuses.
#
# Usage: tools/make_image_fixtures.sh [output folder]   (needs ImageMagick 6)
set -euo pipefail
out=${1:-$(dirname "$0")/../tests/data/images}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/colour.ppm" <<'PPM'
P3 4 4 255
255 0 0     0 255 0     0 0 255     255 255 255
0 0 0       255 255 0   0 255 255   255 0 255
255 255 255 0 0 0       255 0 0     0 255 0
0 0 255     255 0 255   0 0 0       255 255 0
PPM
cat >"$work/grey.pgm" <<'PGM'
P2 4 4 255
0   17  34  51
68  85  102 119
136 153 170 187
204 221 238 255
PGM
cat >"$work/alpha.pgm" <<'PGM'
P2 4 4 255
255 0   255 128
255 255 0   64
0   255 255 255
192 255 32  255
PGM

colour=$work/colour.ppm
grey=$work/grey.pgm
# The colour picture with alpha, and with alpha 0 or 255 only.
convert "$colour" "$work/alpha.pgm" -alpha off -compose CopyOpacity -composite "$work/rgba.png"
convert "$colour" \( "$work/alpha.pgm" -threshold 50% \) -alpha off -compose CopyOpacity \
    -composite "$work/binary.png"
convert "$grey" "$work/alpha.pgm" -alpha off -compose CopyOpacity -composite "$work/greya.png"

# write SOURCE [WRITER:]NAME OPTIONS...: no metadata (no dates), so every
# run writes the same bytes.
write() {
    local source=$1 name=$2
    shift 2
    case $name in
    *:*) name="${name%%:*}:$out/${name#*:}" ;;
    *) name="$out/$name" ;;
    esac
    convert "$source" -strip -define png:exclude-chunks=date,time "$@" "$name"
}
write "$colour" PNG24:rgb.png
write "$work/rgba.png" PNG32:rgba.png
write "$colour" palette.png -type Palette -define png:bit-depth=8
write "$work/binary.png" PNG8:palette-trns.png
write "$work/rgba.png" palette-alpha.png -type PaletteAlpha -define png:bit-depth=8
write "$colour" palette-4bit.png -type Palette -define png:bit-depth=4
write "$grey" grey.png -type Grayscale -define png:color-type=0
write "$work/greya.png" grey-alpha.png -type GrayscaleAlpha -define png:color-type=4
write "$colour" PNG48:rgb16.png -depth 16
write "$work/rgba.png" PNG64:rgba16.png -depth 16
write "$grey" grey16.png -depth 16 -type Grayscale -define png:color-type=0 \
    -define png:bit-depth=16
write "$colour" PNG24:interlaced.png -interlace PNG

jpeg() { write "$1" "$2" -scale 800% -quality 95 -sampling-factor 1x1 "${@:3}"; }
jpeg "$colour" baseline.jpg
jpeg "$colour" progressive.jpg -interlace JPEG
jpeg "$grey" grey.jpg -type Grayscale
jpeg "$colour" cmyk.jpg -colorspace CMYK

write "$colour" BMP3:v3-24.bmp -type TrueColor
write "$colour" BMP2:v2-24.bmp -type TrueColor
write "$colour" BMP:v5-24.bmp -type TrueColor
write "$colour" BMP3:v3-palette.bmp -type Palette
write "$colour" BMP:v5-palette.bmp -type Palette
write "$colour" BMP3:v3-565.bmp -define bmp:subtype=RGB565
write "$work/rgba.png" BMP:v5-32.bmp
# Without a rendering intent ImageMagick writes the version 4 header.
write "$work/rgba.png" BMP:v4-32.bmp -intent Undefined
write "$colour" BMP:v5-565.bmp -define bmp:subtype=RGB565
write "$colour" BMP:v5-555.bmp -define bmp:subtype=RGB555
write "$work/binary.png" BMP:v4-1555.bmp -define bmp:subtype=ARGB1555
write "$work/rgba.png" BMP:v5-4444.bmp -define bmp:subtype=ARGB4444
