#!/usr/bin/env bash
# Memory benchmark, not part of the tests: the installed, idle service under
# Wine against a minimal program of ours that imports the same system DLLs
# (tools/minimal-win32), both in one throw-away prefix. The service runs with
# the session list "1 active" supplied at the DLL boundary (tools/wtsapi-stub)
# and the stand-in agent connected, as after a user's logon. After IDLE
# seconds (default 30) it prints, for both programs, the private bytes that
# Windows reports (tools/process-probe: GetProcessMemoryInfo's PrivateUsage),
# the private dirty pages Linux reports (/proc/PID/smaps_rollup), and the
# breakdown of the private pages by what holds them (scripts/memory-breakdown.py).
# Build first.
#
#   scripts/bench-memory.sh [IDLE_SECONDS]
#   PAVO_BENCH_SERVICE=other/PavoService.exe scripts/bench-memory.sh   (another build of the service)
#   PAVO_BENCH_SAVE=FOLDER keeps the probe's CSVs, the breakdowns and the smaps
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
idle=${1:-30}
bench_require "$bench_bin/PavoService.exe" "$bench_bin/PavoTestAgent.exe" "$bench_bin/wtsapi32.dll" \
    "$bench_bin/PavoProcessProbe.exe" "$bench_bin/PavoMinimalIdle.exe"

bench_prefix memory
bench_service_folder '1 active\n'
# The service as it ships (build/dist: no debug sections); PAVO_BENCH_SERVICE
# measures another build of it (a proposed link setting, say) in the same way.
cp "${PAVO_BENCH_SERVICE:-$bench_build/dist/PavoService.exe}" "$bench_svc/PavoService.exe"
cp "$bench_bin/PavoMinimalIdle.exe" "$bench_bin/PavoProcessProbe.exe" "$bench_work/"
# The baseline loads the same stand-in wtsapi32.dll as the service, so that
# the stand-in's own pages cancel out.
bench_session_stub "$bench_work" PavoMinimalIdle.exe '1 active\n'

wine "$bench_work/PavoMinimalIdle.exe" >/dev/null 2>&1 &
wine "$bench_svc/PavoService.exe" install >/dev/null 2>&1 || { echo "bench-memory: install failed" >&2; exit 1; }
for _ in $(seq 400); do
    grep -q '^connected' "$bench_svc/test-agent-events.txt" 2>/dev/null && break
    sleep 0.05
done
grep -q '^connected' "$bench_svc/test-agent-events.txt" 2>/dev/null ||
    { echo "bench-memory: the agent never connected" >&2; exit 1; }
sleep "$idle"

probe() { wine "$bench_work/PavoProcessProbe.exe" "$@" 2>/dev/null | tr -d '\r'; }
probe PavoService.exe PavoMinimalIdle.exe > "$bench_work/counters.csv"
probe --regions PavoService.exe PavoMinimalIdle.exe > "$bench_work/regions.csv"

declare -A private_kb wine_private_kb
for program in PavoService.exe PavoMinimalIdle.exe; do
    unixpid=$(bench_unix_pids "$program" | head -n 1)
    winpid=$(awk -F, -v p="$program" '$3 == p && $4 == "ok" { print $2; exit }' "$bench_work/counters.csv")
    [ -n "$unixpid" ] && [ -n "$winpid" ] || { echo "bench-memory: $program is not running" >&2; exit 1; }
    file=$bench_svc/PavoService.exe
    [ "$program" = PavoService.exe ] || file=$bench_work/$program
    python3 "$bench_root/scripts/memory-breakdown.py" "$unixpid" "$bench_work/regions.csv" "$winpid" "$program" \
        "$file" > "$bench_work/$program.breakdown"
    private_kb[$program]=$(awk -F, -v p="$program" '$3 == p && $4 == "ok" {
        print ($7 == "na" ? "na" : int($7 / 1024)); exit }' "$bench_work/counters.csv")
    cp /proc/"$unixpid"/smaps "$bench_work/$program.smaps"
    # What Wine reports as a process's own private bytes: RssAnon + VmSwap.
    wine_private_kb[$program]=$(awk '/^(RssAnon|VmSwap):/ { s += $2 } END { print s }' /proc/"$unixpid"/status)
done

value() { sed -n "s/^$2=//p" "$bench_work/$1.breakdown" | head -n 1; }
svc=PavoService.exe base=PavoMinimalIdle.exe
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
echo "memory of the idle service after ${idle} s (MB; service, minimal program, difference)"
printf "  %-34s %9s %9s %9s\n" "" service minimal diff
if [ "${private_kb[$svc]}" != na ]; then
    printf "  %-34s %9s %9s %9s\n" "private bytes (probe, PrivateUsage)" "$(mb ${private_kb[$svc]})" \
        "$(mb ${private_kb[$base]})" "$(mb $((private_kb[$svc] - private_kb[$base])))"
else
    echo "  private bytes (probe): not reported by Wine for another process; Wine's own figure (RssAnon+VmSwap):"
fi
printf "  %-34s %9s %9s %9s\n" "private bytes as Wine counts them" "$(mb ${wine_private_kb[$svc]})" \
    "$(mb ${wine_private_kb[$base]})" "$(mb $((wine_private_kb[$svc] - wine_private_kb[$base])))"
bench_breakdown_rows "$bench_work" $svc $base
for p in $svc $base; do
    echo "  $p: $(value $p threads) threads; stack reservations (KB): $(value $p stack_reserve_kb);" \
        "private per stack (KB): $(value $p stack_private_kb)"
    echo "    threads by the module they began in (tid:module): $(value $p thread_starts)"
    echo "    program sections with private pages (KB): $(value $p sections)"
    echo "    images with most private pages (KB): $(value $p images_top)"
    echo "    other allocations with most private pages (base:KB): $(value $p other_private_top)"
done
awk -F, -v s=$svc 'NR > 1 && $3 == s && $4 == "ok" {
    printf "  probe: %s handles=%s threads=%s private_bytes=%s working_set=%s\n", $3, $5, $6, $7, $8 }' \
    "$bench_work/counters.csv"
if [ -n "${PAVO_BENCH_SAVE:-}" ]; then
    mkdir -p "$PAVO_BENCH_SAVE"
    cp "$bench_work"/*.csv "$bench_work"/*.breakdown "$bench_work"/*.smaps "$PAVO_BENCH_SAVE/"
fi
echo "RESULT memory-service-private-dirty-mb $(mb "$(value $svc smaps_private_dirty_kb)")"
echo "RESULT memory-minimal-private-dirty-mb $(mb "$(value $base smaps_private_dirty_kb)")"
echo "RESULT memory-service-minus-minimal-mb $(mb $(( $(value $svc smaps_private_dirty_kb) - $(value $base smaps_private_dirty_kb) )))"
echo "RESULT memory-service-threads $(value $svc threads)"
