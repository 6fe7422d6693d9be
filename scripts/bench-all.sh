#!/usr/bin/env bash
# Runs every benchmark once and prints one table of the figures with their
# goals: memory (bench-memory.sh), service start to agent identified
# (bench-service-start.sh), idle CPU (bench-idle.sh), the product check
# (bench-check.sh), the download (bench-http.sh), the start-up of a minimal
# dialog program (tools/minimal-win32), the logged-in agent's idle CPU and
# memory (bench-agent.sh) and the agent's start-up against a dialog program
# (bench-startup.sh). Each benchmark's full output is kept in the folder
# printed at the end. Build first.
#
#   scripts/bench-all.sh [IDLE_MINUTES [HTTP_MB [STARTUP_ROUNDS]]]     (defaults 10, 200 and 7)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
idle_minutes=${1:-10}
http_mb=${2:-200}
startup_rounds=${3:-7}
out=$(mktemp -d "${TMPDIR:-/tmp}/pavo-bench-all.XXXXXX")

run() {  # name command...
    local name=$1; shift
    echo "bench-all: $name ..." >&2
    if "$@" > "$out/$name.txt" 2>&1; then echo ok > "$out/$name.rc"; else echo failed > "$out/$name.rc"; fi
}
result() { sed -n "s/^RESULT $2 //p" "$out/$1.txt" | tail -n 1; }

run memory bash "$root/scripts/bench-memory.sh" 30
run start bash "$root/scripts/bench-service-start.sh" 5
run idle bash "$root/scripts/bench-idle.sh" "$idle_minutes"
run check bash "$root/scripts/bench-check.sh" 50 5
run http bash "$root/scripts/bench-http.sh" "$http_mb" 3

# The minimal dialog: from the program's start until its dialog has been
# shown and closed, median of 3 runs in one prefix.
dialog_ms() (
    set -e
    source "$root/scripts/bench-lib.sh"
    bench_require "$bench_bin/PavoMinimalDialog.exe"
    bench_prefix dialog
    bench_display
    cp "$bench_bin/PavoMinimalDialog.exe" "$bench_work/"
    wine "$bench_work/PavoMinimalDialog.exe" quit >/dev/null 2>&1  # first run: Wine's own start-up
    for _ in 1 2 3; do
        local t0=$(date +%s%N)
        wine "$bench_work/PavoMinimalDialog.exe" quit >/dev/null 2>&1
        echo $(( ($(date +%s%N) - t0) / 1000000 ))
    done | bench_median | sed 's/^/RESULT dialog-start-ms /'
)
run dialog dialog_ms
run agent bash "$root/scripts/bench-agent.sh" "$idle_minutes"
run startup bash "$root/scripts/bench-startup.sh" "$startup_rounds"

status() { [ "$(cat "$out/$1.rc")" = ok ] && echo "" || echo " (benchmark failed, see $out/$1.txt)"; }
row() { printf "  %-48s %14s  %-22s%s\n" "$1" "$2" "$3" "$4"; }
check_ms=$(awk '$1 == "check" { print $2 }' "$out/check.txt")
ratio_bare=$(sed -n 's/.*HttpClient\/bare WinHTTP = \([0-9.]*\).*/\1/p' "$out/http.txt")
ratio_curl=$(sed -n 's/.*HttpClient\/curl *= \([0-9.]*\).*/\1/p' "$out/http.txt")

echo
echo "figures under Wine ($(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
row "figure" "measured" "goal" ""
row "service private memory minus minimal (MB)" "$(result memory memory-service-minus-minimal-mb)" "< 3" "$(status memory)"
row "  service / minimal program, private dirty (MB)" \
    "$(result memory memory-service-private-dirty-mb) / $(result memory memory-minimal-private-dirty-mb)" "" ""
row "  service threads" "$(result memory memory-service-threads)" "" ""
row "service start to agent identified (ms)" "$(result start service-start-to-identified-ms)" "< 2000" "$(status start)"
row "service idle CPU over $idle_minutes min (% of a core)" "$(result idle idle-cpu-service-percent)" "< 0.1" "$(status idle)"
row "  wineserver over the same period (%)" "$(result idle idle-cpu-wineserver-percent)" "" ""
row "product check, 50 products (ms, median)" "${check_ms:-?}" "" "$(status check)"
row "download $http_mb MB: HttpClient/bare WinHTTP" "${ratio_bare:-?}" ">= 0.9" "$(status http)"
row "download $http_mb MB: HttpClient/curl" "${ratio_curl:-?}" "" ""
row "minimal dialog program start-up (ms)" "$(result dialog dialog-start-ms)" "baseline" "$(status dialog)"
startup_ratio=$(sed -n 's/^ratio \([0-9.]*\).*/\1/p' "$out/startup.txt")
startup_agent=$(sed -n 's/^agent  median \([0-9.]*\) s.*/\1/p' "$out/startup.txt")
startup_dialog=$(sed -n 's/^dialog median \([0-9.]*\) s.*/\1/p' "$out/startup.txt")
row "agent idle CPU over $idle_minutes min, logged in (%)" "$(result agent agent-idle-cpu-percent)" "< 0.1" "$(status agent)"
row "  minimal dialog program, same period (%)" "$(result agent agent-minimal-idle-cpu-percent)" "" ""
row "  wineserver, same period (%)" "$(result agent agent-idle-cpu-wineserver-percent)" "" ""
row "  heartbeats in the period" "$(result agent agent-idle-heartbeats)" "" ""
row "agent private memory minus minimal (MB)" "$(result agent memory-agent-minus-minimal-mb)" "< 20" "$(status agent)"
row "  agent / minimal dialog, private dirty (MB)" \
    "$(result agent memory-agent-private-dirty-mb) / $(result agent memory-agent-minimal-private-dirty-mb)" "" ""
row "  agent threads" "$(result agent memory-agent-threads)" "" ""
row "agent start-up / dialog program start-up" "${startup_ratio:-?}" "<= 1.5" "$(status startup)"
row "  agent / dialog program, median (s)" "${startup_agent:-?} / ${startup_dialog:-?}" "" ""
echo "full outputs: $out"
