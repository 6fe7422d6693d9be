# Shared by the bench-*.sh scripts (sourced, not run): a throw-away Wine prefix
# with a persistent wineserver, the service installed in a folder of its own
# with the stand-in session list, and the Wine processes' figures from /proc.
# Everything made here is removed by bench_cleanup (set as the EXIT trap).

bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench_build=${PAVO_BUILD_DIR:-$bench_root/build}
bench_bin=$bench_build/bin
bench_work=
bench_xvfb=

bench_require() {
    local f
    for f in "$@"; do
        [ -f "$f" ] || { echo "bench: $f is missing; run scripts/build.sh" >&2; exit 1; }
    done
}

bench_cleanup() {
    if [ -n "$bench_work" ] && [ -d "$bench_work/prefix" ]; then
        WINEPREFIX=$bench_work/prefix wineserver -k >/dev/null 2>&1
        WINEPREFIX=$bench_work/prefix wineserver -w >/dev/null 2>&1
    fi
    [ -n "$bench_xvfb" ] && kill "$bench_xvfb" 2>/dev/null && wait "$bench_xvfb" 2>/dev/null
    [ -n "$bench_work" ] && [ -z "${PAVO_KEEP_PREFIX:-}" ] && rm -rf "$bench_work"
    [ -n "${PAVO_KEEP_PREFIX:-}" ] && [ -n "$bench_work" ] && echo "bench: work folder kept at $bench_work" >&2
    return 0
}

# A new prefix copied from the template that scripts/wine-run.sh keeps (made
# here through wine-run.sh when it does not exist yet), made before its
# persistent wineserver starts: services never start in a prefix that was
# made under a running persistent server.
bench_prefix() {
    local label=$1
    local wine_work=${PAVO_WINE_WORK:-/tmp/pavo-wine}
    local template=$wine_work/template-$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')
    if [ ! -f "$template/.ready" ]; then
        PAVO_TEST_TIMEOUT=120 bash "$bench_root/scripts/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1
        [ -f "$template/.ready" ] || { echo "bench: no Wine template prefix at $template" >&2; exit 1; }
    fi
    bench_work=$(mktemp -d "${TMPDIR:-/tmp}/pavo-bench-$label.XXXXXX")
    trap bench_cleanup EXIT
    trap 'exit 143' TERM INT
    mkdir -p "$bench_work/prefix"
    cp -a "$template/." "$bench_work/prefix/"
    rm -f "$bench_work/prefix/.ready"
    export WINEPREFIX=$bench_work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY
    wineserver -p
}

# An Xvfb display for programs with windows.
bench_display() {
    local dfile=$bench_work/.display
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dfile" >/dev/null 2>&1 &
    bench_xvfb=$!
    for _ in $(seq 100); do [ -s "$dfile" ] && break; sleep 0.05; done
    [ -s "$dfile" ] || { echo "bench: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(tr -d '\n' < "$dfile")"
}

# The service's install folder: the service, its language files, the
# stand-in wtsapi32.dll with the given session list ("" for none: Wine's own
# empty list) and, as PavoAgent.exe, the program given (default the stand-in
# agent). Sets bench_svc.
bench_service_folder() {
    local sessions=$1 agent=${2:-$bench_bin/PavoTestAgent.exe}
    bench_svc=$bench_work/svc
    mkdir -p "$bench_svc"
    cp "$bench_bin/PavoService.exe" "$bench_svc/"
    cp -r "$bench_bin/language" "$bench_svc/"
    cp "$agent" "$bench_svc/PavoAgent.exe"
    [ -n "$sessions" ] && bench_session_stub "$bench_svc" PavoService.exe "$sessions"
    return 0
}

# Puts the stand-in wtsapi32.dll with the session list $3 into the prefix's
# System32 (the programs load that DLL from System32 only; $1 is unused) and
# chooses it for program $2. The service's environment is rebuilt by the
# service manager, so the choice goes to the registry, per program.
bench_session_stub() {
    local system32=$WINEPREFIX/drive_c/windows/system32
    cp "$bench_bin/wtsapi32.dll" "$system32/"
    printf '%b' "$3" > "$system32/wtsapi32-sessions.txt"
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$2\\DllOverrides" /v wtsapi32 /d native /f >/dev/null 2>&1
}

bench_service_log() {
    cat "$bench_svc"/Log/*.log 2>/dev/null
}

# Waits up to $2 seconds until the service's log holds the text $1.
bench_wait_log() {
    local text=$1 seconds=$2
    for _ in $(seq $((seconds * 20))); do
        bench_service_log | grep -qF -- "$text" && return 0
        sleep 0.05
    done
    return 1
}

# Unix process ids of this prefix's Wine processes whose program is $1 (the
# executable's file name, as Windows shows it), one a line.
bench_unix_pids() {
    local name=${1,,} pid cmd comm
    for pid in $(pgrep -u "$(id -u)"); do
        { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        # Wine names the process after its executable (cut to 15 characters)
        # and shows the Windows command line: "Z:\...\NAME.exe args", or only
        # the arguments when the starter passed no program name in it.
        comm=$(cat "/proc/$pid/comm" 2>/dev/null)
        if [ "${comm,,}" = "${name:0:15}" ]; then echo "$pid"; continue; fi
        cmd=$({ tr '\0' ' ' < "/proc/$pid/cmdline"; } 2>/dev/null)
        cmd=${cmd,,}
        case "$cmd" in
            "$name"|"$name "*|*[\\/]"$name"|*[\\/]"$name "*) echo "$pid"; continue ;;
        esac
        # A program started with a command line of arguments only (the agent's
        # is "LANCH_SERVICE") is known by its image, which Wine maps from the file.
        grep -qi "/$name\$" "/proc/$pid/maps" 2>/dev/null && echo "$pid"
    done
    return 0
}

# Waits up to $2 seconds for one process of program $1; prints its unix id.
bench_wait_pid() {
    local name=$1 seconds=$2 pid
    for _ in $(seq $((seconds * 10))); do
        pid=$(bench_unix_pids "$name" | head -n 1)
        [ -n "$pid" ] && { echo "$pid"; return 0; }
        sleep 0.1
    done
    return 1
}

# CPU time (user + system) of a unix process in clock ticks.
bench_cpu_ticks() {
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}

# CPU time of a unix process's live threads in nanoseconds (schedstat), finer
# than the clock ticks of /proc/PID/stat.
bench_cpu_ns() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'
}

# Unix process ids of every Wine process of this prefix, one a line.
bench_prefix_pids() {
    local pid
    for pid in $(pgrep -u "$(id -u)"); do
        { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
    return 0
}

bench_median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'
}

# The probe's windows path for a unix path.
bench_winpath() {
    echo "Z:$(echo "$1" | tr / '\\')"
}

# The rows of two memory breakdowns (scripts/memory-breakdown.py, written to
# DIR/PROGRAM.breakdown) side by side in MB: PROGRAM, BASE and the difference.
bench_breakdown_rows() {  # dir program base
    local dir=$1 program=$2 base=$3 label key s b
    while IFS='|' read -r label key; do
        s=$(sed -n "s/^$key=//p" "$dir/$program.breakdown" | head -n 1)
        b=$(sed -n "s/^$key=//p" "$dir/$base.breakdown" | head -n 1)
        s=${s:-0} b=${b:-0}
        printf "  %-34s %9s %9s %9s\n" "$label" "$(awk -v k="$s" 'BEGIN { printf "%.1f", k / 1024 }')" \
            "$(awk -v k="$b" 'BEGIN { printf "%.1f", k / 1024 }')" \
            "$(awk -v k="$((s - b))" 'BEGIN { printf "%.1f", k / 1024 }')"
    done <<'ROWS'
private dirty (smaps_rollup)|smaps_private_dirty_kb
private pages (pagemap), of which:|pagemap_private_kb
  thread stacks (live threads)|stacks_kb
  stack of an ended thread|ended_thread_stack_kb
  Wine's kernel stacks (1 MB each)|wine_kernel_stacks_kb
  TEBs|tebs_kb
  process heap|process_heap_kb
  other Windows allocations|windows_other_private_kb
  Windows mapped views|windows_mapped_kb
  program image: code and data|program_image_code_data_kb
  program image: debug sections|program_image_debug_kb
  system DLL images|system_images_kb
  Wine's Linux side: malloc heap|wine_unix_malloc_kb
  Wine's Linux side: libraries|wine_unix_libraries_kb
  Wine's Linux side: other|wine_unix_other_kb
ROWS
}
