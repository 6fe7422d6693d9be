# The end-to-end tests' stage: an own X display, the reference operator
# server on a free port, a fresh Wine prefix with the MSI installed and the
# service running, the agent's server address pointed at that port. Sourced
# by e2e-test.sh; everything it starts is ended by e2e_cleanup.
#
# Needs PAVO_BUILD_DIR, PAVO_OPERATOR_SERVER and PAVO_E2E_DATA (environment).

set -u
: "${PAVO_BUILD_DIR:?}" "${PAVO_OPERATOR_SERVER:?}" "${PAVO_E2E_DATA:?}"
e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=scripts/ui-drive.sh
. "$e2e_root/scripts/ui-drive.sh"
UI_PROBE=$PAVO_BUILD_DIR/bin/PavoWindowProbe.exe
MSI=$PAVO_BUILD_DIR/package/PavoAgent.msi
TITLE="Pavo 통합에이전트"

work=$(mktemp -d "${TMPDIR:-/tmp}/pavo-e2e.XXXXXX")
server_pid=
server_port=
xvfb_pid=
prefix_made=

log() { echo "[$(date +%H:%M:%S)] $*"; }
e2e_fail() {
    echo "E2E FAILED: $*" >&2
    ui_shot "$work/failure.png" 2>/dev/null
    e2e_dump
    exit 1
}

e2e_dump() {
    {
        echo "--- visible windows ---"
        [ -n "$prefix_made" ] && ui_windows | awk -F'\t' '$3 == 1'
        echo "--- operator server log (last lines) ---"
        tail -n 40 "$work/server.log" 2>/dev/null
        echo "--- agent and service logs (last lines) ---"
        tail -n 40 "$INSTALL_DIR"/Log/*.log 2>/dev/null
    } >&2
    # Kept for a look after a failure.
    local keep=$PAVO_BUILD_DIR/e2e-failures/$(basename "$work")
    mkdir -p "$keep"
    cp -r "$work"/*.png "$work/server.log" "$INSTALL_DIR/Log" "$keep/" 2>/dev/null
    echo "(screens and logs kept in $keep)" >&2
}

e2e_cleanup() {
    if [ -n "$prefix_made" ]; then
        wineserver -k >/dev/null 2>&1
    fi
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap e2e_cleanup EXIT
trap 'exit 143' TERM INT

# Starts the server; on a given port ($1) when restarting it.
server_start() {
    local listen=127.0.0.1:${1:-0}
    rm -f "$work/server.port"
    "$PAVO_OPERATOR_SERVER" --listen "$listen" --data "$PAVO_E2E_DATA" --port-file "$work/server.port" \
        --exit-with-parent >>"$work/server.log" 2>&1 &
    server_pid=$!
    local end=$((SECONDS + 15))
    while [ $SECONDS -lt $end ]; do
        [ -s "$work/server.port" ] && { server_port=$(cat "$work/server.port"); return 0; }
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    e2e_fail "the operator server did not start on $listen"
}
server_stop() {
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
    server_pid=
}
server_url() { echo "http://127.0.0.1:$server_port"; }

# Waits up to $2 seconds for a line matching the extended regex $1 in file $3.
wait_line() {
    local end=$((SECONDS + $2))
    while [ $SECONDS -lt $end ]; do
        grep -Eq "$1" "$3" 2>/dev/null && return 0
        sleep 0.5
    done
    return 1
}
count_lines() { grep -Ec "$1" "$2" 2>/dev/null || true; }

agent_log() { cat "$INSTALL_DIR"/Log/PavoAgent.exe_session_*.log 2>/dev/null; }
# Windows process ids of agents that logged their start and not their end.
agent_pids() {
    agent_log | awk '
        /\[info\] 에이전트가 시작되었습니다\./ { match($0, /\[pid:[0-9]+\]/); p = substr($0, RSTART + 5, RLENGTH - 6); started[p] = 1 }
        /유효성 점검에 실패했습니다|에이전트를 종료합니다/ { match($0, /\[pid:[0-9]+\]/); ended[substr($0, RSTART + 5, RLENGTH - 6)] = 1 }
        END { for (p in started) if (!(p in ended)) print p }'
}
# Whether a Windows process id is alive in the prefix.
win_processes() { wine "$UI_PROBE" --processes 2>/dev/null; }
win_alive() {
    win_processes | awk -F'\t' -v pid="$1" '$1 == pid { found = 1 } END { exit !found }'
}
wait_agent_running() {
    local end=$((SECONDS + $1)) p
    while [ $SECONDS -lt $end ]; do
        for p in $(agent_pids); do
            win_alive "$p" && return 0
        done
        sleep 0.5
    done
    return 1
}
wait_agents_ended() {
    local end=$((SECONDS + $1)) p alive
    while [ $SECONDS -lt $end ]; do
        alive=
        for p in $(win_processes | awk -F'\t' 'tolower($2) == "pavoagent.exe" { print $1 }'); do
            alive=1
        done
        [ -z "$alive" ] && return 0
        sleep 0.5
    done
    return 1
}

e2e_setup() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    local end=$((SECONDS + 20))
    while [ $SECONDS -lt $end ] && [ ! -s "$work/display" ]; do sleep 0.05; done
    [ -s "$work/display" ] || e2e_fail "Xvfb did not start"
    DISPLAY=":$(tr -d '\n' <"$work/display")"
    export DISPLAY

    server_start

    export WINEPREFIX=$work/prefix WINEDEBUG=-all
    # A Korean user (language/kor.json); Wine takes the Windows locale from the
    # Linux one (scripts/install-packages.sh makes it).
    export LANG=ko_KR.UTF-8
    export LC_ALL=ko_KR.UTF-8
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    prefix_made=1
    log "prefix"
    wineboot -i >"$work/wineboot.log" 2>&1 || e2e_fail "wineboot failed"
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    # The session list at the DLL boundary: Wine reports none; the tests say
    # which session is active, so that the service starts agents itself.
    local system32=$WINEPREFIX/drive_c/windows/system32
    cp -f "$PAVO_BUILD_DIR/bin/wtsapi32.dll" "$system32/wtsapi32.dll" || e2e_fail "no wtsapi32 stand-in"
    : >"$system32/wtsapi32-sessions.txt"
    wine reg add 'HKCU\Software\Wine\AppDefaults\PavoService.exe\DllOverrides' /v wtsapi32 /d native /f \
        >/dev/null 2>&1
    wineserver -w
    wineserver -p

    # The operator's server address (this run's server listens on its own
    # port) is given to the package, which writes it into the language tables.
    log "msiexec /i SERVER_URL=$(server_url)"
    wine msiexec /i "$(winepath -w "$MSI")" SERVER_URL="$(server_url)" REMOTE_ASSIST_URL="$(server_url)/remote-assist" \
        /qn /l*v "$(winepath -w "$work/msiexec.log")" >"$work/msiexec.out" 2>&1 || e2e_fail "msiexec failed"
    INSTALL_DIR="$WINEPREFIX/drive_c/Program Files/Pavo Agent"
    [ -f "$INSTALL_DIR/PavoAgent.exe" ] || e2e_fail "the agent is not installed"
    # Byte for byte the shipped tables with the two addresses changed.
    local f
    for f in "$INSTALL_DIR"/language/*.json; do
        sed "s#http://127\.0\.0\.1:18480#$(server_url)#g" "$PAVO_BUILD_DIR/dist/language/$(basename "$f")" |
            cmp -s - "$f" || e2e_fail "$(basename "$f") is not the shipped table with the server's address"
    done
    SHORTCUT=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Pavo Agent.lnk' -print -quit)
    [ -n "$SHORTCUT" ] || e2e_fail "no Start-menu shortcut"
}

# The session the service sees as active ("1 active"), or none ("").
set_sessions() {
    printf '%s' "$1" >"$WINEPREFIX/drive_c/windows/system32/wtsapi32-sessions.txt"
}

# The agent as a user starts it: its Start-menu shortcut.
start_agent_from_shortcut() {
    wine start "$(winepath -w "$SHORTCUT")" >/dev/null 2>&1 || e2e_fail "the shortcut could not be opened"
    wait_agent_running 60 || e2e_fail "no agent kept running after the shortcut was opened"
    ui_origin
}

# Types id and password into the login page and presses Enter.
login_as() {
    ui_wait_for "로그인" 60 >/dev/null || e2e_fail "no login page"
    ui_type_into_field 1 "$TITLE" "$1" || e2e_fail "no id field"
    ui_type_into_field 2 "$TITLE" "$2" || e2e_fail "no password field"
    xdotool key Return
}

# Presses "전체설치", answers "계속 진행" (the wait for the result is the caller's).
press_install_all() {
    ui_click "전체설치" 30 || e2e_fail "no install-all button"
    ui_click "계속 진행" 30 || e2e_fail "no reboot question"
}

# Products of user $1 that GET /status does not report installed.
not_installed() {
    curl -s "$(server_url)/status" | python3 -c '
import json, sys
have = json.load(sys.stdin).get("users", {}).get(sys.argv[1], {})
want = ["PAVO_VIEWER", "PAVO_GUARD", "PAVO_SYNC"]
print(" ".join(p for p in want if have.get(p) != "installed"))' "$1"
}
