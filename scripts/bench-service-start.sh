#!/usr/bin/env bash
# Start-up benchmark, not part of the tests: the time from `PavoService.exe
# start` to the service's log line for the agent's identification, under
# Wine, with the session list "1 active" supplied at the DLL boundary
# (tools/wtsapi-stub) and the stand-in agent (tools/test-agent) as
# PavoAgent.exe. Also timed: the verb itself (it returns when the service
# reports running), the service's log line announcing the agent's start, the
# agent's connection and its record that the identification was written
# ("identify-sent"). The service is installed once, stopped, then started and
# stopped ROUNDS times (default 5); medians are printed. Build first.
#
#   scripts/bench-service-start.sh [ROUNDS]
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
rounds=${1:-5}
bench_require "$bench_bin/PavoService.exe" "$bench_bin/PavoTestAgent.exe" "$bench_bin/wtsapi32.dll"

bench_prefix start
bench_service_folder '1 active\n'
events=$bench_svc/test-agent-events.txt
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Waits (polling every 10 ms, up to 60 s) until `test` succeeds; prints the time.
wait_for() {
    for _ in $(seq 6000); do
        if "$@"; then now_ms; return 0; fi
        sleep 0.01
    done
    echo "bench-service-start: timed out waiting for: $*" >&2
    return 1
}
has_event() { grep -q "^$1" "$events" 2>/dev/null; }
has_log() { bench_service_log | grep -qF -- "$1"; }
no_agent() { [ -z "$(bench_unix_pids PavoAgent.exe)" ]; }
stop_service() {
    wine "$bench_svc/PavoService.exe" stop >/dev/null 2>&1 || true
    wait_for no_agent >/dev/null
    wait_for service_stopped >/dev/null
}
service_stopped() { [ -z "$(bench_unix_pids PavoService.exe)" ]; }

wine "$bench_svc/PavoService.exe" install >/dev/null 2>&1 || { echo "bench-service-start: install failed" >&2; exit 1; }
wait_for has_event identify-sent >/dev/null
stop_service

launch_text="세션 ID: 1로 에이전트를 실행합니다."
identified_text="에이전트가 식별되었습니다. pipeTarget : "
: > "$bench_work/times.txt"
for round in $(seq "$rounds"); do
    rm -f "$events" "$bench_svc"/Log/*.log
    t0=$(now_ms)
    wine "$bench_svc/PavoService.exe" start >/dev/null 2>&1 || { echo "bench-service-start: start failed" >&2; exit 1; }
    t_verb=$(now_ms)
    # One loop notes when each mark is first seen (10 ms polls, 60 s at most).
    t_launch= t_connect= t_sent= t_ident=
    for _ in $(seq 6000); do
        [ -z "$t_launch" ] && has_log "$launch_text" && t_launch=$(now_ms)
        [ -z "$t_connect" ] && has_event connected && t_connect=$(now_ms)
        [ -z "$t_sent" ] && has_event identify-sent && t_sent=$(now_ms)
        [ -z "$t_ident" ] && has_log "$identified_text" && t_ident=$(now_ms)
        [ -n "$t_launch" ] && [ -n "$t_connect" ] && [ -n "$t_sent" ] && [ -n "$t_ident" ] && break
        sleep 0.01
    done
    [ -n "$t_ident" ] && [ -n "$t_launch" ] && [ -n "$t_connect" ] && [ -n "$t_sent" ] ||
        { echo "bench-service-start: round $round: the agent was not identified within 60 s" >&2; exit 1; }
    echo "$round $((t_verb - t0)) $((t_launch - t0)) $((t_connect - t0)) $((t_sent - t0)) $((t_ident - t0))" \
        >> "$bench_work/times.txt"
    stop_service
done

column() { awk -v c="$1" '{ print $c }' "$bench_work/times.txt"; }
echo "service start to agent identified, under Wine, median of $rounds rounds (ms)"
for step in "2 the start verb returned" "3 agent launch logged" "4 agent connected" \
    "5 identification sent (agent)" "6 agent identified (service log)"; do
    c=${step%% *} name=${step#* }
    printf "  %-32s %7s   (all: %s)\n" "$name" "$(column "$c" | bench_median)" "$(column "$c" | xargs)"
done
echo "RESULT service-start-to-identified-ms $(column 6 | bench_median)"
