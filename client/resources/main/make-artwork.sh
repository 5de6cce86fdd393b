#!/bin/sh
# Draws the main window's 1009 x 677 background with ImageMagick: a navy header band with the
# product mark and a faint market chart, the left column behind the eight page buttons (with a
# tile under each), a frame around the content area and the status strip at the bottom.
# Run from anywhere; writes next to this script. Needs ImageMagick and the WenQuanYi font.
set -eu
cd "$(dirname "$0")"
FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

tiles=""
for top in 126 188 251 316 380 444 509 573; do
  bottom=$((top + 43))
  tiles="$tiles -draw \"roundrectangle 14,$top 186,$bottom 6,6\""
done

eval convert -size 1009x677 gradient:"'#0d2a52-#071a33'" \
  -fill "'#0a1f3d'" -draw "'rectangle 0,0 1009,96'" \
  -fill none -stroke "'#ffffff12'" -strokewidth 1 \
  -draw "'line 0,24 640,24'" -draw "'line 0,48 640,48'" -draw "'line 0,72 640,72'" \
  -draw "'line 260,0 260,96'" -draw "'line 380,0 380,96'" -draw "'line 500,0 500,96'" \
  -stroke "'#e63946'" -draw "'line 300,30 300,70'" -fill "'#e63946'" -stroke none -draw "'rectangle 296,38 304,60'" \
  -stroke "'#2a9d8f'" -fill none -draw "'line 340,22 340,58'" -fill "'#2a9d8f'" -stroke none -draw "'rectangle 336,28 344,50'" \
  -stroke "'#e63946'" -fill none -draw "'line 420,14 420,52'" -fill "'#e63946'" -stroke none -draw "'rectangle 416,20 424,42'" \
  -stroke "'#2a9d8f'" -fill none -draw "'line 460,26 460,62'" -fill "'#2a9d8f'" -stroke none -draw "'rectangle 456,34 464,54'" \
  -fill none -stroke "'#f4a261'" -strokewidth 2 -draw "'polyline 270,74 320,62 360,66 420,40 470,46 560,18'" \
  -fill "'#f4a261'" -stroke none -draw "'circle 560,18 563,18'" \
  -fill "'#ffffff'" -font "$FONT" -pointsize 26 -annotate +24+48 "'证券预警 · 实时资讯'" \
  -fill "'#ffffff99'" -pointsize 11 -annotate +27+72 "'STOCK ALERT CLIENT'" \
  -stroke "'#f4a261'" -strokewidth 1 -draw "'line 0,96 1009,96'" -stroke none \
  -fill "'#ffffff0c'" -draw "'rectangle 0,97 200,646'" \
  -fill "'#16427a'" -stroke "'#ffffff30'" -strokewidth 1 $tiles -stroke none \
  -fill "'#ffffff'" -stroke "'#ffffff30'" -draw "'rectangle 201,98 1004,647'" -stroke none \
  -fill "'#050f1e'" -draw "'rectangle 0,649 1009,677'" \
  -stroke "'#f4a261'" -strokewidth 1 -draw "'line 0,649 1009,649'" -stroke none \
  PNG24:main-background.png

# Tray and window icon: a rising candlestick on an orange disc.
convert -size 64x64 xc:none -fill '#f4a261' -draw "circle 32,32 32,2" \
  -fill '#0b2447' -draw "rectangle 16,30 24,46" -draw "rectangle 28,22 36,40" -draw "rectangle 40,12 48,32" \
  -stroke '#0b2447' -strokewidth 2 -draw "line 20,26 20,50" -draw "line 32,16 32,44" -draw "line 44,8 44,36" \
  PNG32:tray.png
