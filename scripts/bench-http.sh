#!/usr/bin/env bash
# Download benchmark, not part of the tests: the same 200 MB installer from the
# reference operator server on 127.0.0.1, fetched three ways in one run:
# curl on Linux, a bare WinHTTP read loop under Wine, and HttpClient under Wine.
# Each way runs ROUNDS times (Wine's two alternating); the median times and
# their ratios are printed. Build first (scripts/build.sh).
#
#   scripts/bench-http.sh [SIZE_MB [ROUNDS]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}
size_mb=${1:-200}
rounds=${2:-3}
server=$build/host/bin/pavo-operator-server
bench=$build/bin/PavoHttpBench.exe
for f in "$server" "$bench"; do
    [ -x "$f" ] || [ -f "$f" ] || { echo "bench-http: $f is missing; run scripts/build.sh" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pavo-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/installers" "$work/out"
head -c "$((size_mb * 1024 * 1024))" /dev/urandom > "$work/installers/bench.bin"
cat > "$work/data.json" <<JSON
{ "installerFolder": "installers", "customers": {}, "users": [] }
JSON

# The wrapper has variables of its own (work, ...): hand ours over under other names.
export BENCH_WORK=$work BENCH_EXE=$bench BENCH_MB=$size_mb BENCH_ROOT=$root BENCH_ROUNDS=$rounds
bash "$root/scripts/with-operator-server.sh" "$server" "$work/data.json" -- bash -c '
    set -euo pipefail
    url=http://127.0.0.1:$PAVO_OPERATOR_PORT/download/bench.bin
    # curl first: it also brings the file into the page cache for the other two.
    curl -s -o /dev/null "$url"
    median() { sort -n | awk "{ v[NR] = \$1 } END { print v[int((NR + 1) / 2)] }"; }
    for _ in $(seq "$BENCH_ROUNDS"); do
        curl -s -o "$BENCH_WORK/out/curl.bin" -w "%{time_total}\n" "$url"
    done > "$BENCH_WORK/curl.txt"
    winout="Z:$(echo "$BENCH_WORK/out" | tr / "\\\\")"
    PAVO_TEST_TIMEOUT=600 bash "$BENCH_ROOT/scripts/wine-run.sh" "$BENCH_EXE" "$url" "$winout" "$BENCH_ROUNDS" > "$BENCH_WORK/wine.txt"
    expected=$(stat -c %s "$BENCH_WORK/installers/bench.bin")
    bare_ms=$(awk "/^bare-winhttp/ {print \$3}" "$BENCH_WORK/wine.txt" | median)
    client_ms=$(awk "/^httpclient/ {print \$3}" "$BENCH_WORK/wine.txt" | median)
    curl_ms=$(awk "{printf \"%.1f\n\", \$1 * 1000}" "$BENCH_WORK/curl.txt" | median)
    for name in curl bare client; do
        [ "$(stat -c %s "$BENCH_WORK/out/$name.bin")" = "$expected" ] || { echo "bench-http: $name.bin is incomplete" >&2; exit 1; }
        cmp -s "$BENCH_WORK/out/$name.bin" "$BENCH_WORK/installers/bench.bin" || { echo "bench-http: $name.bin differs" >&2; exit 1; }
    done
    echo "download of $BENCH_MB MB from 127.0.0.1 ($expected bytes), median of $BENCH_ROUNDS rounds"
    echo "  all times (ms): curl $(awk "{printf \"%.1f \", \$1 * 1000}" "$BENCH_WORK/curl.txt")"
    awk "{ t[\$1] = t[\$1] \" \" \$3 } END { for (n in t) print \"    \" n \":\" t[n] }" "$BENCH_WORK/wine.txt"
    printf "  %-26s %10s ms\n" "curl (Linux)" "$curl_ms" "bare WinHTTP loop (Wine)" "$bare_ms" "HttpClient (Wine)" "$client_ms"
    awk -v b="$bare_ms" -v c="$client_ms" -v u="$curl_ms" "BEGIN {
        printf \"  throughput HttpClient/bare WinHTTP = %.2f (time bare/HttpClient; goal >= 0.9)\n\", b / c
        printf \"  throughput HttpClient/curl         = %.2f (time curl/HttpClient)\n\", u / c
    }"
'
