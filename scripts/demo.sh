#!/usr/bin/env bash
# The whole product on one machine, the way an organisation runs it: the
# reference operator server with the demo data, the MSI installed into a
# fresh Wine prefix, the service running, the agent started from its
# Start-menu shortcut.
#
#   bash scripts/demo.sh [--headless]
#
# With a desktop (DISPLAY set, no --headless) the agent's windows appear on
# the user's screen; otherwise the script runs its own Xvfb. Everything lands
# in build/demo/: the prefix, the installer's log, the server's GET /status as
# status.json, both programs' logs and the configuration file. Every process
# the script starts is ended when it finishes, fails or is interrupted.
#
# Run as root on Debian 12: it installs what it needs through
# scripts/install-packages.sh and builds (scripts/build.sh) when the build is
# missing or stale.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}
demo=$build/demo
port=18480
server_url=http://127.0.0.1:$port

headless=
for arg in "$@"; do
    case $arg in
    --headless) headless=1 ;;
    -h | --help)
        sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "demo: unknown argument '$arg' (try --help)" >&2
        exit 2
        ;;
    esac
done
[ -n "${DISPLAY:-}" ] || headless=1

say() { echo "demo: $*"; }
fail() {
    echo "demo: FAILED: $*" >&2
    exit 1
}

if [ "$(id -u)" != 0 ]; then
    echo "demo: run as root (it installs packages)" >&2
    exit 1
fi

# --- processes this run owns, ended on every way out ----------------------
server_pid=
xvfb_pid=
prefix_started=
cleanup() {
    if [ -n "$prefix_started" ]; then
        # The service first, so that it ends its agents and logs its stop.
        [ -f "$WINEPREFIX/drive_c/Program Files/Pavo Agent/PavoService.exe" ] &&
            wine "C:\\Program Files\\Pavo Agent\\PavoService.exe" stop >/dev/null 2>&1
        wineserver -k >/dev/null 2>&1
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    if [ -n "$server_pid" ]; then
        kill -TERM "$server_pid" 2>/dev/null
        wait "$server_pid" 2>/dev/null
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- build ------------------------------------------------------------------
mkdir -p "$build"
build_log=$build/demo-build.log
say "installing packages and building (log: $build_log)"
if ! bash "$root/scripts/build.sh" >"$build_log" 2>&1; then
    tail -n 30 "$build_log" >&2
    fail "the build failed"
fi
msi=$build/package/PavoAgent.msi
server=$build/host/bin/pavo-operator-server
[ -f "$msi" ] || fail "$msi was not built"
[ -x "$server" ] || fail "$server was not built"
for installer in PavoViewerSetup PavoGuardSetup PavoSyncSetup; do
    [ -f "$root/deploy/operator/installers/$installer.exe" ] ||
        fail "deploy/operator/installers/$installer.exe is missing (scripts/build.sh copies the fake installer there)"
done

# A previous run that was killed outright may have left its prefix's
# processes behind; they belong to this demo, so end them.
[ -d "$demo/prefix" ] && WINEPREFIX=$demo/prefix wineserver -k >/dev/null 2>&1
rm -rf "$demo"
mkdir -p "$demo"
mv -f "$build_log" "$demo/build.log"

# --- 1. the operator's server -----------------------------------------------
if curl -s -o /dev/null "$server_url/status"; then
    fail "something already answers on 127.0.0.1:$port; stop it first"
fi
say "starting the reference operator server on 127.0.0.1:$port (deploy/operator/demo.json)"
"$server" --listen "127.0.0.1:$port" --data "$root/deploy/operator/demo.json" --exit-with-parent \
    >"$demo/operator-server.log" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
    curl -s -o /dev/null "$server_url/status" && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
curl -s -o /dev/null "$server_url/status" || {
    cat "$demo/operator-server.log" >&2
    fail "the operator server did not start"
}

# --- the screen --------------------------------------------------------------
if [ -n "$headless" ]; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$demo/.display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$demo/.display" ] && break
        sleep 0.05
    done
    [ -s "$demo/.display" ] || fail "Xvfb did not start"
    DISPLAY=":$(tr -d '\n' <"$demo/.display")"
    export DISPLAY
    say "headless: own X display $DISPLAY"
else
    say "desktop: the agent's windows appear on $DISPLAY"
fi

# --- 2. a fresh prefix and the package ----------------------------------------
export WINEPREFIX=$demo/prefix
export WINEDEBUG=-all
# A Korean user: the agent's texts come from language/kor.json. Wine takes
# the Windows locale from the Linux one (scripts/install-packages.sh makes it).
export LANG=ko_KR.UTF-8
export LC_ALL=ko_KR.UTF-8
# No Mono/Gecko prompts; no menu entries on the Linux desktop for the
# package's shortcut.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
say "making a fresh Wine prefix at $WINEPREFIX"
prefix_started=1
wineboot -i >"$demo/wineboot.log" 2>&1 || fail "wineboot failed (see $demo/wineboot.log)"
# One desktop window holds every window of the prefix, with its tray.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
# The prefix must be complete before the persistent server starts, or Wine
# never starts services; persistent, so that the service outlives msiexec.
wineserver -w
wineserver -p

say "installing $msi (msiexec /i ... /qn)"
wine msiexec /i "$(winepath -w "$msi")" /qn /l*v "$(winepath -w "$demo/msiexec-install.log")" \
    >"$demo/msiexec.out" 2>&1
rc=$?
[ $rc = 0 ] || fail "msiexec ended with $rc (see $demo/msiexec-install.log)"

install_dir="$WINEPREFIX/drive_c/Program Files/Pavo Agent"
if [ ! -f "$install_dir/PavoService.exe" ] || [ ! -f "$install_dir/PavoAgent.exe" ]; then
    fail "the programs are not in C:\\Program Files\\Pavo Agent"
fi

image_path=$(wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\PavoService' /v ImagePath 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *ImagePath *REG_[A-Z_]* *//p')
[ "$image_path" = '"C:\Program Files\Pavo Agent\PavoService.exe"' ] ||
    fail "the service's ImagePath is [$image_path], not the quoted program path"
running=
for _ in $(seq 60); do
    if wine sc query PavoService 2>/dev/null | tr -d '\r' | grep -q 'STATE *: *4'; then
        running=1
        break
    fi
    sleep 0.25
done
[ -n "$running" ] || fail "the service is not running"
say "service PavoService running, ImagePath $image_path"

# --- 3. the agent, as a user starts it ----------------------------------------
# The shortcut itself, opened the way the Start menu opens it. Windows puts a
# per-machine package's shortcut into the all-users Programs folder; Wine's
# installer uses the user's.
shortcut=$(find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Pavo Agent.lnk' -print -quit)
[ -n "$shortcut" ] || fail "no Start-menu shortcut 'Pavo Agent'"
say "starting the agent from its shortcut: $(winepath -w "$shortcut")"
wine start "$(winepath -w "$shortcut")" >/dev/null 2>&1 || fail "the shortcut could not be opened"

# Without arguments the agent relaunches itself elevated ("RUN_ADMIN"); that
# instance finds the service running and goes on. Each instance logs its
# start; one that gives up logs the validity-check error.
agent_up() {
    cat "$install_dir"/Log/PavoAgent.exe_session_*.log 2>/dev/null | awk '
        /\[info\] 에이전트가 시작되었습니다\./ { match($0, /\[pid:[0-9]+\]/); started[substr($0, RSTART, RLENGTH)] = 1 }
        /유효성 점검에 실패했습니다|에이전트를 종료합니다/ { match($0, /\[pid:[0-9]+\]/); ended[substr($0, RSTART, RLENGTH)] = 1 }
        END { for (p in started) if (!(p in ended)) found = 1; exit !found }'
}
up=
for _ in $(seq 120); do
    if agent_up; then
        up=1
        break
    fi
    sleep 0.25
done
[ -n "$up" ] || fail "no agent kept running after the shortcut was opened (see $install_dir/Log)"
say "the agent runs (relaunched elevated; the service was running)"

# --- 4./5. the user-interface steps ---------------------------------------------
# shellcheck source=scripts/ui-drive.sh
. "$root/scripts/ui-drive.sh"
UI_PROBE=$build/bin/PavoWindowProbe.exe
[ -f "$UI_PROBE" ] || fail "$UI_PROBE was not built"
ui_steps_done=
title="Pavo 통합에이전트"

agent_ended() { ! agent_up; }
wait_agent_end() {
    local end=$((SECONDS + $1))
    while [ $SECONDS -lt $end ]; do
        agent_ended && return 0
        sleep 0.5
    done
    return 1
}
# What GET /status says (or the saved answer in file $1) as a table.
print_installed() {
    { if [ -n "${1:-}" ]; then cat "$1"; else curl -s "$server_url/status"; fi; } | python3 -c '
import json, sys
users = json.load(sys.stdin).get("users", {})
if not users: print("  (nothing reported yet)")
for user, products in sorted(users.items()):
    for product, state in sorted(products.items()):
        print("  %-8s %-12s %s" % (user, product, state))'
}

if [ -z "$headless" ]; then
    cat <<EOT

The agent's window "$title" is on your screen (inside the Wine desktop
window). Try it:
  1. log in with the id demo and the password demo1234;
  2. press "전체설치" (install all) and answer "계속 진행", or install one
     product with its "설치하기" button;
  3. use the tray icon (bottom right of the Wine desktop): open, notice,
     refresh, log out, exit.
Choosing "종료" in the tray menu stops the service, which ends the agent.
This script waits until the agent ends.
EOT
    while ! agent_ended; do sleep 1; done
    say "the agent has ended; the server's view of what is installed:"
    print_installed
    ui_steps_done=1
else
    ui_origin
    step=0
    shot() {
        step=$((step + 1))
        ui_shot "$(printf '%s/%02d-%s.png' "$demo" "$step" "$1")"
    }
    ui_flow() {
        ui_wait_for "로그인" 60 >/dev/null || return 1
        shot login-page
        say "logging in as demo (keyboard into the login page)"
        ui_type_into_field 1 "$title" demo || { echo "demo: no id field" >&2; return 1; }
        xdotool key Tab
        xdotool type --delay 40 demo1234
        shot login-typed
        xdotool key Return
        ui_wait_for "전체설치" 60 >/dev/null || return 1
        shot product-list
        # The server's notice comes with the first heartbeat, about ten seconds
        # after the login, in its own window over the main one.
        if ui_wait_for "공지사항" 40 >/dev/null; then
            # Without an HTML engine in the prefix the body turns to plain
            # text once the view has waited 3 s for its document.
            sleep 4
            shot notice
            ui_click "확인" 10 || return 1
            ui_wait_gone "공지사항" 20 || return 1
        else
            say "no notice window appeared (continuing)"
        fi
        # A lost session (a heartbeat that failed, say on a busy machine)
        # brings the login page back; a user logs in again.
        if ui_find "로그인" >/dev/null; then
            say "the session was lost (see the agent's log); logging in again"
            shot session-lost
            ui_type_into_field 1 "$title" demo || return 1
            ui_type_into_field 2 "$title" demo1234 || return 1
            xdotool key Return
            ui_wait_for "전체설치" 60 >/dev/null || return 1
        fi
        # The server slows the downloads to about three seconds each, so that
        # the picture catches one under way with its progress.
        local size rate
        size=$(stat -c %s "$root"/deploy/operator/installers/*.exe 2>/dev/null | sort -n | head -1)
        rate=$(( ${size:-300000} / 3 + 1 ))
        curl -s -X POST -H 'Content-Type: application/json' \
            -d "{\"path\": \"/download\", \"bytesPerSecond\": $rate}" "$server_url/admin/fault" >/dev/null ||
            say "the server did not take the download throttle (continuing)"
        say "pressing \"전체설치\" with the mouse"
        ui_click "전체설치" 20 || return 1
        ui_wait_for "계속 진행" 30 >/dev/null || return 1
        shot reboot-question
        ui_click "계속 진행" 10 || return 1
        # The step line reads "다운로드 중 42% · …" while a download runs.
        if ui_wait_shows "% · " 30; then
            shot download-progress
        else
            say "no download progress was seen (continuing)"
        fi
        curl -s -X POST -H 'Content-Type: application/json' -d '{"path": "/download"}' \
            "$server_url/admin/fault" >/dev/null
        shot installing
        ui_wait_shows "모든 소프트웨어 설치가 완료되었습니다." 180 || return 1
        shot install-all-done
        ui_click "확인" 10 || return 1
        ui_wait_gone "모든 소프트웨어 설치가 완료되었습니다." 20 || return 1
        # The list refreshes itself after an installation.
        ui_wait_gone "목록을 조회 중입니다" 60 || return 1
        shot list-after-install
        say "stopping the service (PavoService.exe stop); it ends the agent through its exit message"
        wine "C:\\Program Files\\Pavo Agent\\PavoService.exe" stop >"$demo/service-stop.out" 2>&1
        wait_agent_end 30 || { echo "demo: the agent did not end after the service stopped" >&2; return 1; }
        shot after-service-stop
        return 0
    }
    if ui_flow; then
        ui_steps_done=1
    else
        shot failure
        echo "demo: the user-interface steps failed; the window list:" >&2
        ui_windows | awk -F'\t' '$3 == 1' >&2
    fi
fi

# --- what happened, for a look afterwards -----------------------------------------
collect() {
    curl -s "$server_url/status" >"$demo/status.json" || echo "demo: GET /status failed" >&2
    # The service's stop, logged before the logs are copied.
    wine "C:\\Program Files\\Pavo Agent\\PavoService.exe" stop >/dev/null 2>&1
    [ -d "$install_dir/Log" ] && cp -r "$install_dir/Log" "$demo/Log"
    [ -f "$install_dir/config/config.cfg" ] && cp "$install_dir/config/config.cfg" "$demo/config.cfg"
}
collect
say "server status: $demo/status.json; logs: $demo/Log/; installer log: $demo/msiexec-install.log"

[ -n "$ui_steps_done" ] || fail "the user-interface steps did not complete (screenshots in $demo)"
if [ -n "$headless" ]; then
    missing=$(python3 - "$demo/status.json" "$root/deploy/operator/demo.json" <<'EOT'
import json, sys
status = json.load(open(sys.argv[1]))
data = json.load(open(sys.argv[2]))
user = next(u for u in data["users"] if u["id"] == "demo")
products = [l["type"] for l in data["customers"][user["customerId"]]["license"]]
have = status.get("users", {}).get("demo", {})
print(" ".join(p for p in products if have.get(p) != "installed"))
EOT
    ) || fail "status.json could not be read"
    [ -z "$missing" ] || fail "the server does not report these products installed for demo: $missing"
    say "every demo product is reported installed for demo:"
    print_installed "$demo/status.json"
    say "screenshots: $(cd "$demo" && ls ./*.png | tr '\n' ' ')"
fi
exit 0
