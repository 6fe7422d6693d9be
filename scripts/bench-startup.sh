#!/usr/bin/env bash
# Start-up time of PavoAgent.exe (started as the service starts it, with
# LANCH_SERVICE) until its login page is painted, against our plain dialog
# program started the same way; the median of several rounds of each, and
# their ratio (goal: 1.5 or less). Not part of the tests.
#
#   scripts/bench-startup.sh [ROUNDS]      (default 7 rounds)
#   PAVO_BENCH_REFERENCE=minimal scripts/bench-startup.sh
#       times against PavoMinimalDialog.exe (an empty dialog from an in-memory
#       template) instead of PavoBenchDialog.exe (a dialog of about the
#       agent's size with two edit boxes and a button)
#   PAVO_BENCH_REFERENCE=themed scripts/bench-startup.sh
#       times against PavoBenchThemedDialog.exe: the same dialog with the
#       agent's common-controls 6 manifest, setting up the common controls
#       as the agent does (the goal is stated against the plain one)
#   PAVO_BENCH_MODE=cold scripts/bench-startup.sh
#       starts each program on a fresh Wine server instead, so that both
#       times include Wine starting its own services (about 0.4 s here)
#   PAVO_BENCH_CONFIG=saved scripts/bench-startup.sh
#       starts the agent as after its first run, with a saved configuration
#       to decrypt (so it reads the computer's key before its first page);
#       by default it starts as on its first run, with none
#
# Fairness:
#  - every run, of either program, starts on a fresh Wine server whose prefix
#    has been booted (Wine's services kept running by an idle program of ours,
#    as on a machine that is up) and has just shown and closed one dialog, so
#    that neither pays for Wine's own start and no killed run slows the next;
#  - the agent's folder is put back as a normal exit leaves it;
#  - one untimed warm-up run of each program before the timed rounds, which
#    alternate between the two programs;
#  - both are timed the same way from outside, by tools/bench/paint-watch.c:
#    from the start of `wine PROGRAM` to the first moment its window shows
#    the picture it settles on (caret blinks included), sampling the X
#    server's pixels every few milliseconds. A window that is mapped but not
#    yet painted, or painted without its page, does not count. The watcher
#    reads the pixels through shared memory, so that its own sampling takes
#    little of the processor from the program it times;
#    PAINT_WATCH_NO_SHM=1 reads them through the X socket instead.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}
rounds=${1:-7}
settle_ms=${PAVO_BENCH_SETTLE_MS:-2500}
work=$(mktemp -d /tmp/pavo-bench.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=
idle=
cleanup() {
    [ -n "$idle" ] && kill "$idle" 2>/dev/null
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

case ${PAVO_BENCH_REFERENCE:-bench} in
    minimal) reference=PavoMinimalDialog.exe ;;
    themed) reference=PavoBenchThemedDialog.exe ;;
    *) reference=PavoBenchDialog.exe ;;
esac
for needed in "$build/dist/PavoAgent.exe" "$build/bin/$reference" "$build/bin/PavoMinimalIdle.exe"; do
    [ -f "$needed" ] || { echo "missing $needed (build first)" >&2; exit 1; }
done
cc -O2 -std=c11 -o "$work/paint-watch" "$root/tools/bench/paint-watch.c" -lXext -lX11 || exit 1

# A display of our own: the server picks a free number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
wineboot -i >/dev/null 2>&1
wineserver -w
cp -r "$build/dist" "$work/agent"
if [ "${PAVO_BENCH_CONFIG:-first}" = saved ]; then
    # Encrypted as the agent does, under Wine's baseboard serial ("None").
    mkdir -p "$work/agent/config"
    printf '{"id":"bench01","isAutoLogin":false,"isInstalling":false,"isTestMode":false}' |
        openssl enc -aes-256-cbc -md md5 -nosalt -pass pass:None -out "$work/agent/config/config.cfg" || exit 1
fi
cp "$build/bin/$reference" "$build/bin/PavoMinimalIdle.exe" "$build/bin/PavoMinimalDialog.exe" "$work/"

# Brings up a fresh Wine server with the prefix booted, as on a machine that is
# up: the idle program keeps Wine's services running (they end with the last
# program) and one dialog shown and closed has started the desktop's
# processes. Each timed program thus starts from the same state, and its end
# (it is killed) cannot slow the next one down.
boot() {
    [ -n "$idle" ] && kill "$idle" 2>/dev/null
    idle=
    wineserver -k >/dev/null 2>&1
    wineserver -w
    # The agent's folder as a normal exit leaves it (the timed run is killed,
    # which leaves the unpacked skin behind).
    rm -rf "$work/agent/skin/PavoAgent.exe"
    [ "${PAVO_BENCH_MODE:-booted}" = cold ] && return
    wine "$work/PavoMinimalIdle.exe" >/dev/null 2>&1 &
    idle=$!
    wine "$work/PavoMinimalDialog.exe" quit >/dev/null 2>&1
}

agent_cmd=("$work/agent/PavoAgent.exe" LANCH_SERVICE)
reference_cmd=("$work/$reference")
[ "$reference" = PavoMinimalDialog.exe ] && reference_title="Pavo minimal dialog" || reference_title="Pavo bench dialog"

# Seconds from the start of the program until its window shows its settled
# picture; the program is ended by its process id afterwards.
time_one() {
    local title=$1; shift
    boot
    "$work/paint-watch" "$title" "$settle_ms" -- wine "$@"
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

time_one "$reference_title" "${reference_cmd[@]}" >/dev/null
time_one "Pavo Integration Agent" "${agent_cmd[@]}" >/dev/null
agent=(); dialog=()
for _ in $(seq "$rounds"); do
    dialog+=("$(time_one "$reference_title" "${reference_cmd[@]}")")
    agent+=("$(time_one "Pavo Integration Agent" "${agent_cmd[@]}")")
done
a=$(printf '%s\n' "${agent[@]}" | median)
d=$(printf '%s\n' "${dialog[@]}" | median)
printf 'agent  median %.3f s  (%s)\n' "$a" "${agent[*]}"
printf 'dialog median %.3f s  (%s)  [%s]\n' "$d" "${dialog[*]}" "$reference"
printf 'ratio %.2f (goal <= 1.5)  [%s prefix, %s configuration]\n' "$(echo "$a / $d" | bc -l)" \
    "${PAVO_BENCH_MODE:-booted}" "$([ "${PAVO_BENCH_CONFIG:-first}" = saved ] && echo saved || echo no)"
