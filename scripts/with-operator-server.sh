#!/usr/bin/env bash
# Runs a command while two reference operator servers listen on free loopback
# ports: one over HTTP and one over HTTPS with a self-signed certificate made
# for this run. The ports reach the command (and, through Wine, a Windows test)
# as PAVO_OPERATOR_PORT and PAVO_OPERATOR_TLS_PORT, the certificate's SHA-256
# fingerprint as PAVO_OPERATOR_TLS_SHA256. Both servers are stopped
# when the command ends, fails or is stopped; they also end by themselves
# should this script be killed outright.
#
#   scripts/with-operator-server.sh SERVER DATA.json -- COMMAND [ARGS...]
set -u

server=${1:?usage: with-operator-server.sh SERVER DATA.json -- COMMAND...}
data=${2:?usage: with-operator-server.sh SERVER DATA.json -- COMMAND...}
shift 2
[ "${1:-}" = "--" ] && shift
[ $# -gt 0 ] || { echo "with-operator-server: no command" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/pavo-operator.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# Starts one server and sets `port` to its port; fails after 10 s. Runs in this
# shell, not a subshell, so that the server is this script's child.
start_server() {
    local name=$1; shift
    port=
    "$server" --listen 127.0.0.1:0 --data "$data" --port-file "$work/$name.port" --exit-with-parent "$@" \
        >"$work/$name.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 200); do
        if [ -s "$work/$name.port" ]; then port=$(cat "$work/$name.port"); return 0; fi
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.05
    done
    echo "with-operator-server: the $name server did not start:" >&2
    cat "$work/$name.log" >&2
    return 1
}

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=pavo-test.invalid" \
    -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1 \
    || { echo "with-operator-server: openssl could not make a certificate" >&2; exit 1; }
PAVO_OPERATOR_TLS_SHA256=$(openssl x509 -in "$work/cert.pem" -outform DER | sha256sum | cut -d' ' -f1)
export PAVO_OPERATOR_TLS_SHA256

start_server http || exit 1
PAVO_OPERATOR_PORT=$port
start_server https --tls-cert "$work/cert.pem" --tls-key "$work/key.pem" || exit 1
PAVO_OPERATOR_TLS_PORT=$port
export PAVO_OPERATOR_PORT PAVO_OPERATOR_TLS_PORT

"$@"
rc=$?
if [ $rc != 0 ]; then
    for name in http https; do
        echo "--- operator server ($name) log, last lines ---" >&2
        tail -n 40 "$work/$name.log" >&2
    done
fi
exit $rc
