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
declare -A pid before before_ns name_of
for p in "${programs[@]}"; do
    pid[$p]=$(bench_unix_pids "$p" | head -n 1)
    [ -n "${pid[$p]}" ] || { echo "bench-idle: $p is not running" >&2; exit 1; }
    name_of[${pid[$p]}]=$p
done
# Every process of the prefix, so that the wineserver's share can be told
# apart from what Wine's own processes ask of it.
all=$(bench_prefix_pids)
for q in $all; do
    before[$q]=$(bench_cpu_ticks "$q")
    before_ns[$q]=$(bench_cpu_ns "$q")
    [ -n "${name_of[$q]:-}" ] || name_of[$q]="$(cat /proc/"$q"/comm) (Wine)"
done
start=$(date +%s%N)
sleep $((minutes * 60))
seconds=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
hz=$(getconf CLK_TCK)

echo "idle CPU over $seconds s, share of one core (goal < 0.1 %); CPU time of the live threads"
echo "(schedstat, ns) and of the whole process (/proc/PID/stat, $((1000 / hz)) ms ticks)"
for p in "${programs[@]}"; do
    [ -r "/proc/${pid[$p]}/stat" ] || { echo "bench-idle: $p ended during the idle period" >&2; exit 1; }
done
for q in ${pid[PavoService.exe]} ${pid[PavoAgent.exe]} ${pid[wineserver64]} ${pid[PavoMinimalIdle.exe]} \
    $(for q in $all; do case " ${pid[*]} " in *" $q "*) ;; *) echo "$q" ;; esac; done); do
    [ -r "/proc/$q/stat" ] || continue
    ticks=$(( $(bench_cpu_ticks "$q") - before[$q] ))
    ns=$(( $(bench_cpu_ns "$q") - before_ns[$q] ))
    share=$(awk -v n="$ns" -v s="$seconds" 'BEGIN { printf "%.4f", 100 * n / 1e9 / s }')
    printf "  %-28s %9s %%   (%8.1f ms of CPU; %d ms in ticks)\n" "${name_of[$q]}" "$share" \
        "$(awk -v n="$ns" 'BEGIN { print n / 1e6 }')" $((ticks * 1000 / hz))
    case ${name_of[$q]} in
        PavoService.exe) echo "RESULT idle-cpu-service-percent $share" >> "$bench_work/results" ;;
        wineserver64) echo "RESULT idle-cpu-wineserver-percent $share" >> "$bench_work/results" ;;
    esac
done
echo "  the service's timer ticks every 30 s; the stand-in agent only waits on its pipe"
cat "$bench_work/results"
