#!/bin/sh
# Draws the web pages' artwork with ImageMagick: the 700 x 80 background of the loading panel
# and the background strip of the news toolbar (stretched to the page's width, so it carries
# no detail that would look wrong when widened).
# Run from anywhere; writes next to this script. Needs ImageMagick.
set -eu
cd "$(dirname "$0")"

# Loading panel: the login window's navy, a thin amber rule at the top, faint grid lines and a
# rising trend line on the right half, clear of the caption (24, 18) and the bar (24, 40, 298 wide).
convert -size 700x80 gradient:'#123461-#061528' \
  -fill none -stroke '#ffffff12' -strokewidth 1 \
  -draw "line 360,20 700,20" -draw "line 360,40 700,40" -draw "line 360,60 700,60" \
  -draw "line 420,0 420,80" -draw "line 500,0 500,80" -draw "line 580,0 580,80" -draw "line 660,0 660,80" \
  -stroke '#e6394680' -draw "line 450,44 450,70" -draw "line 530,36 530,62" -draw "line 610,22 610,50" \
  -fill '#e6394680' -stroke none \
  -draw "rectangle 446,50 454,64" -draw "rectangle 526,42 534,56" -draw "rectangle 606,28 614,44" \
  -stroke '#2a9d8f80' -strokewidth 1 -draw "line 490,40 490,66" -draw "line 570,30 570,58" \
  -fill '#2a9d8f80' -stroke none -draw "rectangle 486,46 494,60" -draw "rectangle 566,36 574,52" \
  -fill none -stroke '#f4a261c0' -strokewidth 2 \
  -draw "polyline 380,66 430,58 470,60 520,46 560,50 610,30 650,34 690,14" \
  -stroke '#f4a261' -strokewidth 2 -draw "line 0,1 700,1" \
  -stroke '#ffffff30' -strokewidth 1 -fill none -draw "rectangle 0,0 699,79" \
  PNG24:loading-panel.png

# News toolbar: a 29-pixel navy band, lighter at the top, with an amber line along its foot.
convert -size 64x29 gradient:'#1d4a80-#0b2447' \
  -stroke '#f4a261' -strokewidth 1 -draw "line 0,28 64,28" \
  PNG24:news-toolbar.png
