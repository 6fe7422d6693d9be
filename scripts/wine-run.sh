#!/usr/bin/env bash
# Runs one Windows program under Wine in a throw-away prefix and returns its
# exit code. ctest uses it as the emulator for every test program.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#
# Each run gets a fresh prefix (copied from a template made once), its own
# Xvfb display unless PAVO_USE_DISPLAY is set, and a persistent wineserver so
# that a service installed by the test outlives the short-lived processes that
# talk to it. At the end only this prefix's Wine processes are ended.
#
# Environment:
#   PAVO_TEST_TIMEOUT       seconds before the program is ended (default 300)
#   PAVO_WINEDLLOVERRIDES   extra DLL overrides, e.g. "wtsapi32=n,b"
#   PAVO_WINE_WORK          folder for the template and the prefixes
#   PAVO_KEEP_PREFIX        keep the prefix for a post-mortem look
#   PAVO_WINE_DPI           the screen's dots per inch (LogPixels) for this run
set -u

work=${PAVO_WINE_WORK:-/tmp/pavo-wine}
mkdir -p "$work"
wine_version=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')
template=$work/template-$wine_version

export WINEDEBUG=${WINEDEBUG:--all}
base_overrides="mscoree,mshtml="

# Ends what a run left behind when it was killed before it could clean up:
# prefixes whose owning run is gone. Only our own prefixes are touched.
for stale in "$work"/prefix.*; do
    [ -d "$stale" ] || continue
    owner=$(cat "$stale/.owner" 2>/dev/null)
    if [ -n "$owner" ] && kill -0 "$owner" 2>/dev/null; then continue; fi
    # A prefix being set up by a live run may have no owner file yet: only
    # one that old is taken for abandoned.
    [ -n "$owner" ] || [ "$(find "$stale" -maxdepth 0 -mmin +5)" ] || continue
    WINEPREFIX=$stale wineserver -k >/dev/null 2>&1
    rm -rf "$stale"
done

# The template prefix: made once per Wine version, under a lock because ctest
# may start several runs at once.
(
    flock 9
    if [ ! -f "$template/.ready" ]; then
        rm -rf "$template"
        WINEPREFIX=$template WINEDLLOVERRIDES=$base_overrides wineboot -i >/dev/null 2>&1
        WINEPREFIX=$template wineserver -w
        touch "$template/.ready"
    fi
) 9>"$work/template.lock"

prefix=$(mktemp -d "$work/prefix.XXXXXX")
# Written whole or not at all (renamed into place): a run that read it half
# written would take this live prefix for abandoned and delete it.
echo $$ > "$prefix/.owner.new" && mv "$prefix/.owner.new" "$prefix/.owner"
cp -a "$template/." "$prefix/"
rm -f "$prefix/.ready"
export WINEPREFIX=$prefix
# Wine reads LogPixels when a process starts, from the user's desktop settings
# and the machine's font settings: both are set before its server starts.
if [ -n "${PAVO_WINE_DPI:-}" ]; then
    dpi_hex=$(printf '%08x' "$PAVO_WINE_DPI")
    sed -i "s/^\"LogPixels\"=dword:[0-9a-f]*/\"LogPixels\"=dword:$dpi_hex/" "$prefix/user.reg" "$prefix/system.reg"
fi
export WINEDLLOVERRIDES="$base_overrides${PAVO_WINEDLLOVERRIDES:+;$PAVO_WINEDLLOVERRIDES}"

xvfb_pid=
cleanup() {
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    if [ -z "${PAVO_KEEP_PREFIX:-}" ]; then rm -rf "$prefix"; else echo "wine-run: prefix kept at $prefix" >&2; fi
}
trap cleanup EXIT
trap 'exit 143' TERM INT

if [ -z "${PAVO_USE_DISPLAY:-}" ]; then
    dfile=$prefix/.display
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$dfile" ] && break
        sleep 0.05
    done
    if [ ! -s "$dfile" ]; then
        echo "wine-run: Xvfb did not start" >&2
        exit 1
    fi
    export DISPLAY=":$(tr -d '\n' < "$dfile")"
fi

# Persistent, so that Wine does not shut services down whenever the last
# ordinary process of the prefix exits.
wineserver -p

timeout --kill-after=10 "${PAVO_TEST_TIMEOUT:-300}" wine "$@"
rc=$?
[ $rc = 124 ] && echo "wine-run: $1 did not end within ${PAVO_TEST_TIMEOUT:-300} s" >&2
exit $rc
