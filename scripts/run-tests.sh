#!/usr/bin/env bash
# The test command: from a fresh Debian machine (as root) to a full test run.
# Installs what is missing, builds the dependencies and the project, and runs
# the native tests of the host build, then every test program under Wine (its
# summary comes last, as the run's closing lines).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}

bash "$root/scripts/build.sh"
cd "$build"
status=0
(cd "$build/host" && ctest --output-on-failure "$@") || status=$?
ctest --output-on-failure -j "$(nproc)" "$@" || status=$?
exit $status
