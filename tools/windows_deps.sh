#!/usr/bin/env bash
# Builds libopenmpt and SDL2 as static MinGW-w64 libraries for the Windows
# build of the sound library, from Debian's own source packages.
#
#   bash tools/windows_deps.sh WORKDIR
#
# WORKDIR (normally build-windows/deps) holds a private apt configuration with
# a deb-src entry, the unpacked sources and their build trees; the machine's
# own apt set-up is never touched. The installed result (include/ and lib/)
# is cached outside the clone, keyed by the library and compiler versions, so
# only the first build on a machine compiles anything. The last line printed
# is the folder to hand to CMake as QUIX_WINDOWS_DEPS.
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

if [ -f "$prefix/.complete" ]; then
    echo "== Windows libraries cached in $prefix" >&2
    echo "$prefix"
    exit 0
fi

log() { echo "== $*" >&2; }

# --- Sources, through a private apt configuration --------------------------
# The mirror is the one the machine already uses for binaries.
mirror=$(grep -h -m1 -E '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}' || true)
if [ -z "$mirror" ]; then
    mirror=$(grep -h -m1 -E '^deb +http' /etc/apt/sources.list 2>/dev/null | awk '{print $2}' || true)
fi
mirror=${mirror:-http://deb.debian.org/debian}
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")

apt_dir="$work/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d"
echo "deb-src $mirror $suite main" > "$apt_dir/sources.list"
cat > "$apt_dir/apt.conf" <<EOF
Dir::Etc::SourceList "$apt_dir/sources.list";
Dir::Etc::SourceParts "$apt_dir/sources.list.d";
Dir::State::Lists "$apt_dir/lists";
Dir::Cache "$apt_dir/cache";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
APT::Sandbox::User "root";
EOF
apt_private() { APT_CONFIG="$apt_dir/apt.conf" apt-get -q "$@"; }

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

touch "$prefix/.complete"
log "Windows libraries cached in $prefix"
echo "$prefix"
