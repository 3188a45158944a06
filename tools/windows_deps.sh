#!/usr/bin/env bash
# Builds libopenmpt and SDL2 as static MinGW-w64 libraries for the Windows
# build of the sound library, from Debian's own source packages.
#
#   bash tools/windows_deps.sh WORKDIR
#
# WORKDIR (normally build-windows/deps) holds a private apt configuration with
# a deb-src entry for the mirror the machine's apt already uses
# (tools/apt_mirror.sh), the unpacked sources and their build trees; the
# machine's own apt set-up is never touched. The installed result (include/
# and lib/, and each source package's debian/copyright as
# share/doc/PACKAGE/copyright for the zip's third-party notices) is cached
# outside the clone, keyed by the library and compiler versions, so only the
# first build on a machine compiles anything. The last line printed is the
# folder to hand to CMake as QUIX_WINDOWS_DEPS.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mkdir -p "$1" && cd "$1" && pwd)
cache_root=${QUIX_WINDOWS_CACHE:-/var/cache/quixmag-windows}
host=x86_64-w64-mingw32
jobs=${QUIX_JOBS:-2}

# The upstream versions this build is known to work with (Debian 12's).
openmpt_version=0.6.9
sdl2_version=2.26.5

compiler_version=$("$host-g++-posix" -dumpversion)
key="openmpt-$openmpt_version+sdl2-$sdl2_version+mingw-gcc-$compiler_version"
prefix="$cache_root/$key"

# The source packages' copyright files, which the libraries' notices are
# made from: a cache built before they were kept gets them added below.
copyright_files=("$prefix/share/doc/libopenmpt/copyright" "$prefix/share/doc/libsdl2/copyright")
has_copyright_files() {
    local file
    for file in "${copyright_files[@]}"; do
        [ -s "$file" ] || return 1
    done
}

if [ -f "$prefix/.complete" ] && has_copyright_files; then
    echo "== Windows libraries cached in $prefix" >&2
    echo "$prefix"
    exit 0
fi

log() { echo "== $*" >&2; }

# --- Sources, through a private apt configuration --------------------------
. "$top/tools/private_apt.sh"

src="$work/src"
mkdir -p "$src"
fetch_source() { # package upstream-version -> prints the unpacked folder
    local package=$1 version=$2 dir
    dir=$(find "$src" -maxdepth 1 -type d -name "$package-$version*" | head -n1)
    if [ -z "$dir" ]; then
        log "fetching the source of $package"
        (cd "$src" && apt_private source "$package" >&2)
        dir=$(find "$src" -maxdepth 1 -type d -name "$package-$version*" | head -n1)
    fi
    if [ -z "$dir" ]; then
        echo "error: apt did not deliver $package $version; found:" >&2
        ls "$src" >&2
        echo "update the versions in tools/windows_deps.sh" >&2
        exit 1
    fi
    echo "$dir"
}

log "reading the source index from $mirror ($suite)"
apt_private update >&2
openmpt_src=$(fetch_source libopenmpt "$openmpt_version")
sdl2_src=$(fetch_source libsdl2 "$sdl2_version")

keep_copyright_files() {
    install -D -m 644 "$openmpt_src/debian/copyright" "${copyright_files[0]}"
    install -D -m 644 "$sdl2_src/debian/copyright" "${copyright_files[1]}"
}

# A complete cache from before the copyright files were kept: the sources
# of the same versions bring them, nothing is compiled again.
if [ -f "$prefix/.complete" ]; then
    keep_copyright_files
    log "copyright files added to the Windows libraries cached in $prefix"
    echo "$prefix"
    exit 0
fi

# Install straight into the cache folder (the libraries' own configuration
# files record their prefix); it counts as complete only once the marker file
# is written at the very end, so an interrupted build is redone.
stage="$prefix"
rm -rf "$stage"
mkdir -p "$stage"

# --- SDL2: CMake with a MinGW toolchain file, static only --------------------

log "building SDL2 $sdl2_version"
rm -rf "$work/sdl2-build"
cmake -S "$sdl2_src" -B "$work/sdl2-build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON >&2
cmake --build "$work/sdl2-build" -j"$jobs" >&2
cmake --install "$work/sdl2-build" >&2

# --- libopenmpt: autotools, no codecs, examples, tests or player -------------
log "building libopenmpt $openmpt_version"
rm -rf "$work/openmpt-build"
mkdir -p "$work/openmpt-build"
(
    cd "$work/openmpt-build"
    "$openmpt_src/configure" --host=$host --prefix="$stage" \
        CC=$host-gcc-posix CXX=$host-g++-posix CFLAGS=-O2 CXXFLAGS=-O2 \
        --enable-static --disable-shared \
        --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
        --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
        --without-portaudio --without-portaudiocpp --without-pulseaudio \
        --without-sndfile --without-flac >&2
    make -j"$jobs" >&2
    make install >&2
)

keep_copyright_files
touch "$prefix/.complete"
log "Windows libraries cached in $prefix"
echo "$prefix"
