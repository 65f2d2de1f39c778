#!/usr/bin/env bash
# Draws the splash picture: a 120 by 120 PNG with alpha (8 bits per channel, not interlaced).
# A wave inside a ring above the word Scanning..., on a dark, translucent rounded card.
# Needs ImageMagick and the DejaVu fonts (Debian: imagemagick fonts-dejavu-core).
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert  # the real ImageMagick, not a stand-in earlier on PATH
"$convert" -size 120x120 xc:none \
  -fill 'rgba(18,22,34,0.78)' -stroke 'rgba(120,220,210,0.35)' -strokewidth 1 \
  -draw 'roundrectangle 3,3 116,116 18,18' \
  -fill 'rgba(40,170,160,0.30)' -stroke 'rgba(90,225,210,0.95)' -strokewidth 3.5 \
  -draw 'circle 60,47 60,19' \
  -fill none -stroke 'rgba(255,255,255,0.95)' -strokewidth 3 -draw "stroke-linecap round" \
  -draw 'path "M 38,47 C 43,31 48,31 51,47 S 58,63 62,47 S 69,31 73,47 S 80,60 83,47"' \
  -stroke none -fill 'rgba(255,255,255,0.93)' -font DejaVu-Sans-Bold -pointsize 14 \
  -gravity south -annotate +0+12 'Scanning...' \
  -define png:color-type=6 -define png:bit-depth=8 -interlace none PNG32:splash.png
