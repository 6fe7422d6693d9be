#!/usr/bin/env bash
# Draws every picture of the built skin on one contact sheet, grouped by use,
# on a slate background so that white and transparent parts stay visible.
#   scripts/skin-sheet.sh [build folder]   -> <build>/screenshots/skin-sheet.png
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
images=$build/skin-build/stage/100
frames=$build/skin-build/frames
out=$build/screenshots/skin-sheet.png
# ImageMagick's own tools (another "convert" may come first in PATH).
im=/usr/bin
font=/usr/share/fonts/truetype/nanum/NanumGothic.ttf
[ -d "$images" ] || { echo "skin-sheet: build the skin first ($images missing)" >&2; exit 1; }
mkdir -p "$build/screenshots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

row() {  # row NAME FILE...: one labelled row of pictures at their own size
    local name=$1; shift
    "$im/montage" -background '#CBD5E1' -font "$font" -fill '#111827' -pointsize 11 -label '%t' \
        -geometry '+10+8' -tile "$#x1" "$@" "$work/$name.png"
}
row 1-frame "$images"/caption_*.png "$images"/frame_top.png "$images"/frame_left_top.png
row 2-buttons "$images"/btn_primary_300x40.png "$images"/btn_primary_120x36.png "$images"/btn_secondary_120x36.png
row 3-buttons "$images"/btn_primary_96x32.png "$images"/btn_secondary_120x32.png "$images"/btn_primary_72x24.png \
    "$images"/edit_clear.png
row 4-checks "$images"/check_off_150x20.png "$images"/check_on_150x20.png
row 5-pictures "$images"/msg_*.png "$images"/user_avatar.png "$images"/app_logo_56.png "$images"/app_logo_64.png \
    "$images"/product_icons/*.png "$images"/product_card.png
row 6-spinner $(for i in $(seq 0 11); do echo "$frames/spinner_$i.png"; done)
row 7-overlay "$images"/overlay.png
"$im/convert" -background '#CBD5E1' "$work"/*.png -gravity west -append +repage "$out"
echo "$out"
