#!/usr/bin/env bash
# Builds libopenmpt as a static WebAssembly library with Debian's emscripten,
# from Debian's own source package, for the web edition's audio worklet, and
# zlib and minizip for the issue packs' zip reader and writer.
#
#   bash tools/web_deps.sh WORKDIR
#
# WORKDIR (normally build-web/deps) holds a private apt configuration with a
# deb-src entry, the unpacked sources and their build trees; the machine's own
# apt set-up is never touched. The installed result (include/, lib/ with
# pkg-config files, and the source packages' debian/copyright as
# share/doc/PACKAGE/copyright for the site's notices) is cached
# outside the clone, keyed by the library and compiler versions, so only the
# first build on a machine compiles anything. (The screen's font is not
# among them: the web build takes it from the installed ansilove, see
# tools/make_web_font.py.) The last line printed is the folder to hand to
# CMake as QUIX_WEB_DEPS.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mkdir -p "$1" && cd "$1" && pwd)
cache_root=${QUIX_WEB_CACHE:-/var/cache/quixmag-web}
jobs=${QUIX_JOBS:-2}

# The upstream versions this build is known to work with (Debian 12's).
openmpt_version=0.6.9
zlib_version=1.2.13
# minizip is taken from Debian's minizip source package, the one Linux's
# libminizip-dev is built from, so that all editions compile against the same
# zip.h and unzip.h (zlib's own contrib/minizip differs from it in types and
# functions) and carry the same fixes.
minizip_version=1.1

# emcc runs on node and looks for its modules where Debian puts them; without
# the flag its output would call fetch() under node.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
export NODE_OPTIONS=--no-experimental-fetch

emcc_version=$(emcc -dumpversion 2>/dev/null | tail -n1)
# The player's libopenmpt is cut down to what the magazine plays (see
# below); the number names that cut, so that a change to it builds afresh.
player_cut=2
key="openmpt-$openmpt_version-player$player_cut+emcc-$emcc_version"
prefix="$cache_root/$key"

# zlib and minizip came later than libopenmpt: a cache without
# them (or with other versions) gets them built and added, the rest left as
# it is. The marker is written once both are installed.
zip_marker="$prefix/.zlib-$zlib_version+minizip-$minizip_version"

if [ -f "$prefix/.complete" ] && [ -f "$zip_marker" ]; then
    echo "== web libraries cached in $prefix" >&2
    echo "$prefix"
    exit 0
fi

log() { echo "== $*" >&2; }

# --- Sources, through a private apt configuration --------------------------
. "$top/tools/private_apt.sh"

src="$work/src"
mkdir -p "$src"
# The source index is read once, by the first source that is not unpacked
# yet; the result is handed back in a variable, not through a subshell, so
# that the next call knows.
index_read=
openmpt_src='' zlib_src='' minizip_src=''
fetch_source() { # variable package upstream-version: the unpacked folder
    local -n dir=$1
    local package=$2 version=$3
    dir=$(find "$src" -maxdepth 1 -type d -name "$package-$version*" | head -n1)
    if [ -z "$dir" ]; then
        if [ -z "$index_read" ]; then
            log "reading the source index from $mirror ($suite)"
            apt_private update >&2
            index_read=1
        fi
        log "fetching the source of $package"
        (cd "$src" && apt_private source "$package" >&2)
        dir=$(find "$src" -maxdepth 1 -type d -name "$package-$version*" | head -n1)
    fi
    if [ -z "$dir" ]; then
        echo "error: apt did not deliver $package $version; found:" >&2
        ls "$src" >&2
        echo "update the versions in tools/web_deps.sh" >&2
        exit 1
    fi
}

# libopenmpt is built once; a build that stopped after it (a later step
# failed) keeps it.
stage="$prefix"
if [ ! -f "$stage/.openmpt" ]; then
    fetch_source openmpt_src libopenmpt "$openmpt_version"

    rm -rf "$stage"
    mkdir -p "$stage/share/doc/libopenmpt"

    # --- libopenmpt, cut down for the page's player -----------------------
    # The site is fetched over slow lines, so the player carries only what
    # the magazine plays. A library build already leaves out file saving,
    # archive formats, the DSP effects, the equaliser and the automatic gain
    # control; the switches below also leave out the mixer plugins and the
    # reverb (tools/web_openmpt_player.patch lets the library build without
    # the plugins). libopenmpt has no switch per format: its table of loaders is
    # cut, in a copy of the source, to the four formats the issues use (MOD
    # with its 15-sample form, S3M, XM, IT), so the linker drops every other
    # loader, MO3 among them. The copy keeps the unpacked source as Debian
    # gave it.
    keep_formats='XM|IT|S3M|MOD|M15'
    player_src="$work/openmpt-player-src"
    rm -rf "$player_src"
    cp -a "$openmpt_src" "$player_src"
    patch -s -d "$player_src" -p1 < "$top/tools/web_openmpt_player.patch"
    loaders="$player_src/soundlib/Sndfile.cpp"
    sed -i -E "/^[[:space:]]+MPT_DECLARE_FORMAT\(/{/MPT_DECLARE_FORMAT\(($keep_formats)\),/!d}" "$loaders"
    kept=$(grep -cE '^[[:space:]]+MPT_DECLARE_FORMAT\(' "$loaders" || true)
    if [ "$kept" != 5 ]; then
        echo "error: the loader table of $loaders has $kept entries after the cut, not 5" >&2
        exit 1
    fi
    # configure runs without --host: emconfigure points CC and CXX at emcc.
    log "building libopenmpt $openmpt_version (cut down) with emcc $emcc_version"
    rm -rf "$work/openmpt-build"
    mkdir -p "$work/openmpt-build"
    (
        cd "$work/openmpt-build"
        emconfigure "$player_src/configure" --prefix="$stage" \
            CPPFLAGS="-DNO_PLUGINS -DNO_REVERB" CFLAGS="-Oz -flto" CXXFLAGS="-Oz -flto" \
            --enable-static --disable-shared \
            --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
            --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
            --without-portaudio --without-portaudiocpp --without-pulseaudio \
            --without-sndfile --without-flac >&2
        emmake make -j"$jobs" >&2
        emmake make install >&2
    )
    # The licence texts the site carries beside the player.
    cp "$openmpt_src/debian/copyright" "$stage/share/doc/libopenmpt/copyright"
    touch "$stage/.openmpt"
fi

# --- zlib and minizip, static --------------------------------------------------
# zlib with its own configure script under emconfigure (it writes the zconf.h
# that matches the build); minizip's four C files compiled directly, as
# Debian's minizip build does. emscripten's C library has the 64-bit file
# calls minizip asks for.
if [ ! -f "$zip_marker" ]; then
    fetch_source zlib_src zlib "$zlib_version"
    fetch_source minizip_src minizip "$minizip_version"
    log "building zlib $zlib_version with emcc $emcc_version"
    rm -rf "$work/zlib-build"
    mkdir -p "$work/zlib-build"
    (
        cd "$work/zlib-build"
        CFLAGS=-O2 emconfigure "$zlib_src/configure" --static --prefix="$stage" >&2
        emmake make -j"$jobs" libz.a >&2
        emmake make install >&2
    )
    log "building minizip $minizip_version with emcc $emcc_version"
    rm -rf "$work/minizip-build"
    mkdir -p "$work/minizip-build"
    objects=()
    for file in ioapi mztools unzip zip; do
        # zip.c keeps zlib's CRC table as unsigned long, zlib hands it out as
        # z_crc_t (unsigned int): both are 32 bits in WebAssembly. The doubled
        # parentheses clang points out are minizip's style, not mistakes.
        emcc -O2 -Wno-incompatible-pointer-types -Wno-parentheses-equality -I"$stage/include" \
            -c "$minizip_src/$file.c" -o "$work/minizip-build/$file.o"
        objects+=("$work/minizip-build/$file.o")
    done
    rm -f "$stage/lib/libminizip.a"
    emar rcs "$stage/lib/libminizip.a" "${objects[@]}"
    install -d "$stage/include/minizip"
    for file in crypt ioapi mztools unzip zip; do
        install -m 644 "$minizip_src/$file.h" "$stage/include/minizip/"
    done
    # The same pkg-config file as Debian's (its version is the one minizip's
    # configure.ac gives), for CMake's pkg_check_modules(... minizip).
    minizip_pc_version=$(sed -n 's/^AC_INIT(\[minizip\], \[\([^]]*\)\].*/\1/p' "$minizip_src/configure.ac")
    sed -e "s|@prefix@|$stage|; s|@exec_prefix@|\${prefix}|; s|@libdir@|\${exec_prefix}/lib|" \
        -e "s|@includedir@|\${prefix}/include|; s|@PACKAGE_VERSION@|$minizip_pc_version|" \
        "$minizip_src/minizip.pc.in" > "$stage/lib/pkgconfig/minizip.pc"
    install -D -m 644 "$zlib_src/debian/copyright" "$stage/share/doc/zlib/copyright"
    install -D -m 644 "$minizip_src/debian/copyright" "$stage/share/doc/minizip/copyright"
    touch "$zip_marker"
fi

touch "$prefix/.complete"
log "web libraries cached in $prefix"
echo "$prefix"
