#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and the deb-src
# entry that the dependency build reads sources from. Safe to run repeatedly.
set -euo pipefail

if [ "$(id -u)" != 0 ]; then
    echo "install-packages.sh: run as root" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive

# Source packages come from the same mirrors and suites as the binary ones.
src_list=/etc/apt/sources.list.d/pavo-deb-src.sources
if [ ! -f "$src_list" ]; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$src_list"
    else
        grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/pavo-deb-src.list
        touch "$src_list"
    fi
    need_update=1
fi

packages=(
    build-essential cmake ninja-build dpkg-dev perl ca-certificates
    g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth x11-utils wixl msitools
    # Signing releases (scripts/sign.sh), the signing test and the test installers.
    osslsigncode
    # Driving and photographing the windows: the demo and the end-to-end tests.
    xdotool python3 locales
    libcpp-httplib-dev libjsoncpp-dev libssl-dev libgtest-dev openssl curl
    # The skin: SVG rendering, strips and animation, the archive, the shipped fonts.
    librsvg2-bin imagemagick zip fonts-nanum
    # Native fuzz targets of the parsers: clang with libFuzzer and the sanitizers.
    clang-14 libfuzzer-14-dev zlib1g-dev
    # The start-up benchmark's screen watcher.
    libx11-dev libxext-dev
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# apt-get source needs a fresh list of the deb-src entries.
if [ -n "${need_update:-}" ] || [ ${#missing[@]} -gt 0 ] || ! apt-cache showsrc libjsoncpp >/dev/null 2>&1 \
    || [ -z "$(apt-cache showsrc libjsoncpp 2>/dev/null)" ]; then
    apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The demo and the end-to-end tests run the agent as a Korean user; Wine takes
# the Windows locale from the Linux one, which must exist for that.
if ! locale -a 2>/dev/null | grep -qix 'ko_KR.utf8'; then
    localedef -i ko_KR -c -f UTF-8 ko_KR.UTF-8
fi
