#!/usr/bin/env bash
# Cross-builds the show's three libraries for 64-bit Windows as static archives, from the
# Debian source packages of the versions the native build uses (freeglut, libopenmpt,
# PortAudio), once: each is kept in a cache outside the clone, keyed by target and version,
#   ${K3L_CACHE_DIR:-~/.cache/k3lvana}/x86_64-w64-mingw32/<source>-<version>/{include,lib}
# and skipped when already there. The sources come through a private apt configuration
# (deb-src entries for the mirrors the machine already uses); the machine's own apt
# sources are never touched. Prints the three install prefixes, one a line.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
target=x86_64-w64-mingw32
cache=${K3L_CACHE_DIR:-$HOME/.cache/k3lvana}
# make takes as many jobs as CMake does (CMAKE_BUILD_PARALLEL_LEVEL, the Makefile's).
make_jobs=(${CMAKE_BUILD_PARALLEL_LEVEL:+"-j$CMAKE_BUILD_PARALLEL_LEVEL"})
toolchain="$top/cmake/mingw-w64-x86_64.cmake"
export CC=$target-gcc-posix CXX=$target-g++-posix
export CFLAGS="-O2" CXXFLAGS="-O2"
export PKG_CONFIG_LIBDIR=/nonexistent  # none of the build machine's libraries

# Runs apt-get on the private configuration.
private_apt() {
    local dir="$cache/apt"
    apt-get -o Dir::Etc::SourceList="$dir/sources.list" -o Dir::Etc::SourceParts=/dev/null \
        -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache" -o Debug::NoLocking=1 "$@"
}

# Downloads and unpacks source package $1 at version $2 into the current directory.
fetch_source() {
    local dir="$cache/apt"
    if [ ! -s "$dir/sources.list" ]; then
        mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
        apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' | sort -u | grep -i debian |
            awk '{ print "deb-src " $1 " " $2 " main" }' >"$dir/sources.list"
    fi
    if ! private_apt -qq source --download-only "$1=$2" >/dev/null 2>&1; then
        private_apt -qq update >/dev/null
        private_apt -qq source --download-only "$1=$2" >/dev/null
    fi
    dpkg-source -x "$1_${2#*:}.dsc" src >/dev/null
}

# The Debian source version of an installed binary package (installed by scripts/install-deps.sh).
source_version() {
    dpkg-query -W -f='${source:Version}' "$1"
}

# Builds one library unless cached: $1 source package, $2 binary package giving the version,
# $3 the function that builds it in ./src and installs it into $prefix.
build_library() {
    local version prefix work
    version=$(source_version "$2")
    prefix="$cache/$target/$1-$version"
    if [ ! -e "$prefix/.complete" ]; then
        echo "Cross-building $1 $version for $target (once; cached in $prefix)" >&2
        rm -rf "$prefix"
        work=$(mktemp -d "${TMPDIR:-/tmp}/k3l-$1.XXXXXX")
        set +e  # the subshell sets -e again: it stops at the first failing step
        (set -e; cd "$work"; fetch_source "$1" "$version"; cd src; "$3" "$prefix") >"$work.log" 2>&1
        local status=$?
        set -e
        if [ "$status" != 0 ]; then
            tail -n 30 "$work.log" >&2
            echo "build-libs: $1 failed; log in $work.log" >&2
            exit 1
        fi
        rm -rf "$work" "$work.log"
        touch "$prefix/.complete"
    fi
    echo "$prefix"
}

build_freeglut() {
    nice cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$1" -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_STATIC_LIBS=ON \
        -DFREEGLUT_BUILD_DEMOS=OFF
    nice cmake --build build
    cmake --install build
}

build_libopenmpt() {
    nice ./configure --host=$target --prefix="$1" --disable-shared --enable-static \
        --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
        --without-portaudio --without-portaudiocpp --without-sndfile --without-flac \
        --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc
    nice make "${make_jobs[@]}"
    make install
}

# Edits file $1 with each sed expression after it in turn; stops the build, naming the file and
# the expression, when one changes nothing (the source is not the one the edit was written for).
edit_source() {
    local file=$1 expression
    shift
    for expression in "$@"; do
        cp "$file" "$file.unedited"
        sed -i "$expression" "$file"
        if cmp -s "$file" "$file.unedited"; then
            echo "build-libs: the edit $expression changes nothing in $file: its source has changed" >&2
            exit 1
        fi
        rm "$file.unedited"
    done
}

# PortAudio with MME and WASAPI. Its WASAPI host includes Microsoft's header names
# (Avrt.h, Audioclient.h) and a bundled copy of headers that clash with mingw-w64's own;
# built against mingw-w64's headers instead.
build_portaudio() {
    edit_source src/hostapi/wasapi/pa_win_wasapi.c \
        's|#if defined(_MSC_VER) && (_MSC_VER >= 1400)$|#if (defined(_MSC_VER) \&\& (_MSC_VER >= 1400)) \|\| defined(__MINGW64_VERSION_MAJOR)|' \
        's|<Avrt.h>|<avrt.h>|' 's|<Audioclient.h>|<audioclient.h>|' \
        's|#include <functiondiscoverykeys.h>|#include <functiondiscoverykeys_devpkey.h>|'
    edit_source configure 's| -I\\$(top_srcdir)/src/hostapi/wasapi/mingw-include||'
    nice ./configure --host=$target --prefix="$1" --disable-shared --enable-static --with-winapi=wmme,wasapi
    nice make "${make_jobs[@]}"
    make install
}

build_library freeglut freeglut3-dev build_freeglut
build_library libopenmpt libopenmpt-dev build_libopenmpt
build_library portaudio19 portaudio19-dev build_portaudio
