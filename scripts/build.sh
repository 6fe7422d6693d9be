#!/usr/bin/env bash
# Installs what is missing, builds the libraries for the Windows target (or
# takes them from the cache), then configures and builds everything into
# build/ (PAVO_BUILD_DIR to change it). The install folder is build/dist.
# The reference operator server is a native Linux program, built with the host
# compiler by a second configure into build/host.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_BUILD_DIR:-$root/build}

bash "$root/scripts/install-packages.sh"
bash "$root/scripts/build-deps.sh" "$build/deps.cmake"
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DPAVO_DEPS_FILE="$build/deps.cmake" \
    -DPAVO_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

cmake -S "$root/tools/operator-server" -B "$build/host" -G Ninja -DPAVO_WERROR=ON >/dev/null
cmake --build "$build/host" -j "$(nproc)"

# The demo data set's installers: copies of the fake installer, whose file
# name selects what it does (deploy/operator/installers/README.txt).
[ -f "$build/bin/PavoFakeInstaller.exe" ] && for name in PavoViewerSetup PavoGuardSetup PavoSyncSetup; do
    cp -f "$build/bin/PavoFakeInstaller.exe" "$root/deploy/operator/installers/$name.exe"
done
