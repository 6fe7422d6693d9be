# Driving the agent's windows the way a person does, for scripts/demo.sh and
# the end-to-end tests. Source it; it needs WINEPREFIX and DISPLAY set (the
# prefix's programs run in one Wine desktop on that display) and
# UI_PROBE, the Unix path of PavoWindowProbe.exe (tools/window-probe).
#
# Controls are found by their text through the window list, and clicked with
# the real mouse (xdotool) at their centre on the screen; typing goes to the
# focused control through the real keyboard. Every wait has a time-out; none
# relies on a fixed pause.

# The window list of the desktop, tab-separated:
# hwnd parent visible left top right bottom class text.
ui_windows() {
    wine "$UI_PROBE" 2>/dev/null
}

# Prints "x y", the screen centre of the first visible window whose text is
# exactly $1 (and whose class is $2 when given); fails when there is none.
ui_find() {
    ui_windows | awk -F'\t' -v text="$1" -v cls="${2:-}" '
        $3 == 1 && $9 == text && (cls == "" || $8 == cls) {
            printf "%d %d\n", ($4 + $6) / 2 + ox, ($5 + $7) / 2 + oy; found = 1; exit }
        END { exit !found }' ox="${UI_ORIGIN_X:-0}" oy="${UI_ORIGIN_Y:-0}"
}

# True when a visible window's text contains $1.
ui_shows() {
    ui_windows | awk -F'\t' -v text="$1" '$3 == 1 && index($9, text) { found = 1 } END { exit !found }'
}

# The text of the first visible window of class $1 whose text is not empty.
ui_text_of_class() {
    ui_windows | awk -F'\t' -v cls="$1" '$3 == 1 && $8 == cls && $9 != "" { print $9; exit }'
}

# Waits up to $2 seconds until `ui_find $1 [$3]` succeeds; prints its answer.
ui_wait_for() {
    local text=$1 limit=$2 cls=${3:-} end=$((SECONDS + $2)) at
    while [ $SECONDS -lt $end ]; do
        if at=$(ui_find "$text" "$cls"); then
            echo "$at"
            return 0
        fi
        sleep 0.5
    done
    echo "ui: no visible \"$text\" within ${limit}s" >&2
    return 1
}

# Waits up to $2 seconds until a visible window's text contains $1.
ui_wait_shows() {
    local end=$((SECONDS + $2))
    while [ $SECONDS -lt $end ]; do
        ui_shows "$1" && return 0
        sleep 0.5
    done
    echo "ui: no visible text containing \"$1\" within ${2}s" >&2
    return 1
}

# Waits up to $2 seconds until no visible window's text contains $1.
ui_wait_gone() {
    local end=$((SECONDS + $2))
    while [ $SECONDS -lt $end ]; do
        ui_shows "$1" || return 0
        sleep 0.5
    done
    echo "ui: \"$1\" still visible after ${2}s" >&2
    return 1
}

# A left click at screen point $1 $2.
ui_click_at() {
    xdotool mousemove "$1" "$2" click 1
}

# Clicks the visible control whose text is $1, waiting up to $2 seconds for it.
ui_click() {
    local at
    at=$(ui_wait_for "$1" "${2:-20}" "${3:-}") || return 1
    # shellcheck disable=SC2086
    ui_click_at $at
}

# Clicks into the $1-th (1-based, top to bottom) visible edit field inside
# the visible window whose text is $2 (the top-level window), then types $3.
ui_type_into_field() {
    local index=$1 owner=$2 text=$3 at
    at=$(ui_windows | awk -F'\t' -v owner="$owner" -v n="$index" '
        $3 == 1 && $9 == owner && top == "" { top = $1 }
        { parent[$1] = $2 }
        $3 == 1 && $8 == "Edit" { edits[++count] = $0 }
        END {
            k = 0
            for (i = 1; i <= count; i++) {
                split(edits[i], f, "\t"); h = f[1]
                while (h in parent && h != top) h = parent[h]
                if (h == top) { mine[++k] = edits[i] }
            }
            # top to bottom
            for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) {
                split(mine[i], a, "\t"); split(mine[j], b, "\t")
                if (b[5] + 0 < a[5] + 0) { t = mine[i]; mine[i] = mine[j]; mine[j] = t }
            }
            if (n > k) exit 1
            split(mine[n], f, "\t")
            printf "%d %d\n", (f[4] + f[6]) / 2 + ox, (f[5] + f[7]) / 2 + oy
        }' ox="${UI_ORIGIN_X:-0}" oy="${UI_ORIGIN_Y:-0}") || return 1
    [ -n "$at" ] || return 1
    # shellcheck disable=SC2086
    ui_click_at $at
    xdotool key End shift+Home BackSpace
    xdotool type --delay 40 "$text"
}

# The whole screen as PNG $1, once it has stopped changing (a window that has
# just appeared may not have painted yet); after 5 s it is taken as it is.
# Read with import, not xwd: xwd converts each window through its own
# colormap, and with the colormaps Wine gives its windows it shows a window
# lying wholly inside another as black.
ui_shot() {
    local previous= current end=$((SECONDS + 5))
    while [ $SECONDS -lt $end ]; do
        current=$(import -window root rgb:- 2>/dev/null | md5sum)
        [ "$current" = "$previous" ] && break
        previous=$current
        sleep 0.3
    done
    import -window root "$1" 2>/dev/null || echo "ui: screenshot $1 failed" >&2
}

# Sets UI_ORIGIN_X/Y: where the Wine desktop's top-left corner is on the X
# screen (Windows screen coordinates are relative to it).
ui_origin() {
    local id geometry
    UI_ORIGIN_X=0 UI_ORIGIN_Y=0
    id=$(xdotool search --name 'Wine desktop' 2>/dev/null | head -n 1)
    [ -n "$id" ] || return 0
    geometry=$(xwininfo -id "$id" 2>/dev/null)
    UI_ORIGIN_X=$(echo "$geometry" | sed -n 's/^ *Absolute upper-left X: *//p')
    UI_ORIGIN_Y=$(echo "$geometry" | sed -n 's/^ *Absolute upper-left Y: *//p')
    UI_ORIGIN_X=${UI_ORIGIN_X:-0} UI_ORIGIN_Y=${UI_ORIGIN_Y:-0}
}
