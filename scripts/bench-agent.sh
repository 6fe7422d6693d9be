#!/usr/bin/env bash
# The logged-in agent's idle CPU and memory, not part of the tests. The
# stage is the end-to-end tests' (tests/e2e/e2e-lib.sh): the MSI in a fresh
# prefix, the service running and starting the agent in session 1 (supplied
# at the DLL boundary), the reference operator server; the agent is logged in
# with the keyboard as demo / demo1234 and left alone on its product list.
#
# After a settling time the baseline starts: PavoMinimalDialog.exe
# (tools/minimal-win32) with one dialog, having loaded from System32 every
# system DLL that the agent has loaded at that moment. Over MINUTES (default
# 10) it measures the CPU time (/proc, as in bench-idle.sh) of the agent, of
# the baseline and of the prefix's wineserver as a share of one core, and
# counts the agent's heartbeats; then the private memory of both (private
# dirty pages in /proc/PID/smaps_rollup) with the breakdown of
# scripts/memory-breakdown.py. Build first.
#
#   scripts/bench-agent.sh [MINUTES]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
export PAVO_BUILD_DIR=${PAVO_BUILD_DIR:-$root/build}
export PAVO_OPERATOR_SERVER=$PAVO_BUILD_DIR/host/bin/pavo-operator-server
export PAVO_E2E_DATA=$PAVO_BUILD_DIR/tests/e2e/e2e-operator.json
for f in "$PAVO_OPERATOR_SERVER" "$PAVO_E2E_DATA" "$PAVO_BUILD_DIR/bin/PavoProcessProbe.exe" \
    "$PAVO_BUILD_DIR/bin/PavoMinimalDialog.exe" "$PAVO_BUILD_DIR/package/PavoAgent.msi"; do
    [ -e "$f" ] || {
        echo "bench-agent: $f is missing; run scripts/build.sh" >&2
        exit 1
    }
done
# shellcheck source=scripts/bench-lib.sh
. "$root/scripts/bench-lib.sh"
# shellcheck source=tests/e2e/e2e-lib.sh
. "$root/tests/e2e/e2e-lib.sh"
e2e_fail() {
    echo "bench-agent: FAILED: $*" >&2
    e2e_dump
    exit 1
}
e2e_dump() {
    tail -n 20 "$work/server.log" "$INSTALL_DIR"/Log/*.log >&2 2>/dev/null
}
heartbeats() { count_lines "POST /agent/health-check -> " "$work/server.log"; }

e2e_setup
set_sessions "1 active"
wait_agent_running 90 || e2e_fail "the service did not start the agent"
ui_origin
login_as demo demo1234
ui_wait_for "전체설치" 60 >/dev/null || e2e_fail "no product list after the login"
wait_line "POST /agent/health-check -> 200" 60 "$work/server.log" || e2e_fail "no heartbeat after the login"
sleep 20

probe() { wine "$work/PavoProcessProbe.exe" "$@" 2>/dev/null | tr -d '\r'; }
cp "$PAVO_BUILD_DIR/bin/PavoProcessProbe.exe" "$PAVO_BUILD_DIR/bin/PavoMinimalDialog.exe" "$work/"
agent_unix=$(bench_unix_pids PavoAgent.exe | head -n 1)
[ -n "$agent_unix" ] || e2e_fail "no agent process"
# The system DLLs the agent has loaded (its own image aside).
dlls=$(probe --regions PavoAgent.exe | awk -F, 'NR > 1 && $7 ~ /^image / { sub(/^image /, "", $7); print $7 }' |
    sort -u | grep -vix 'PavoAgent.exe' | tr '\n' ' ')
[ -n "$dlls" ] || e2e_fail "the agent's modules could not be listed"
# The agent runs with the service's environment, which has no DLL overrides.
# shellcheck disable=SC2086
WINEDLLOVERRIDES= wine "$work/PavoMinimalDialog.exe" --load $dlls >/dev/null 2>&1 &
minimal_unix=
for _ in $(seq 60); do
    for q in $(pgrep -u "$(id -u)" -f 'PavoMinimalDialog\.exe'); do
        tr '\0' '\n' <"/proc/$q/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && minimal_unix=$q
    done
    [ -n "$minimal_unix" ] && break
    sleep 0.5
done
[ -n "$minimal_unix" ] || e2e_fail "the minimal dialog program did not start"
sleep 10
kill -0 "$minimal_unix" 2>/dev/null || e2e_fail "the minimal dialog program ended"
missing=$(comm -23 <(echo "$dlls" | tr ' ' '\n' | tr 'A-Z' 'a-z' | sort -u | grep .) \
    <(probe --regions PavoMinimalDialog.exe | awk -F, 'NR > 1 && $7 ~ /^image / { sub(/^image /, "", $7); print tolower($7) }' | sort -u))
server_unix=$(bench_unix_pids wineserver64 | head -n 1)
[ -n "$server_unix" ] || server_unix=$(bench_unix_pids wineserver | head -n 1)

declare -A before_ns before_ticks
for q in $agent_unix $minimal_unix $server_unix; do
    before_ns[$q]=$(bench_cpu_ns "$q")
    before_ticks[$q]=$(bench_cpu_ticks "$q")
done
beats_before=$(heartbeats)
start=$(date +%s%N)
sleep $((minutes * 60))
seconds=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
beats=$(($(heartbeats) - beats_before))
hz=$(getconf CLK_TCK)
[ -r "/proc/$agent_unix/stat" ] || e2e_fail "the agent ended during the idle period"
ui_find "전체설치" >/dev/null || echo "bench-agent: note: the product list is no longer shown (the session was lost?)"

echo "idle CPU of the logged-in agent over $seconds s ($beats heartbeats), share of one core (goal < 0.1 %)"
# Prints the share of process $1 (label $2) and stores it in the variable $3.
share_of() {
    local ns=$(($(bench_cpu_ns "$1") - before_ns[$1])) ticks=$(($(bench_cpu_ticks "$1") - before_ticks[$1]))
    local share
    share=$(awk -v n="$ns" -v s="$seconds" 'BEGIN { printf "%.4f", 100 * n / 1e9 / s }')
    printf "  %-28s %9s %%   (%8.1f ms of CPU; %d ms in ticks)\n" "$2" "$share" \
        "$(awk -v n="$ns" 'BEGIN { print n / 1e6 }')" $((ticks * 1000 / hz))
    printf -v "$3" '%s' "$share"
}
agent_share= minimal_share= server_share=
share_of "$agent_unix" PavoAgent.exe agent_share
share_of "$minimal_unix" PavoMinimalDialog.exe minimal_share
[ -n "$server_unix" ] && share_of "$server_unix" "wineserver (whole prefix)" server_share

# --- memory -------------------------------------------------------------------
probe PavoAgent.exe PavoMinimalDialog.exe >"$work/counters.csv"
probe --regions PavoAgent.exe PavoMinimalDialog.exe >"$work/regions.csv"
agent=PavoAgent.exe base=PavoMinimalDialog.exe
declare -A file_of=([$agent]="$INSTALL_DIR/PavoAgent.exe" [$base]="$work/PavoMinimalDialog.exe")
declare -A unix_of=([$agent]=$agent_unix [$base]=$minimal_unix)
for program in $agent $base; do
    winpid=$(awk -F, -v p="$program" '$3 == p && $4 == "ok" { print $2; exit }' "$work/counters.csv")
    [ -n "$winpid" ] || e2e_fail "$program is not running"
    python3 "$root/scripts/memory-breakdown.py" "${unix_of[$program]}" "$work/regions.csv" "$winpid" "$program" \
        "${file_of[$program]}" >"$work/$program.breakdown"
done
value() { sed -n "s/^$2=//p" "$work/$1.breakdown" | head -n 1; }
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
echo
echo "memory of the logged-in agent after the idle period (MB; agent, minimal dialog program, difference)"
printf "  %-34s %9s %9s %9s\n" "" agent minimal diff
bench_breakdown_rows "$work" $agent $base
for p in $agent $base; do
    echo "  $p: $(value $p threads) threads; stack reservations (KB): $(value $p stack_reserve_kb);" \
        "private per stack (KB): $(value $p stack_private_kb)"
    echo "    threads by the module they began in (tid:module): $(value $p thread_starts)"
    echo "    images with most private pages (KB): $(value $p images_top)"
    echo "    other allocations with most private pages (base:KB): $(value $p other_private_top)"
done
echo "  the baseline was given the agent's system DLLs: $dlls"
echo "  of these it has not loaded: ${missing:-none}" | tr '\n' ' '
echo
awk -F, -v s=$agent 'NR > 1 && $3 == s && $4 == "ok" {
    printf "  probe: %s handles=%s threads=%s working_set=%s\n", $3, $5, $6, $8 }' "$work/counters.csv"

echo "RESULT agent-idle-cpu-percent $agent_share"
echo "RESULT agent-minimal-idle-cpu-percent $minimal_share"
[ -n "$server_share" ] && echo "RESULT agent-idle-cpu-wineserver-percent $server_share"
echo "RESULT agent-idle-heartbeats $beats"
echo "RESULT memory-agent-private-dirty-mb $(mb "$(value $agent smaps_private_dirty_kb)")"
echo "RESULT memory-agent-minimal-private-dirty-mb $(mb "$(value $base smaps_private_dirty_kb)")"
echo "RESULT memory-agent-minus-minimal-mb $(mb $(($(value $agent smaps_private_dirty_kb) - $(value $base smaps_private_dirty_kb))))"
echo "RESULT memory-agent-threads $(value $agent threads)"
