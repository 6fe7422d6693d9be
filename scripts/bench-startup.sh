#!/usr/bin/env bash
# Start-up time of PavoAgent.exe (started as the service starts it, with
# LANCH_SERVICE) until its window is on the screen, against our smallest
# dialog program started the same way; the median of several rounds of each,
# and their ratio (goal: 1.5 or less). Not part of the tests.
#
#   scripts/bench-startup.sh [ROUNDS]      (needs xdotool; default 7 rounds)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}
rounds=${1:-7}
work=$(mktemp -d /tmp/pavo-bench.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb :78 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:78
wineboot -i >/dev/null 2>&1
wineserver -w
# Both programs start on a running Wine server, as on a booted machine.
wineserver -p
cp -r "$build/dist" "$work/agent"
cp "$build/bin/PavoBenchDialog.exe" "$work/"

# Seconds from the start of `program` until a visible window named `title`.
time_one() {
    local title=$1; shift
    local start end
    start=$(date +%s.%N)
    wine "$@" >/dev/null 2>&1 &
    timeout 60 xdotool search --sync --onlyvisible --name "^$title\$" >/dev/null
    end=$(date +%s.%N)
    wineserver -k >/dev/null 2>&1; wineserver -w; wineserver -p
    echo "$end - $start" | bc -l
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

agent=(); dialog=()
for _ in $(seq "$rounds"); do
    dialog+=("$(time_one "Pavo bench dialog" "$work/PavoBenchDialog.exe")")
    agent+=("$(time_one "Pavo Integration Agent" "$work/agent/PavoAgent.exe" LANCH_SERVICE)")
done
a=$(printf '%s\n' "${agent[@]}" | median)
d=$(printf '%s\n' "${dialog[@]}" | median)
printf 'agent  median %.3f s  (%s)\n' "$a" "${agent[*]}"
printf 'dialog median %.3f s  (%s)\n' "$d" "${dialog[*]}"
printf 'ratio %.2f (goal <= 1.5)\n' "$(echo "$a / $d" | bc -l)"
