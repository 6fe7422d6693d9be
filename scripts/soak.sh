#!/usr/bin/env bash
# Soak run, not part of the tests: the installed service and a logged-in
# agent under Wine against the reference operator server for MINUTES, while
# the server cycles through its faults and its notice changes.
#
#   scripts/soak.sh MINUTES        (build first: scripts/build.sh)
#
# The stage is the end-to-end tests' (tests/e2e/e2e-lib.sh): the MSI in a
# fresh prefix, the service running with the session list "1 active" at the
# DLL boundary, so that the service starts the agent itself; the agent is
# logged in with the keyboard as demo / demo1234. Tokens live 150 s, so the
# agent renews its token every minute and a half besides its heartbeats.
#
# Faults, one after the other, each kept on until the agent's requests have
# met it: answers delayed past the agent's time-outs, resultCode 500, HTTP
# status 500, malformed JSON, chunked answers, answers without a
# Content-Length, every token expired (again after each renewal, until a
# heartbeat has met an expired token), and a restart of the server (which
# forgets its tokens). After each, the fault is cleared and the agent must be
# back: a heartbeat that arrived after the fault ended was answered cleanly
# (the server's GET /admin/activity). A user logs in again when the agent has
# lost its session and shows the login page. Between faults the server's
# notice changes; its window must show the new title (then it is closed).
#
# Every 10 s the probe (tools/process-probe) records the handle and thread
# counts and the GDI and USER objects of both programs (under Wine, whose
# GetGuiResources answers nothing, the GDI handle table's used entries and the
# program's windows), and the script their private bytes from /proc
# (Wine does not report another process's private bytes). At the end it
# prints, per program and figure, the first, the last and the largest value
# and growth, and exits 1 when a program died (or was replaced), an event
# did not recover, or the stage could not be set up.
#
# Results are kept in build/soak/ (the last run; PAVO_SOAK_RESULTS=FOLDER
# to choose another; a folder that an earlier run did not make is never
# emptied, the script stops instead): samples.csv, events.csv, summary.txt,
# the probe's and /proc's raw samples, the server's log and both programs'
# logs.
# PAVO_SOAK_EVENTS="NAME..." limits the events to those named (delay notice
# result-500 http-500 malformed-json chunked no-content-length expired-tokens
# server-restart).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-}
case $minutes in
'' | *[!0-9]*)
    echo "usage: scripts/soak.sh MINUTES" >&2
    exit 2
    ;;
esac
export PAVO_BUILD_DIR=${PAVO_BUILD_DIR:-$root/build}
export PAVO_OPERATOR_SERVER=$PAVO_BUILD_DIR/host/bin/pavo-operator-server
export PAVO_E2E_DATA=$PAVO_BUILD_DIR/tests/e2e/e2e-operator.json
for f in "$PAVO_OPERATOR_SERVER" "$PAVO_E2E_DATA" "$PAVO_BUILD_DIR/bin/PavoProcessProbe.exe" \
    "$PAVO_BUILD_DIR/package/PavoAgent.msi" "$PAVO_BUILD_DIR/bin/PavoWindowProbe.exe"; do
    [ -e "$f" ] || {
        echo "soak: $f is missing; run scripts/build.sh" >&2
        exit 1
    }
done
command -v xdotool >/dev/null || {
    echo "soak: xdotool is missing (apt-get install xdotool)" >&2
    exit 1
}

# shellcheck source=tests/e2e/e2e-lib.sh
. "$root/tests/e2e/e2e-lib.sh"

results=${PAVO_SOAK_RESULTS:-$PAVO_BUILD_DIR/soak}
# The results folder is emptied before a run only when an earlier run made it
# (its mark is inside): a mistyped PAVO_SOAK_RESULTS must not delete anything.
results_mark=.pavo-soak-results
if [ -L "$results" ] || { [ -e "$results" ] && [ ! -d "$results" ]; }; then
    echo "soak: $results is not a folder; choose another PAVO_SOAK_RESULTS" >&2
    exit 2
elif [ -d "$results" ] && [ -n "$(ls -A "$results")" ] && [ ! -f "$results/$results_mark" ]; then
    echo "soak: $results was not made by soak.sh and is not empty; remove it yourself or choose another PAVO_SOAK_RESULTS" >&2
    exit 2
fi
if [ -d "$results" ]; then
    find "$results" -mindepth 1 -delete || exit 1
fi
mkdir -p "$results" && : >"$results/$results_mark" || exit 1
events=$results/events.csv
samples=$results/samples.csv
echo "elapsed_s,event,outcome,seconds,detail" >"$events"
failures=0
probe_pid=
sampler_pid=
started=$SECONDS
token_lifetime=150

soak_save() {
    cp "$work/server.log" "$work/probe.csv" "$work/proc.csv" "$results/" 2>/dev/null
    [ -n "${INSTALL_DIR:-}" ] && cp -r "$INSTALL_DIR/Log" "$results/" 2>/dev/null
    cp "$work"/*.png "$results/" 2>/dev/null
    return 0
}
soak_exit() {
    [ -n "$sampler_pid" ] && kill "$sampler_pid" 2>/dev/null && wait "$sampler_pid" 2>/dev/null
    [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null && wait "$probe_pid" 2>/dev/null
    soak_save
    e2e_cleanup
}
trap soak_exit EXIT
# Failures of the stage itself end the run (the e2e helpers call this).
e2e_fail() {
    echo "SOAK FAILED: $*" >&2
    ui_shot "$work/failure.png" 2>/dev/null
    e2e_dump
    exit 1
}

elapsed() { echo $((SECONDS - started)); }
# One line of events.csv, echoed.
event() { # name outcome seconds detail
    echo "$(elapsed),$1,$2,$3,$4" >>"$events"
    log "$1: $2 (${3}s) $4"
    [ "$2" = ok ] || failures=$((failures + 1))
}

admin() { # path [json]
    curl -s -m 5 -X POST -H 'Content-Type: application/json' -d "${2:-{\}}" "$(server_url)$1" | grep -q '"ok":true'
}
# A number from GET /admin/activity: "sequence", or FIELD of PATH.
activity() { # [path field]
    curl -s -m 5 "$(server_url)/admin/activity" | python3 -c '
import json, sys
try:
    a = json.load(sys.stdin)
except ValueError:
    print(-1); sys.exit()
if len(sys.argv) < 3:
    print(a.get("sequence", 0))
else:
    print(a.get("paths", {}).get(sys.argv[1], {}).get(sys.argv[2], 0))' "$@"
}
# Requests on the heartbeat and renewal paths, in total or spoiled only.
session_requests() { echo $(($(activity /agent/health-check "$1") + $(activity /agent/token "$1"))); }

reset_server() {
    admin /admin/reset && admin /admin/fault "{\"tokenLifetimeSeconds\": $token_lifetime}"
}

# Logs in with the keyboard when the login page is shown; true when it did.
login_if_shown() {
    ui_find "로그인" >/dev/null || return 1
    # A notice or a result may cover the page; close it first.
    ui_find "확인" >/dev/null && ui_click "확인" 5
    ui_type_into_field 1 "$TITLE" demo || return 1
    ui_type_into_field 2 "$TITLE" demo1234 || return 1
    xdotool key Return
    ui_wait_for "전체설치" 60 >/dev/null
    return 0
}

# Waits up to $1 s until a heartbeat that arrived after request number $2
# was answered cleanly, logging in again whenever the login page shows.
# Prints how many logins it typed.
recover_after() { # seconds sequence
    local end=$((SECONDS + $1)) logins=0
    while [ $SECONDS -lt $end ]; do
        [ "$(activity /agent/health-check lastCleanSequence)" -gt "$2" ] && {
            echo "$logins"
            return 0
        }
        login_if_shown && logins=$((logins + 1))
        sleep 1
    done
    echo "$logins"
    return 1
}

# One fault: switched on, kept until the agent's session requests have met
# it (at most 150 s), cleared; then the agent must recover.
run_fault() { # name json|expire|restart
    local name=$1 how=$2 t0=$SECONDS before renewals hit= end detail
    if [ "$how" = restart ]; then
        local port=$server_port
        server_stop
        sleep 20
        server_start "$port"
        admin /admin/fault "{\"tokenLifetimeSeconds\": $token_lifetime}"
        before=0
    elif [ "$how" = expire ]; then
        before=$(activity /agent/health-check requests)
        renewals=$(activity /agent/token requests)
        admin /admin/fault '{"expireTokens": true}' || { event "$name" failed 0 "the server refused the fault"; return; }
    else
        before=$(session_requests spoiled)
        admin /admin/fault "$how" || { event "$name" failed 0 "the server refused $how"; return; }
    fi
    end=$((SECONDS + 150))
    while [ $SECONDS -lt $end ]; do
        # A session already lost (the login page) has met the fault too.
        ui_find "로그인" >/dev/null && hit=1 && break
        if [ "$how" = expire ]; then
            # A renewal hands out a new, valid token (the server still renews
            # an expired one): expire that too, until a heartbeat meets one.
            if [ "$(activity /agent/token requests)" -gt "$renewals" ]; then
                renewals=$(activity /agent/token requests)
                admin /admin/fault '{"expireTokens": true}'
            fi
            [ "$(activity /agent/health-check requests)" -gt "$before" ] &&
                [ "$(activity /agent/health-check lastResultCode)" = 406 ] && hit=1 && break
        elif [ "$how" = restart ]; then
            [ "$(session_requests requests)" -gt "$before" ] && hit=1 && break
        else
            [ "$(session_requests spoiled)" -gt "$before" ] && hit=1 && break
        fi
        sleep 1
    done
    # Long enough for the agent to act on the spoiled answer (a delayed one
    # ends in its own time-out).
    sleep 5
    reset_server || { event "$name" failed $((SECONDS - t0)) "the server did not take the reset"; return; }
    local cleared=$SECONDS sequence logins
    sequence=$(activity)
    if logins=$(recover_after 180 "$sequence"); then
        detail="logins typed: $logins"
        [ -n "$hit" ] || detail="$detail; no session request met the fault in 150 s"
        event "$name" ok $((SECONDS - cleared)) "$detail"
    else
        ui_shot "$work/not-recovered-$name-$(elapsed).png"
        event "$name" failed $((SECONDS - cleared)) "no clean heartbeat within 180 s after the fault ended (logins typed: $logins)"
    fi
}

notice_count=0
run_notice() {
    notice_count=$((notice_count + 1))
    local t0=$SECONDS title="Soak notice $notice_count ($$)"
    admin /admin/notice "{\"id\": $((9000 + notice_count)), \"title\": \"$title\", \"body\": \"<p>soak $notice_count</p>\", \"date\": \"$(date '+%Y-%m-%d %H:%M:%S')\"}" ||
        { event notice failed 0 "the server refused the notice"; return; }
    if ui_wait_shows "$title" 150 2>/dev/null; then
        ui_click "확인" 10 && ui_wait_gone "$title" 20 2>/dev/null
        event notice ok $((SECONDS - t0)) "\"$title\" shown and closed"
    else
        ui_shot "$work/notice-missing-$notice_count.png"
        event notice failed $((SECONDS - t0)) "\"$title\" not shown within 150 s"
    fi
}

# --- the stage -----------------------------------------------------------------
e2e_setup
reset_server || e2e_fail "the server does not take the token lifetime"
log "the service starts the agent in session 1"
set_sessions "1 active"
wait_agent_running 90 || e2e_fail "the service did not start the agent"
ui_origin
login_as demo demo1234
ui_wait_for "전체설치" 60 >/dev/null || e2e_fail "no product list after the login"
recover_after 120 0 >/dev/null || e2e_fail "no clean heartbeat after the first login"
log "logged in; soaking for $minutes min"

# --- the samples: the probe's counters and /proc's private bytes, every 10 s -----
cp "$PAVO_BUILD_DIR/bin/PavoProcessProbe.exe" "$work/"
rounds=$((minutes * 6 + 12))
# Straight into the file (CRLF line ends): a filter between would hold the
# lines in its buffer.
wine "$work/PavoProcessProbe.exe" --every 10 --rounds "$rounds" PavoService.exe PavoAgent.exe \
    >"$work/probe.csv" 2>/dev/null &
probe_pid=$!
(
    # Unix processes of the two programs, found once: a replaced process
    # shows as a gone one.
    # shellcheck source=scripts/bench-lib.sh
    . "$root/scripts/bench-lib.sh"
    declare -A unix
    t0=$(date +%s)
    echo "elapsed_s,program,unix_pid,alive,rss_anon_kb,vm_swap_kb,private_dirty_kb,unix_threads"
    while :; do
        for p in PavoService.exe PavoAgent.exe; do
            [ -n "${unix[$p]:-}" ] || unix[$p]=$(bench_unix_pids "$p" | head -n 1)
            pid=${unix[$p]}
            if [ -n "$pid" ] && [ -r "/proc/$pid/status" ]; then
                awk -v t=$(($(date +%s) - t0)) -v p="$p" -v pid="$pid" '
                    FILENAME ~ /status$/ && /^(RssAnon|VmSwap|Threads):/ { v[$1] = $2 }
                    FILENAME ~ /smaps_rollup$/ && /^Private_Dirty:/ { d = $2 }
                    END { printf "%d,%s,%d,1,%d,%d,%d,%d\n", t, p, pid, v["RssAnon:"], v["VmSwap:"], d, v["Threads:"] }' \
                    "/proc/$pid/status" "/proc/$pid/smaps_rollup" 2>/dev/null
            else
                echo "$(($(date +%s) - t0)),$p,${pid:-0},0,0,0,0,0"
            fi
        done
        sleep 10
    done
) >"$work/proc.csv" &
sampler_pid=$!

# --- the faults and notices, round after round, until the time is up --------------
plan=(
    "delay|{\"path\": \"*\", \"delayMs\": 3000}"
    "notice|"
    "result-500|{\"path\": \"*\", \"resultCode\": 500}"
    "http-500|{\"path\": \"*\", \"httpStatus\": 500, \"contentType\": \"text/html\", \"malformedJson\": true}"
    "malformed-json|{\"path\": \"*\", \"malformedJson\": true}"
    "notice|"
    "chunked|{\"path\": \"*\", \"chunked\": true}"
    "no-content-length|{\"path\": \"*\", \"omitContentLength\": true}"
    "expired-tokens|expire"
    "notice|"
    "server-restart|restart"
)
# PAVO_SOAK_EVENTS="chunked server-restart ..." runs only the events named.
if [ -n "${PAVO_SOAK_EVENTS:-}" ]; then
    chosen=()
    for entry in "${plan[@]}"; do
        case " $PAVO_SOAK_EVENTS " in *" ${entry%%|*} "*) chosen+=("$entry") ;; esac
    done
    [ ${#chosen[@]} -gt 0 ] || e2e_fail "PAVO_SOAK_EVENTS names no event of the plan"
    plan=("${chosen[@]}")
fi
deadline=$((SECONDS + minutes * 60))
i=0
# An event takes up to about five minutes; none starts later than that
# before the end.
while [ $((SECONDS + 300)) -lt $deadline ]; do
    entry=${plan[$((i % ${#plan[@]}))]}
    i=$((i + 1))
    name=${entry%%|*}
    if [ "$name" = notice ]; then run_notice; else run_fault "$name" "${entry#*|}"; fi
    sleep 15
done
while [ $SECONDS -lt $deadline ]; do sleep 5; done
# The last samples, then the probe and the sampler end.
sleep 12
kill "$sampler_pid" 2>/dev/null
wait "$sampler_pid" 2>/dev/null
sampler_pid=
kill "$probe_pid" 2>/dev/null
wait "$probe_pid" 2>/dev/null
probe_pid=

# --- figures ------------------------------------------------------------------------
python3 - "$work/probe.csv" "$work/proc.csv" "$samples" >"$results/summary.txt" <<'EOF'
import csv, sys
probe_file, proc_file, out_file = sys.argv[1:4]
programs = ["PavoService.exe", "PavoAgent.exe"]
probe = {p: [] for p in programs}
pids = {p: set() for p in programs}
problems = []
with open(probe_file, newline="") as f:
    for row in csv.DictReader(line.rstrip("\r\n") for line in f):
        name = row.get("name", "")
        if name not in probe:
            continue
        if row["status"] != "ok":
            problems.append(f"{name}: probe status {row['status']} at {int(row['elapsed_ms']) // 1000} s")
            continue
        pids[name].add(row["pid"])
        # GDI and USER objects are "na" where they could not be read.
        gui = [int(v) if v and v.isdigit() else None for v in (row.get("gdi_objects"), row.get("user_objects"))]
        probe[name].append((int(row["elapsed_ms"]) / 1000, int(row["handles"]), int(row["threads"]), gui[0], gui[1]))
proc = {p: [] for p in programs}
with open(proc_file) as f:
    for row in csv.DictReader(f):
        if row["program"] not in proc:
            continue
        if row["alive"] != "1":
            problems.append(f"{row['program']}: unix process {row['unix_pid']} gone at {row['elapsed_s']} s")
            continue
        proc[row["program"]].append((int(row["elapsed_s"]), int(row["rss_anon_kb"]) + int(row["vm_swap_kb"]),
                                     int(row["private_dirty_kb"]), int(row["unix_threads"])))
for p in programs:
    if len(pids[p]) != 1:
        problems.append(f"{p}: {len(pids[p])} different process ids over the run ({', '.join(sorted(pids[p]))})")
    if not probe[p]:
        problems.append(f"{p}: no probe samples")
    if not proc[p]:
        problems.append(f"{p}: no /proc samples")

with open(out_file, "w") as f:
    w = csv.writer(f)
    w.writerow(["source", "program", "elapsed_s", "handles_or_private_kb", "threads_or_private_dirty_kb",
                "gdi_objects", "user_objects"])
    for p in programs:
        for s in probe[p]:
            w.writerow(["probe", p, f"{s[0]:.0f}", s[1], s[2], "na" if s[3] is None else s[3],
                        "na" if s[4] is None else s[4]])
        for s in proc[p]:
            w.writerow(["proc", p, s[0], s[1], s[2], "", ""])

def figures(label, series, unit, warm=300):
    """first, last, max, last-first, largest growth over the first value,
    and the growth after the warm-up (max after `warm` s over the value at `warm` s)."""
    if not series:
        return
    values = [v for _, v in series]
    first, last = values[0], values[-1]
    after = [v for t, v in series if t >= warm]
    warm_growth = (max(after) - after[0]) if after else 0
    print(f"  {label:<34} {first:>9} {last:>9} {max(values):>9} {last - first:>+9} {max(values) - first:>+9} "
          f"{warm_growth:>+9}  {unit}")

print(f"samples every 10 s; growth after warm-up = largest value from 5 min on minus the value at 5 min")
print(f"  {'program / figure':<34} {'first':>9} {'last':>9} {'max':>9} {'last-1st':>9} {'max-1st':>9} {'after5min':>9}")
for p in programs:
    duration = probe[p][-1][0] if probe[p] else 0
    print(f" {p} ({len(probe[p])} probe samples over {duration:.0f} s, process ids {', '.join(sorted(pids[p]))})")
    figures("handles (probe)", [(t, h) for t, h, _, _, _ in probe[p]], "")
    figures("threads (probe)", [(t, n) for t, _, n, _, _ in probe[p]], "")
    gdi = [(s[0], s[3]) for s in probe[p] if s[3] is not None]
    user = [(s[0], s[4]) for s in probe[p] if s[4] is not None]
    if gdi:
        figures("GDI objects (probe)", gdi, "")
    else:
        print(f"  {'GDI objects (probe)':<34} not readable")
    # Under Wine the probe counts the program's windows instead.
    user_label = "USER objects (windows under Wine)"
    if user:
        figures(user_label, user, "")
    else:
        print(f"  {user_label:<34} not readable")
    figures("private bytes, RssAnon+VmSwap (KB)", [(t, v) for t, v, _, _ in proc[p]], "KB")
    figures("private dirty, smaps_rollup (KB)", [(t, d) for t, _, d, _ in proc[p]], "KB")
    figures("Wine's unix threads", [(t, n) for t, _, _, n in proc[p]], "")
for problem in problems:
    print("PROBLEM " + problem)
sys.exit(1 if problems else 0)
EOF
figures_rc=$?
echo
echo "soak: $minutes min; events:"
column -t -s, "$events" | sed 's/^/  /'
echo
cat "$results/summary.txt"
ok=$(grep -c ',ok,' "$events")
echo
echo "soak: $ok events recovered, $failures failed; results in $results"
[ "$figures_rc" = 0 ] || echo "soak: FAILED: a program died, was replaced or was not sampled" >&2
[ "$failures" = 0 ] || echo "soak: FAILED: $failures events did not recover" >&2
[ "$figures_rc" = 0 ] && [ "$failures" = 0 ]
