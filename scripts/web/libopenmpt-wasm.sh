#!/usr/bin/env bash
# Builds libopenmpt for WebAssembly from Debian's source package, once, into a cache
# outside the clone: ~/.cache/k3lvana/wasm32-emscripten/libopenmpt-<version>-emcc-<emcc version>/
# (include/ and lib/libopenmpt.a; K3L_CACHE_DIR moves the cache, as for the Windows
# libraries). Prints that folder. The source comes through a
# private apt configuration (a deb-src entry for the machine's own Debian mirror,
# its lists kept in the cache): the machine's apt sources are never touched.
set -euo pipefail

cache="${K3L_CACHE_DIR:-$HOME/.cache/k3lvana}/wasm32-emscripten"
emcc_version=$(emcc -dumpversion)
apt_dir="$cache/apt"
mkdir -p "$apt_dir/lists/partial"

# The Debian mirror and release the machine already uses.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
mirror=$(grep -hoE '^(URIs:|deb) +[a-z]+://[^ ]+' /etc/apt/sources.list /etc/apt/sources.list.d/*.sources \
             /etc/apt/sources.list.d/*.list 2>/dev/null | awk '{ print $2 }' | grep -m1 '/debian/\?$' || true)
mirror=${mirror:-http://deb.debian.org/debian}
echo "deb-src $mirror $codename main" > "$apt_dir/sources.list"
apt_options=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" -o APT::Sandbox::User=root)
mkdir -p "$apt_dir/cache/archives/partial"

version_of() { apt-cache "${apt_options[@]}" showsrc libopenmpt 2>/dev/null | awk '/^Version:/ { print $2; exit }' || true; }
version=$(version_of)
if [ -z "$version" ]; then
    apt-get "${apt_options[@]}" update -qq >&2
    version=$(version_of)
fi
[ -n "$version" ] || { echo "libopenmpt-wasm: no libopenmpt source package on $mirror $codename" >&2; exit 1; }

prefix="$cache/libopenmpt-$version-emcc-$emcc_version"
if [ -f "$prefix/lib/libopenmpt.a" ]; then
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d "$cache/libopenmpt-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "libopenmpt-wasm: building libopenmpt $version for WebAssembly (about 5 minutes on 2 cores)" >&2
(
    cd "$work"
    apt-get "${apt_options[@]}" source -qq "libopenmpt=$version" >&2
    cd libopenmpt-*/
    export NODE_PATH=/usr/share/nodejs
    # emscripten's target is unknown to these autotools: a 32-bit host that is not the build machine.
    nice emconfigure ./configure CFLAGS=-O2 CXXFLAGS=-O2 --host=i686-pc-linux-gnu --prefix="$prefix.tmp" --disable-shared --enable-static \
        --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
        --without-portaudio --without-portaudiocpp --without-pulseaudio --without-sndfile --without-flac \
        --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc >&2
    # make takes as many jobs as CMake does (CMAKE_BUILD_PARALLEL_LEVEL, the Makefile's).
    nice emmake make ${CMAKE_BUILD_PARALLEL_LEVEL:+"-j$CMAKE_BUILD_PARALLEL_LEVEL"} >&2
    rm -rf "$prefix.tmp"
    emmake make install >&2
)
rm -rf "$prefix"
mv "$prefix.tmp" "$prefix"
echo "$prefix"
