#!/usr/bin/env bash
# Builds the native fuzz targets of the parsers (fuzz/, into build/fuzz) and
# runs each for SECONDS (default 60), one after the other on one process,
# niced: the machine is shared. Seeds come from fuzz/corpus/<target> (kept
# unchanged); what the fuzzer adds goes to build/fuzz/corpus/<target>. A
# finding (crash, leak, time-out, out-of-memory, broken invariant) is kept in
# build/fuzz/findings/<target>/ and fails the run. fuzz/options/<target>.options,
# when present, adds libFuzzer flags (one a line, "#" starts a comment), such
# as a -max_len that fits the format.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   PAVO_FUZZ_RUNS=1000000 scripts/fuzz.sh 0 fuzz_utf8   (a number of runs instead of a time)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}/fuzz
seconds=${1:-60}
shift || true

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPAVO_WERROR=ON >/dev/null
# Quiet when it builds; a failed build says why, since it fails the test run.
if ! output=$(nice -n 10 cmake --build "$build" -j "$(nproc)" 2>&1); then
    printf '%s\n' "$output" | grep -E -B2 -A6 'error|FAILED' | head -60 >&2
    echo "fuzz.sh: the fuzz targets did not build (build log above)" >&2
    exit 1
fi

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in "$root"/fuzz/targets/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

status=0
printf '%-22s %12s %8s  %s\n' target executions seconds result
for target in "${targets[@]}"; do
    work=$build/corpus/$target
    findings=$build/findings/$target
    log=$build/logs/$target.log
    mkdir -p "$work" "$findings" "$(dirname "$log")"
    options=()
    if [ -f "$root/fuzz/options/$target.options" ]; then
        mapfile -t options < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$root/fuzz/options/$target.options")
    fi
    limit=(-max_total_time="$seconds")
    [ -n "${PAVO_FUZZ_RUNS:-}" ] && limit=(-runs="$PAVO_FUZZ_RUNS")
    started=$(date +%s)
    stamp=$build/logs/$target.started
    touch "$stamp"
    rc=0
    nice -n 10 "$build/bin/$target" "${options[@]}" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -dict="$root/fuzz/dict/$target.dict" -artifact_prefix="$findings/" \
        "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1 || rc=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    result=ok
    # Findings of earlier runs stay where they are but do not count again.
    new_findings=$(find "$findings" -type f -newer "$stamp" | head -3 | tr '\n' ' ')
    if [ $rc -ne 0 ] || [ -n "$new_findings" ]; then
        result="FINDING (rc=$rc; $log; $new_findings)"
        status=1
    fi
    printf '%-22s %12s %8s  %s\n' "$target" "${executions:-?}" "$(($(date +%s) - started))" "$result"
done
exit $status
