#!/usr/bin/env bash
# Shows a drawing fault of the Wine build we test with (Debian's Wine 8.0;
# seen on Xvfb and on Xephyr, without a window manager): a second top-level
# window that lies wholly inside another top-level window is never drawn on
# the screen; it stays black, although the program paints it and Wine copies
# the painting to its X window. A window that reaches past the other's edge
# by a single pixel is drawn. The agent centres its notice, user and about
# windows on the main window as Windows programs do, so under this Wine they
# show black when run by hand in a Wine desktop.
#
#   scripts/popup-check.sh      (after scripts/build.sh)
#
# Runs tools/popup-check twice in a throw-away prefix and Wine desktop and
# prints the colour read from the screen inside the popup. Not a test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
program=${PAVO_BUILD_DIR:-$root/build}/bin/PavoPopupCheck.exe
[ -f "$program" ] || { echo "popup-check: build first ($program is missing)" >&2; exit 2; }

work=$(mktemp -d /tmp/pavo-popup.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() { wineserver -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(tr -d '\n' < "$work/display")"
wineboot -i >/dev/null 2>&1; wineserver -w

# One round: popup at X,Y (366 x 205) over a main window at 171,146 (682 x 475).
round() {
    local x=$1 y=$2 probe_x=$(($1 + 180)) probe_y=$(($2 + 110)) colour=""
    wine explorer /desktop=check,1024x768 "$program" "$x" "$y" >/dev/null 2>&1 &
    for _ in $(seq 60); do
        sleep 0.5
        colour=$(xwd -root -silent | convert xwd:- -crop "1x1+$probe_x+$probe_y" -format '%[pixel:p]' info: 2>/dev/null)
        [ "$colour" = "srgb(192,192,192)" ] && break
    done
    printf '%-34s %s\n' "popup at $x,$y $3:" "$colour (grey 192 when drawn)"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w 2>/dev/null || true
}
round 342 266 "(wholly inside)"
round 342 140 "(6 px above the main window)"
