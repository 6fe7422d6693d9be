#!/usr/bin/env bash
# Product-check benchmark, not part of the tests: one customer with PRODUCTS
# products (default 50) on the reference operator server on 127.0.0.1, each
# product inspected by one service rule (half of the services exist). Times
# CheckProduct under Wine over ROUNDS rounds (default 5) and, separately, where
# the time goes: the product list and the status report (server round trips),
# the inspection files, and the service look-ups. Prints medians. Build first.
#
#   scripts/bench-check.sh [PRODUCTS [ROUNDS]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}
products=${1:-50}
rounds=${2:-5}
server=$build/host/bin/pavo-operator-server
bench=$build/bin/PavoCheckBench.exe
for f in "$server" "$bench"; do
    [ -f "$f" ] || { echo "bench-check: $f is missing; run scripts/build.sh" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pavo-check-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/inspection_data"
python3 - "$work" "$products" <<'PY'
import json, sys
work, count = sys.argv[1], int(sys.argv[2])
codes = ["BENCH_%02d" % i for i in range(count)]
data = {"customers": {"BENCH": {"customerName": "Bench", "co_nm": "BenchCo", "license": [
            {"type": c, "url": "${SERVER}/download/%s.exe" % c} for c in codes]}},
        "users": [{"id": "bench", "password": "pw", "customerId": "BENCH"}]}
json.dump(data, open(work + "/operator.json", "w"), indent=1)
json.dump({c: [{"type": "service", "value": "PavoBench%02d" % i}] for i, c in enumerate(codes)},
          open(work + "/data/inspection_data/inspection_data.json", "w"), indent=1)
json.dump({c: [] for c in codes}, open(work + "/data/inspection_data/additional_installer_info.json", "w"))
PY

export BENCH_WORK=$work BENCH_EXE=$bench BENCH_ROOT=$root BENCH_PRODUCTS=$products BENCH_ROUNDS=$rounds
bash "$root/scripts/with-operator-server.sh" "$server" "$work/operator.json" -- bash -c '
    set -euo pipefail
    winfolder="Z:$(echo "$BENCH_WORK/data" | tr / "\\\\")"
    PAVO_TEST_TIMEOUT=300 bash "$BENCH_ROOT/scripts/wine-run.sh" "$BENCH_EXE" "$PAVO_OPERATOR_PORT" "$winfolder" \
        "$BENCH_PRODUCTS" "$BENCH_ROUNDS" > "$BENCH_WORK/out.txt"
    echo "product check with $BENCH_PRODUCTS products against 127.0.0.1, median of $BENCH_ROUNDS rounds (ms)"
    for name in check product-list status-report inspection-files service-lookups; do
        all=$(awk -v n="$name" "\$1 == n {print \$3}" "$BENCH_WORK/out.txt")
        median=$(echo "$all" | sort -n | awk "{ v[NR] = \$1 } END { print v[int((NR + 1) / 2)] }")
        printf "  %-18s %9s   (all: %s)\n" "$name" "$median" "$(echo $all)"
    done
'
