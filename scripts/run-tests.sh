#!/usr/bin/env bash
# The test command: from a fresh Debian machine (as root) to a full test run.
# Installs what is missing, builds the dependencies and the project, and runs
# the native tests of the host build and the parsers' fuzz targets, then every
# test program under Wine (its summary comes last, as the run's closing lines).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}

bash "$root/scripts/build.sh"
cd "$build"
status=0
(cd "$build/host" && ctest --output-on-failure "$@") || status=$?
# The parsers' fuzz targets: built natively, every seed replayed and a few
# seconds of fuzzing each (PAVO_FUZZ_SECONDS to change); a finding fails the run.
bash "$root/scripts/fuzz.sh" "${PAVO_FUZZ_SECONDS:-3}" || status=$?
ctest --output-on-failure -j "$(nproc)" "$@" || status=$?
exit $status
