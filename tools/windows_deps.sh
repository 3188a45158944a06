#!/usr/bin/env bash
# Builds libopenmpt and SDL2 as static MinGW-w64 libraries for the Windows
# build of the sound library, and zlib and minizip for the issue packs' zip
# reader and writer, from Debian's own source packages.
#
#   bash tools/windows_deps.sh WORKDIR
#
# WORKDIR (normally build-windows/deps) holds a private apt configuration with
# a deb-src entry for the mirror the machine's apt already uses
# (tools/apt_mirror.sh), the unpacked sources and their build trees; the
# machine's own apt set-up is never touched. The installed result (include/,
# lib/ with pkg-config files, and each source package's debian/copyright as
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
zlib_version=1.2.13
# minizip is taken from Debian's minizip source package, the one Linux's
# libminizip-dev is built from, so that all editions compile against the same
# zip.h and unzip.h (zlib's own contrib/minizip differs from it in types and
# functions) and carry the same fixes.
minizip_version=1.1

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

# zlib and minizip came later than libopenmpt and SDL2: a cache without them
# (or with other versions) gets them built and added, the rest left as it is.
# The marker is written once both are installed.
zip_marker="$prefix/.zlib-$zlib_version+minizip-$minizip_version"
has_zip_libraries() { [ -f "$zip_marker" ]; }

if [ -f "$prefix/.complete" ] && has_copyright_files && has_zip_libraries; then
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
zlib_src=$(fetch_source zlib "$zlib_version")
minizip_src=$(fetch_source minizip "$minizip_version")

keep_copyright_files() {
    install -D -m 644 "$openmpt_src/debian/copyright" "${copyright_files[0]}"
    install -D -m 644 "$sdl2_src/debian/copyright" "${copyright_files[1]}"
}

# --- zlib and minizip, static -------------------------------------------------
# zlib with its own configure script (it knows MinGW from CHOST and writes the
# zconf.h that matches the build); minizip's five C files compiled directly,
# as Debian's minizip build does for Windows (iowin32.c included). minizip
# finds the 64-bit fopen64/fseeko64/ftello64 in MinGW-w64's stdio.h, so
# archives over 2 GB work without further defines.
build_zip_libraries() {
    local cc=$host-gcc-posix file objects=()
    rm -f "$zip_marker"
    log "building zlib $zlib_version"
    rm -rf "$work/zlib-build"
    mkdir -p "$work/zlib-build"
    (
        cd "$work/zlib-build"
        CHOST=$host CC=$cc AR=$host-ar RANLIB=$host-ranlib CFLAGS=-O2 \
            "$zlib_src/configure" --static --prefix="$prefix" >&2
        make -j"$jobs" libz.a >&2
        make install >&2
    )
    log "building minizip $minizip_version"
    rm -rf "$work/minizip-build"
    mkdir -p "$work/minizip-build"
    for file in ioapi mztools unzip zip iowin32; do
        # zip.c keeps zlib's CRC table as unsigned long, zlib hands it out as
        # z_crc_t (unsigned int): both are 32 bits on Windows.
        "$cc" -O2 -Wno-incompatible-pointer-types -I"$prefix/include" \
            -c "$minizip_src/$file.c" -o "$work/minizip-build/$file.o"
        objects+=("$work/minizip-build/$file.o")
    done
    rm -f "$prefix/lib/libminizip.a"
    "$host-ar" rcs "$prefix/lib/libminizip.a" "${objects[@]}"
    install -d "$prefix/include/minizip"
    for file in crypt ioapi iowin32 mztools unzip zip; do
        install -m 644 "$minizip_src/$file.h" "$prefix/include/minizip/"
    done
    # The same pkg-config file as Debian's (its version is the one minizip's
    # configure.ac gives), for CMake's pkg_check_modules(... minizip).
    local pc_version
    pc_version=$(sed -n 's/^AC_INIT(\[minizip\], \[\([^]]*\)\].*/\1/p' "$minizip_src/configure.ac")
    sed -e "s|@prefix@|$prefix|; s|@exec_prefix@|\${prefix}|; s|@libdir@|\${exec_prefix}/lib|" \
        -e "s|@includedir@|\${prefix}/include|; s|@PACKAGE_VERSION@|$pc_version|" \
        "$minizip_src/minizip.pc.in" > "$prefix/lib/pkgconfig/minizip.pc"
    install -D -m 644 "$zlib_src/debian/copyright" "$prefix/share/doc/zlib/copyright"
    install -D -m 644 "$minizip_src/debian/copyright" "$prefix/share/doc/minizip/copyright"
    touch "$zip_marker"
}

# A complete cache from before the copyright files or zlib and minizip were
# kept: the sources of the same versions bring the files, and only the
# libraries it lacks are compiled.
if [ -f "$prefix/.complete" ]; then
    keep_copyright_files
    has_zip_libraries || build_zip_libraries
    log "copyright files and zip libraries added to the Windows libraries cached in $prefix"
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

build_zip_libraries
keep_copyright_files
touch "$prefix/.complete"
log "Windows libraries cached in $prefix"
echo "$prefix"
