#!/usr/bin/env bash
# Download benchmark, not part of the tests: the same 200 MB installer from the
# reference operator server on 127.0.0.1, fetched three ways in one run:
# curl on Linux, a bare WinHTTP read loop under Wine, and HttpClient under Wine.
# Prints the three times and the ratios. Build first (scripts/build.sh).
#
#   scripts/bench-http.sh [SIZE_MB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}
size_mb=${1:-200}
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
export BENCH_WORK=$work BENCH_EXE=$bench BENCH_MB=$size_mb BENCH_ROOT=$root
bash "$root/scripts/with-operator-server.sh" "$server" "$work/data.json" -- bash -c '
    set -euo pipefail
    url=http://127.0.0.1:$PAVO_OPERATOR_PORT/download/bench.bin
    # curl first: it also brings the file into the page cache for the other two.
    curl -s -o /dev/null "$url"
    curl_s=$(curl -s -o "$BENCH_WORK/out/curl.bin" -w "%{time_total}" "$url")
    winout="Z:$(echo "$BENCH_WORK/out" | tr / "\\\\")"
    PAVO_TEST_TIMEOUT=600 bash "$BENCH_ROOT/scripts/wine-run.sh" "$BENCH_EXE" "$url" "$winout" > "$BENCH_WORK/wine.txt"
    expected=$(stat -c %s "$BENCH_WORK/installers/bench.bin")
    bare_ms=$(awk "/^bare-winhttp/ {print \$3}" "$BENCH_WORK/wine.txt")
    client_ms=$(awk "/^httpclient/ {print \$3}" "$BENCH_WORK/wine.txt")
    curl_ms=$(awk -v s="$curl_s" "BEGIN {printf \"%.1f\", s * 1000}")
    for name in curl bare client; do
        [ "$(stat -c %s "$BENCH_WORK/out/$name.bin")" = "$expected" ] || { echo "bench-http: $name.bin is incomplete" >&2; exit 1; }
        cmp -s "$BENCH_WORK/out/$name.bin" "$BENCH_WORK/installers/bench.bin" || { echo "bench-http: $name.bin differs" >&2; exit 1; }
    done
    echo "download of $BENCH_MB MB from 127.0.0.1 ($expected bytes)"
    printf "  %-26s %10s ms\n" "curl (Linux)" "$curl_ms" "bare WinHTTP loop (Wine)" "$bare_ms" "HttpClient (Wine)" "$client_ms"
    awk -v b="$bare_ms" -v c="$client_ms" -v u="$curl_ms" "BEGIN {
        printf \"  throughput HttpClient/bare WinHTTP = %.2f (time bare/HttpClient; goal >= 0.9)\n\", b / c
        printf \"  throughput HttpClient/curl         = %.2f (time curl/HttpClient)\n\", u / c
    }"
'
