#!/usr/bin/env bash
# Builds libopenmpt as a static WebAssembly library with Debian's emscripten,
# from Debian's own source package, for the web edition's audio worklet.
#
#   bash tools/web_deps.sh WORKDIR
#
# WORKDIR (normally build-web/deps) holds a private apt configuration with a
# deb-src entry, the unpacked source and its build tree; the machine's own apt
# set-up is never touched. The installed result (include/ and lib/) is cached
# outside the clone, keyed by the library and compiler versions, so only the
# first build on a machine compiles anything. The console font the screen's
# glyphs come from (console-data's default8x16) is unpacked from Debian's
# binary package into the same place, without installing it. The last line
# printed is the folder to hand to CMake as QUIX_WEB_DEPS.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mkdir -p "$1" && cd "$1" && pwd)
cache_root=${QUIX_WEB_CACHE:-/var/cache/quixmag-web}
jobs=${QUIX_JOBS:-2}

# The upstream version this build is known to work with (Debian 12's).
openmpt_version=0.6.9

# emcc runs on node and looks for its modules where Debian puts them; without
# the flag its output would call fetch() under node.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
export NODE_OPTIONS=--no-experimental-fetch

emcc_version=$(emcc -dumpversion 2>/dev/null | tail -n1)
font_version=$(apt-cache policy console-data 2>/dev/null | awk '/Candidate:/ {print $2}' | tr ':' '_')
if [ -z "$font_version" ] || [ "$font_version" = "(none)" ]; then
    echo "error: apt knows no console-data package (run apt-get update)" >&2
    exit 1
fi
key="openmpt-$openmpt_version+emcc-$emcc_version+console-data-$font_version"
prefix="$cache_root/$key"

if [ -f "$prefix/.complete" ]; then
    echo "== web libraries cached in $prefix" >&2
    echo "$prefix"
    exit 0
fi

log() { echo "== $*" >&2; }

# --- Sources, through a private apt configuration --------------------------
. "$top/tools/private_apt.sh"

# libopenmpt is built once; a build that stopped after it (the font step
# failed) keeps it.
stage="$prefix"
if [ ! -f "$stage/.openmpt" ]; then
    src="$work/src"
    mkdir -p "$src"
    openmpt_src=$(find "$src" -maxdepth 1 -type d -name "libopenmpt-$openmpt_version*" | head -n1)
    if [ -z "$openmpt_src" ]; then
        log "reading the source index from $mirror ($suite)"
        apt_private update >&2
        log "fetching the source of libopenmpt"
        (cd "$src" && apt_private source libopenmpt >&2)
        openmpt_src=$(find "$src" -maxdepth 1 -type d -name "libopenmpt-$openmpt_version*" | head -n1)
    fi
    if [ -z "$openmpt_src" ]; then
        echo "error: apt did not deliver libopenmpt $openmpt_version; found:" >&2
        ls "$src" >&2
        echo "update the version in tools/web_deps.sh" >&2
        exit 1
    fi

    rm -rf "$stage"
    mkdir -p "$stage/share/doc/libopenmpt"

    # --- libopenmpt: autotools under emconfigure, no codecs, no player ------
    # configure runs without --host: emconfigure points CC and CXX at emcc.
    log "building libopenmpt $openmpt_version with emcc $emcc_version"
    rm -rf "$work/openmpt-build"
    mkdir -p "$work/openmpt-build"
    (
        cd "$work/openmpt-build"
        emconfigure "$openmpt_src/configure" --prefix="$stage" \
            CFLAGS=-O2 CXXFLAGS=-O2 \
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

# --- The console font, from the binary package, unpacked but not installed --
log "unpacking the console font of console-data $font_version"
rm -rf "$work/font"
mkdir -p "$work/font/unpacked" "$stage/share/consolefonts" "$stage/share/doc/console-data"
(cd "$work/font" && apt-get -q download console-data >&2)
dpkg-deb -x "$work"/font/console-data_*.deb "$work/font/unpacked"
cp "$work/font/unpacked/usr/share/consolefonts/default8x16.psf.gz" "$stage/share/consolefonts/"
cp "$work/font/unpacked/usr/share/doc/console-data/copyright" "$stage/share/doc/console-data/"

touch "$prefix/.complete"
log "web libraries cached in $prefix"
echo "$prefix"
