#!/usr/bin/env bash
# Idle CPU benchmark, not part of the tests: the installed service, with the
# session list "1 active" supplied at the DLL boundary (tools/wtsapi-stub) and
# the stand-in agent (tools/test-agent) connected, left alone for MINUTES
# (default 10) after a 10-second settling time. Prints the CPU time (user +
# system, /proc/PID/stat) each Wine process of the prefix used over that
# period as a share of one core: the service, the stand-in agent, the prefix's
# wineserver (which does the waiting and the timers' work for the programs)
# and, as the baseline, a minimal program of ours that only sleeps
# (tools/minimal-win32). Build first.
#
#   scripts/bench-idle.sh [MINUTES]
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
minutes=${1:-10}
bench_require "$bench_bin/PavoService.exe" "$bench_bin/PavoTestAgent.exe" "$bench_bin/wtsapi32.dll" \
    "$bench_bin/PavoMinimalIdle.exe"

bench_prefix idle
bench_service_folder '1 active\n'
cp "$bench_bin/PavoMinimalIdle.exe" "$bench_work/"
wine "$bench_work/PavoMinimalIdle.exe" >/dev/null 2>&1 &
wine "$bench_svc/PavoService.exe" install >/dev/null 2>&1 || { echo "bench-idle: install failed" >&2; exit 1; }
for _ in $(seq 600); do
    grep -q '^identify-sent' "$bench_svc/test-agent-events.txt" 2>/dev/null && break
    sleep 0.1
done
grep -q '^identify-sent' "$bench_svc/test-agent-events.txt" 2>/dev/null ||
    { echo "bench-idle: the agent never identified itself" >&2; exit 1; }
sleep 10

programs=(PavoService.exe PavoAgent.exe wineserver64 PavoMinimalIdle.exe)
declare -A pid before
for p in "${programs[@]}"; do
    pid[$p]=$(bench_unix_pids "$p" | head -n 1)
    [ -n "${pid[$p]}" ] || { echo "bench-idle: $p is not running" >&2; exit 1; }
    before[$p]=$(bench_cpu_ticks "${pid[$p]}")
done
start=$(date +%s%N)
sleep $((minutes * 60))
seconds=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
hz=$(getconf CLK_TCK)

echo "idle CPU over $seconds s, share of one core (CPU time from /proc/PID/stat, $((1000 / hz)) ms ticks; goal < 0.1 %)"
for p in "${programs[@]}"; do
    [ -r "/proc/${pid[$p]}/stat" ] || { echo "bench-idle: $p ended during the idle period" >&2; exit 1; }
    ticks=$(( $(bench_cpu_ticks "${pid[$p]}") - before[$p] ))
    share=$(awk -v t="$ticks" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.3f", 100 * t / hz / s }')
    printf "  %-22s %8s %%   (%d ms of CPU)\n" "$p" "$share" $((ticks * 1000 / hz))
    case $p in
        PavoService.exe) echo "RESULT idle-cpu-service-percent $share" ;;
        wineserver64) echo "RESULT idle-cpu-wineserver-percent $share" ;;
    esac
done
echo "  the service's timer ticks every 30 s; the stand-in agent only waits on its pipe"
