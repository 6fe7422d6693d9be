#!/usr/bin/env bash
# Builds the third-party libraries for the Windows target from Debian's source
# packages into a cache outside the checkout, one folder per package version,
# and writes a CMake file that points the project at them.
#
#   scripts/build-deps.sh OUTPUT.cmake
#
# PAVO_DEPS_CACHE chooses the cache folder (default /var/cache/pavo-deps).
# A folder that holds a finished build is reused; anything else is rebuilt.
set -euo pipefail
shopt -s inherit_errexit

out=${1:?usage: build-deps.sh OUTPUT.cmake}
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/../cmake/mingw-w64-x86_64.cmake
cache=${PAVO_DEPS_CACHE:-/var/cache/pavo-deps}
jobs=$(nproc)
triple=x86_64-w64-mingw32
mkdir -p "$cache"

# The compiler's version is part of every key: objects from another compiler
# are not reused.
cc_version=$($triple-gcc-posix -dumpversion)

log() { printf 'build-deps: %s\n' "$*" >&2; }

# Prints the versions apt knows for a source package, newest first.
source_versions() {
    apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u -r -V
}

# Downloads and unpacks a source package into $2; prints the version taken.
# A version that only the security suite lists may answer 404, so every known
# version is tried, newest first, until one downloads completely.
fetch_source() {
    local name=$1 dest=$2 v dl
    for v in $(source_versions "$name"); do
        dl=$(mktemp -d)
        if (cd "$dl" && apt-get source --download-only -q "$name=$v" >/dev/null 2>&1); then
            rm -rf "$dest"
            dpkg-source --no-check -x "$dl"/*.dsc "$dest" >/dev/null
            rm -rf "$dl"
            echo "$v"
            return 0
        fi
        rm -rf "$dl"
        log "$name $v could not be downloaded, trying the next version"
    done
    log "no version of the source package $name could be downloaded"
    return 1
}

# Picks the version that fetch_source would take, without downloading.
newest_version() {
    source_versions "$1" | head -n 1
}

# Returns 0 when a finished build of the key exists.
have() { [ -f "$cache/$1/.complete" ]; }

cmake_build() {
    local src=$1 prefix=$2; shift 2
    local bdir
    bdir=$(mktemp -d)
    cmake -S "$src" -B "$bdir" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_POSITION_INDEPENDENT_CODE=OFF \
        -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
    cmake --build "$bdir" -j "$jobs" >/dev/null
    cmake --install "$bdir" >/dev/null
    rm -rf "$bdir"
}

# Each builder: $1 package key folder, $2 unpacked source.
build_fmt() {
    cmake_build "$2" "$1" -DFMT_DOC=OFF -DFMT_TEST=OFF -DFMT_INSTALL=ON
}
build_spdlog() {
    # Wide file names so that a log folder outside the ANSI code page opens,
    # and wide messages converted to UTF-8.
    cmake_build "$2" "$1" -DCMAKE_PREFIX_PATH="$fmt_prefix" \
        -DSPDLOG_FMT_EXTERNAL=ON -DSPDLOG_WCHAR_SUPPORT=ON -DSPDLOG_WCHAR_FILENAMES=ON \
        -DSPDLOG_BUILD_EXAMPLE=OFF -DSPDLOG_BUILD_TESTS=OFF -DSPDLOG_BUILD_BENCH=OFF \
        -DSPDLOG_INSTALL=ON
}
build_jsoncpp() {
    cmake_build "$2" "$1" -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
        -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF \
        -DJSONCPP_WITH_CMAKE_PACKAGE=ON
}
build_googletest() {
    cmake_build "$2" "$1" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
}
build_zlib() {
    local prefix=$1 src=$2 obj f
    # zlib and minizip are compiled file by file: the Debian source carries no
    # makefile for this target.
    obj=$(mktemp -d)
    for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback \
             inffast inflate inftrees trees uncompr zutil; do
        $triple-gcc-posix -O2 -D_LARGEFILE64_SOURCE=1 -c "$src/$f.c" -o "$obj/z_$f.o"
    done
    local mz=$src/contrib/minizip
    for f in ioapi unzip zip iowin32; do
        $triple-gcc-posix -O2 -I"$src" -c "$mz/$f.c" -o "$obj/mz_$f.o"
    done
    mkdir -p "$prefix/include/minizip" "$prefix/lib"
    $triple-ar rcs "$prefix/lib/libz.a" "$obj"/z_*.o
    $triple-ar rcs "$prefix/lib/libminizip.a" "$obj"/mz_*.o
    cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
    cp "$mz"/ioapi.h "$mz"/unzip.h "$mz"/zip.h "$mz"/iowin32.h "$prefix/include/minizip/"
    rm -rf "$obj"
}
build_openssl() {
    local prefix=$1 src=$2
    (cd "$src" && ./Configure mingw64 no-shared no-tests no-engine no-module \
        --cross-compile-prefix=$triple- --prefix="$prefix" --libdir=lib >/dev/null \
     && make -j "$jobs" build_libs >/dev/null && make install_dev >/dev/null)
}

# Builds one source package unless its key is cached; prints its prefix.
ensure() {
    local name=$1 builder=$2 extra_key=${3:-} version key prefix src
    version=$(newest_version "$name")
    if [ -z "$version" ]; then
        log "apt knows no source package $name (is the deb-src entry there? run scripts/install-packages.sh)"
        return 1
    fi
    key="$name-${version//[:~]/_}-gcc$cc_version$extra_key"
    prefix=$cache/$key
    if have "$key"; then
        echo "$prefix"
        return 0
    fi
    # The newest version may have failed to download before and an older one
    # was built in its place.
    local alias=$cache/.alias-$key
    if [ -f "$alias" ] && have "$(cat "$alias")"; then
        echo "$cache/$(cat "$alias")"
        return 0
    fi
    log "building $name $version"
    src=$(mktemp -d)/src
    local got
    got=$(fetch_source "$name" "$src")
    if [ "$got" != "$version" ]; then
        # An older version was taken: key the build by what was really built.
        key="$name-${got//[:~]/_}-gcc$cc_version$extra_key"
        prefix=$cache/$key
        echo "$key" > "$alias"
        if have "$key"; then
            rm -rf "$(dirname "$src")"
            echo "$prefix"
            return 0
        fi
    fi
    rm -rf "$prefix"
    mkdir -p "$prefix"
    local t0=$SECONDS
    # Not under `if`: bash ignores errexit in a condition, so a failing step
    # inside the builder would go unnoticed and the folder be marked complete.
    local rc=0
    set +e
    (set -e; "$builder" "$prefix" "$src") > "$cache/$key.log" 2>&1
    rc=$?
    set -e
    if [ "$rc" -ne 0 ]; then
        tail -n 40 "$cache/$key.log" >&2
        log "building $name $got failed; the whole log is $cache/$key.log"
        return 1
    fi
    touch "$prefix/.complete"
    rm -rf "$(dirname "$src")"
    log "built $name $got in $((SECONDS - t0)) s"
    echo "$prefix"
}

fmt_prefix=$(ensure fmtlib build_fmt)
spdlog_prefix=$(ensure spdlog build_spdlog "-$(basename "$fmt_prefix")")
jsoncpp_prefix=$(ensure libjsoncpp build_jsoncpp)
zlib_prefix=$(ensure zlib build_zlib)
openssl_prefix=$(ensure openssl build_openssl)
gtest_prefix=$(ensure googletest build_googletest)

mkdir -p "$(dirname "$out")"
cat > "$out.tmp" <<CMAKE
# Written by scripts/build-deps.sh: where the Windows builds of the libraries are.
set(PAVO_FMT_PREFIX "$fmt_prefix")
set(PAVO_SPDLOG_PREFIX "$spdlog_prefix")
set(PAVO_JSONCPP_PREFIX "$jsoncpp_prefix")
set(PAVO_ZLIB_PREFIX "$zlib_prefix")
set(PAVO_OPENSSL_PREFIX "$openssl_prefix")
set(PAVO_GTEST_PREFIX "$gtest_prefix")
CMAKE
mv "$out.tmp" "$out"
log "dependencies ready ($out)"
