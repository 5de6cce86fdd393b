#!/bin/sh
# Draws the login window's artwork with ImageMagick: the 510 x 373 background (with the faces
# of the login and close buttons painted in) and the 69 x 45 home button.
# Run from anywhere; writes next to this script. Needs ImageMagick and the WenQuanYi font.
set -eu
cd "$(dirname "$0")"
FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

# Background: deep navy with a faint grid, a candlestick chart and a rising trend line in the
# upper band, a lighter panel behind the input boxes and a darker footer for the prompt area.
convert -size 510x373 gradient:'#0b2447-#061528' \
  -fill none -stroke '#ffffff14' -strokewidth 1 \
  -draw "line 0,40 510,40" -draw "line 0,80 510,80" -draw "line 0,120 510,120" \
  -draw "line 60,0 60,140" -draw "line 160,0 160,140" -draw "line 260,0 260,140" \
  -draw "line 360,0 360,140" -draw "line 460,0 460,140" \
  -stroke '#e63946' -strokewidth 1 \
  -draw "line 40,92 40,128" -draw "line 100,70 100,110" -draw "line 220,58 220,96" -draw "line 340,36 340,74" \
  -fill '#e63946' -stroke none \
  -draw "rectangle 35,100 45,122" -draw "rectangle 95,78 105,102" -draw "rectangle 215,64 225,90" \
  -draw "rectangle 335,42 345,66" \
  -stroke '#2a9d8f' -strokewidth 1 \
  -draw "line 70,84 70,118" -draw "line 160,76 160,112" -draw "line 280,62 280,100" -draw "line 400,52 400,84" \
  -fill '#2a9d8f' -stroke none \
  -draw "rectangle 65,90 75,110" -draw "rectangle 155,84 165,104" -draw "rectangle 275,70 285,92" \
  -draw "rectangle 395,58 405,78" \
  -fill none -stroke '#f4a261' -strokewidth 2 \
  -draw "polyline 20,118 70,100 100,92 160,96 220,78 280,82 340,56 400,66 440,44" \
  -fill '#f4a261' -stroke none -draw "circle 440,44 443,44" \
  -fill '#ffffff' -font "$FONT" -pointsize 20 -annotate +24+36 '证券预警 · 实时资讯' \
  -fill '#ffffffa0' -pointsize 11 -annotate +26+56 'STOCK ALERT CLIENT' \
  -fill '#ffffff1c' -stroke '#ffffff33' -strokewidth 1 -draw "roundrectangle 84,144 440,242 8,8" \
  -fill '#ffffff10' -stroke none -draw "rectangle 0,258 510,292" \
  -fill '#04101f' -draw "rectangle 0,300 510,373" \
  -stroke '#f4a261' -strokewidth 1 -draw "line 0,300 510,300" \
  -stroke "#ffffff55" -strokewidth 1 -fill "#ee8a4f" -draw "roundrectangle 354,158 424,219 8,8" -stroke none \
  -fill '#ffffff' -pointsize 20 -annotate +369+196 '登 录' \
  -fill '#ffffff22' -stroke '#ffffff66' -draw "roundrectangle 469,22 495,48 5,5" \
  -stroke '#ffffff' -strokewidth 2 -draw "line 476,29 488,41" -draw "line 488,29 476,41" \
  PNG24:login-background.png

# Home button: a small house and "主页" on an amber face.
convert -size 69x45 xc:none \
  -fill '#f4a261' -stroke '#ffffff99' -strokewidth 1 -draw "roundrectangle 0,0 68,44 8,8" \
  -fill '#ffffff' -stroke none -draw "polygon 10,22 20,12 30,22" -draw "rectangle 13,22 27,32" \
  -fill '#e76f51' -draw "rectangle 18,26 22,32" \
  -fill '#ffffff' -font "$FONT" -pointsize 14 -annotate +33+28 '主页' \
  PNG32:home-button.png
