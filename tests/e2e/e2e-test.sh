#!/usr/bin/env bash
# End-to-end tests of the installed product: the MSI in a fresh prefix, the
# real service and agent, the reference operator server; the agent driven
# with the real mouse and keyboard (xdotool) under an own X display.
#
#   e2e-test.sh install-all | resume | login-faults
#
# install-all:  log in (automatic login on), install all; the server reports
#               every product installed; the agent's log and the server's
#               request log agree; the service's stop ends the agent, whose
#               saved configuration logs it in again at its next start.
# resume:       the agent is killed in the middle of "install all"; the service
#               starts it again; it logs in by itself and finishes; nothing
#               that was installed is installed again.
# login-faults: five wrong passwords lock the account; the server down at
#               login shows the connection error and the same login works once
#               it is up; a notice set on the server reaches the notice window
#               with the next heartbeat.
. "$(dirname "$0")/e2e-lib.sh"

DONE_ALL="모든 소프트웨어 설치가 완료되었습니다."

downloads_of() { count_lines "GET /download/$1 -> 200" "$work/server.log"; }
logins() { count_lines "POST /agent/login -> " "$work/server.log"; }

case_install_all() {
    start_agent_from_shortcut
    ui_wait_for "로그인" 60 >/dev/null || e2e_fail "no login page"
    ui_click "자동 로그인" 10 || e2e_fail "no automatic-login box"
    login_as demo demo1234
    ui_wait_for "전체설치" 60 >/dev/null || e2e_fail "no product list after the login"
    log "logged in; installing all"
    press_install_all
    ui_wait_shows "$DONE_ALL" 150 || e2e_fail "no success message for install all"

    # Confirming the result refreshes the list, which reports what it finds.
    ui_click "확인" 10 || e2e_fail "no OK button under the result"
    local missing end=$((SECONDS + 60))
    while missing=$(not_installed demo) && [ -n "$missing" ] && [ $SECONDS -lt $end ]; do sleep 0.5; done
    [ -z "$missing" ] || e2e_fail "the server does not report installed: $missing"
    # One download per product, and the report of the result.
    local product
    for product in PavoViewerSetup.exe PavoGuardSetup.exe PavoSyncSetup.exe; do
        [ "$(downloads_of "$product")" = 1 ] || e2e_fail "$product downloaded $(downloads_of "$product") times"
    done
    [ "$(logins)" = 1 ] || e2e_fail "$(logins) logins for one session"
    [ "$(count_lines "POST /agent/license-status -> 200" "$work/server.log")" -ge 2 ] ||
        e2e_fail "no status report after the installation"
    # The agent logged no failure for what the server answered (the first
    # instance, started without arguments, logs that it hands over to its
    # elevated relaunch).
    if agent_log | grep '\[error\]' | grep -vq '유효성 점검에 실패했습니다'; then
        agent_log | grep '\[error\]' >&2
        e2e_fail "the agent logged errors while the server answered every request"
    fi

    log "stopping the service"
    local config="$INSTALL_DIR/config/config.cfg" agent
    agent=$(agent_pids | head -n 1)
    touch -d '-2 seconds' "$work/before-stop"
    wine "C:\\Program Files\\Pavo Agent\\PavoService.exe" stop >"$work/stop.out" 2>&1 ||
        e2e_fail "PavoService.exe stop failed: $(cat "$work/stop.out")"
    wait_agents_ended 30 || e2e_fail "the agent did not end after the service stopped"
    agent_log | grep "\[pid:$agent\]" | grep -q "에이전트를 종료합니다" ||
        e2e_fail "agent $agent did not go through its exit (no exit line in its log)"
    [ "$config" -nt "$work/before-stop" ] || e2e_fail "the configuration was not saved at exit"

    # The saved id, password and automatic-login state: the next start logs
    # in without a keystroke. Started by hand with the service stopped, the
    # agent starts the service and ends; the service starts the agent in the
    # active session.
    local before
    before=$(logins)
    set_sessions "1 active"
    start_agent_from_shortcut
    ui_wait_for "전체설치" 60 >/dev/null || e2e_fail "the agent did not log in by itself after its restart"
    [ "$(logins)" -gt "$before" ] || e2e_fail "no login request after the restart"
    log "install-all: passed"
}

case_resume() {
    # The second product's installer takes 8 s (the resume data file).
    local guard="PavoGuardSetup~svc=PavoGuard~proc=PavoGuardUpdater~mutex=PavoGuard_Setup~ms=8000.exe"
    start_agent_from_shortcut
    login_as demo demo1234
    ui_wait_for "전체설치" 60 >/dev/null || e2e_fail "no product list after the login"
    press_install_all

    # The second product's installer has been fetched and runs: the first
    # product is installed, the second is under way.
    wait_line "GET /download/$guard -> 200" 90 "$work/server.log" ||
        e2e_fail "install all never reached the second product"
    set_sessions "1 active"
    local agent
    agent=$(agent_pids | head -n 1)
    [ -n "$agent" ] || e2e_fail "no running agent to kill"
    log "killing agent $agent in the middle of install all"
    wine taskkill /f /pid "$agent" >/dev/null 2>&1
    local killed_at=$SECONDS end=$((SECONDS + 20))
    while [ $SECONDS -lt $end ] && win_alive "$agent"; do sleep 0.5; done
    win_alive "$agent" && e2e_fail "agent $agent did not end"

    # The service starts a new one (its check runs every 30 s).
    local logins_before restarted=
    logins_before=$(logins)
    end=$((killed_at + 45))
    while [ $SECONDS -lt $end ]; do
        if agent_pids | grep -vqx "$agent"; then
            restarted=1
            break
        fi
        sleep 0.5
    done
    [ -n "$restarted" ] || e2e_fail "the service did not start the agent again within 45 s"
    log "the service started the agent again $((SECONDS - killed_at)) s after the kill"
    local again
    again=$(agent_pids | grep -vx "$agent" | head -n 1)
    agent_log | grep "\[pid:$again\]" | head -n 3

    # It logs in by itself and finishes without asking; confirming its
    # result refreshes the list, which reports to the server.
    ui_wait_shows "$DONE_ALL" 120 || e2e_fail "the continued installation did not finish"
    ui_click "확인" 10 || e2e_fail "no OK button under the result"
    end=$((SECONDS + 60))
    while [ $SECONDS -lt $end ] && [ -n "$(not_installed demo)" ]; do sleep 0.5; done
    [ "$(logins)" -gt "$logins_before" ] || e2e_fail "the restarted agent did not log in by itself"
    local missing
    missing=$(not_installed demo)
    [ -z "$missing" ] || e2e_fail "after the resume the server does not report installed: $missing"
    [ "$(downloads_of PavoViewerSetup.exe)" = 1 ] ||
        e2e_fail "the product installed before the kill was installed again"
    [ "$(downloads_of PavoSyncSetup.exe)" = 1 ] || e2e_fail "PavoSyncSetup.exe downloaded $(downloads_of PavoSyncSetup.exe) times"
    [ "$(downloads_of "$guard")" -le 2 ] || e2e_fail "the interrupted product was downloaded more than twice"
    log "resume: passed"
}

case_login_faults() {
    start_agent_from_shortcut
    local attempt
    for attempt in 1 2 3 4 5 6; do
        local before
        before=$(logins)
        login_as lockme wrong-$attempt
        local end=$((SECONDS + 30))
        while [ $SECONDS -lt $end ] && [ "$(logins)" -le "$before" ]; do sleep 0.3; done
        ui_wait_shows "$([ $attempt -le 5 ] && echo "아이디 또는 비밀번호를 확인해 주세요." ||
            echo "아이디 또는 비밀번호 5회 오류로 사용이 제한되었습니다.")" 20 ||
            e2e_fail "wrong text after wrong password $attempt"
    done
    log "the lock text is shown"

    server_stop
    local port=$server_port
    login_as demo demo1234
    ui_wait_shows "서버 접속에 실패했습니다." 60 || e2e_fail "no connection error text with the server down"
    log "the connection error text is shown"
    server_start "$port"
    ui_click "로그인" 10 || e2e_fail "no login button"
    # The notice is set as soon as the login is answered, before the first
    # heartbeat (about ten seconds later).
    wait_line "POST /agent/login -> 200" 60 "$work/server.log" || e2e_fail "the same login did not reach the server"
    local title="E2E 공지 $$"
    curl -s -X POST -d "{\"id\": 4242, \"title\": \"$title\", \"body\": \"<p>end to end</p>\", \"date\": \"2026-12-08 09:00:00\"}" \
        "$(server_url)/admin/notice" | grep -q true || e2e_fail "the server refused the notice"
    ui_wait_for "전체설치" 60 >/dev/null || e2e_fail "no product list once the server was up"
    wait_line "POST /agent/health-check -> 200" 80 "$work/server.log" || e2e_fail "no heartbeat"
    ui_wait_for "공지사항" 30 >/dev/null || e2e_fail "no notice window after the heartbeat"
    ui_wait_shows "$title" 10 || e2e_fail "the notice window does not show the server's title"
    log "login-faults: passed"
}

e2e_setup
case ${1:-} in
install-all) case_install_all ;;
resume) case_resume ;;
login-faults) case_login_faults ;;
*) e2e_fail "unknown case '${1:-}'" ;;
esac
