#!/bin/sh
# Draws the About window's two pictures. Run from this folder after changing
# the artwork; the JPEG files it writes are the ones shipped.
set -e
FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

# The logo, 66 × 46: a magnifier over a globe on a white ground (white is
# what the window treats as see-through).
convert -size 66x46 xc:white \
  -fill '#2f6fd0' -stroke '#1d4c96' -strokewidth 1.5 -draw 'circle 26,21 26,5' \
  -fill none -stroke '#cfe2ff' -strokewidth 1.2 \
  -draw 'ellipse 26,21 7,16 0,360' -draw 'line 10,21 42,21' \
  -draw 'ellipse 26,21 16,5 0,360' \
  -stroke '#e8891c' -strokewidth 5 -draw 'line 38,33 50,43' \
  -fill none -stroke '#e8891c' -strokewidth 3 -draw 'circle 33,27 33,20' \
  -stroke none -fill '#1d4c96' -font "$FONT" -pointsize 22 -draw "text 47,22 'T'" \
  -quality 95 logo.jpg

# The credit strip, 188 × 18, one line of text on the window's own grey.
convert -size 188x18 xc:'#efefef' -fill '#3a4a66' -font "$FONT" -pointsize 11 \
  -gravity center -annotate +0+0 'Tessaroon 工作室 © 2024 版权所有' \
  -quality 95 credit.jpg
