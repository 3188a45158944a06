#!/usr/bin/env bash
# Sets up a Debian 12 machine for the magazine, builds it, and then either
# starts it (default), runs the whole test suite (--test), or builds the
# Windows executable (--windows).
#
#   bash tools/setup.sh            install what is missing, build, start
#   bash tools/setup.sh --test     install what is missing, build both, run all tests
#   bash tools/setup.sh --windows  install what is missing, build build-windows/quixmag.exe
#   bash tools/setup.sh --web      install what is missing, build the web edition into build-web/site/
#   bash tools/setup.sh --package [FOLDER]
#                                  build the Debian package, the Windows zip and the web zip into dist/,
#                                  each carrying the issue in FOLDER (by default content/, issue #1)
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"
build_windows="$top/build-windows"
build_web="$top/build-web"
mode=${1:-run}
# The issue the builds embed: content/ unless --package names a folder.
issue_folder=$top/content
if [ "$mode" = --package ] && [ -n "${2:-}" ]; then
    issue_folder=$(cd "$2" && pwd)
fi

packages=(build-essential cmake pkg-config libgtest-dev libopenmpt-dev libsdl2-dev libtomlplusplus-dev libminizip-dev
          zlib1g-dev python3 python3-pyte unzip)
# The packages and their checks (dpkg-shlibdeps, lintian, groff for the
# manual page) and the README pictures (ansilove).
packages+=(dpkg-dev lintian groff-base ansilove)
# Serving over SSH and its tests (tools/serve-ssh.sh, readers in tmux panes),
# and over telnet (tools/serve-telnet.sh, behind tcpserver; the telnet client
# in the tests). Debian's telnetd comes with an inetd, which the script
# installs itself, without starting it.
packages+=(openssh-server openssh-client tmux ucspi-tcp telnet)
# The fuzz targets (clang with libFuzzer).
packages+=(clang libclang-rt-14-dev)
# The Windows build: the MinGW-w64 cross compilers, dpkg-dev for the
# libraries' source packages, and Wine to run the Windows tests.
windows_packages=(mingw-w64 dpkg-dev wine wine64)
case "$mode" in
    --test | --windows | --package) packages+=("${windows_packages[@]}") ;;
esac
# The web edition: Debian's emscripten (with binaryen and node.js), ansilove,
# whose glyphs the page's font is read from at build time and which the
# browser tests hold the page's drawing against, and headless Chromium and
# Firefox ESR for those tests.
web_packages=(emscripten binaryen nodejs chromium firefox-esr ansilove python3)
case "$mode" in
    --test | --web | --package) packages+=("${web_packages[@]}") ;;
esac
# Set by build_web_all: the web libraries' folder, for the browser tests.
web_deps=""

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "== installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get -o DPkg::Lock::Timeout=900 install -y -qq "${missing[@]}" >/dev/null
    fi
}

build_all() {
    echo "== building"
    local web_tests=()
    if [ -n "$web_deps" ]; then
        web_tests=(-DQUIX_WEB_SITE="$build_web/site")
    fi
    # The runners of the other editions, when they were built: installed
    # with the package so that quixmag --pack can write those editions.
    local runners=()
    [ -f "$build_windows/quixmag.exe" ] && runners+=(-DQUIX_WINDOWS_RUNNER="$build_windows/quixmag.exe")
    [ -f "$build_web/site/index.html" ] && runners+=(-DQUIX_WEB_RUNNER="$build_web/site")
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIX_ISSUE="$issue_folder" \
        "${web_tests[@]}" "${runners[@]}" >/dev/null
    cmake --build "$build" -j"$(nproc)"
}

# The Windows executable, cross-built with MinGW-w64. The static libopenmpt
# and SDL2 come from tools/windows_deps.sh, which builds them once per
# machine and version and keeps them outside the clone.
build_windows_all() {
    echo "== building for Windows"
    local deps
    deps=$(bash "$top/tools/windows_deps.sh" "$build_windows/deps" | tail -n1)
    cmake -S "$top" -B "$build_windows" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" -DQUIX_WINDOWS_DEPS="$deps" -DQUIX_ISSUE="$issue_folder" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v wine || echo wine)" >/dev/null
    cmake --build "$build_windows" -j"$(nproc)" "$@"
    echo "== $build_windows/quixmag.exe"
}

# The web edition, compiled with emscripten, written as a static site to
# build-web/site/. libopenmpt for the page's audio worklet, zlib and
# minizip come from tools/web_deps.sh, built once per machine and version
# and kept outside the clone; the screen's font is read from ansilove.
build_web_all() {
    echo "== building the web edition"
    # emcc runs on node and finds its modules where Debian puts them; its
    # output would call fetch() under node without the option.
    export NODE_PATH=/usr/share/nodejs NODE_OPTIONS=--no-experimental-fetch
    web_deps=$(bash "$top/tools/web_deps.sh" "$build_web/deps" | tail -n1)
    emcmake cmake -S "$top" -B "$build_web/cmake" -DCMAKE_BUILD_TYPE=Release \
        -DQUIX_WEB_DEPS="$web_deps" -DQUIX_WEB_SITE_DIR="$build_web/site" -DQUIX_ISSUE="$issue_folder" >/dev/null
    cmake --build "$build_web/cmake" -j"$(nproc)"
    echo "== $build_web/site"
}

# Wine keeps its Windows folder tree (the prefix) inside the build folder;
# its first start creates it, which takes a while: done once, before any
# timed test.
wine_environment() {
    export WINEPREFIX="$build_windows/wine"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or browser engine wanted
    unset DISPLAY WAYLAND_DISPLAY
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== creating the Wine prefix"
        wine wineboot -i >/dev/null 2>&1
    fi
    wineserver -w
}

run_tests() {
    echo "== tests"
    (cd "$build" && ctest -j2 --output-on-failure -E '^e2e_test_(ssh|telnet)')
    run_ssh_tests
    echo "== unit tests with address and undefined-behaviour sanitizers"
    cmake -S "$top" -B "$build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DQUIX_SANITIZE=ON >/dev/null
    cmake --build "$build-sanitize" -j"$(nproc)" --target unit_tests
    (cd "$build-sanitize" && ASAN_OPTIONS=detect_leaks=1 ./unit_tests --gtest_brief=1)
    echo "== fuzz targets (clang), a short run of each"
    cmake -S "$top" -B "$build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DQUIX_FUZZ=ON >/dev/null
    cmake --build "$build-fuzz" -j"$(nproc)"
    (cd "$build-fuzz" && ctest --output-on-failure)
}

# --- Packages -------------------------------------------------------------------
# dist/ receives the Debian package (made by CPack from build/) and the
# Windows zip (quixmag.exe from build-windows/ with a short readme).
dist="$top/dist"

package_deb() {
    echo "== Debian package"
    mkdir -p "$dist"
    rm -f "$dist"/quixmag_*.deb
    rm -rf "$build/packages"
    (cd "$build" && cpack -G DEB -B "$build/packages" >/dev/null)
    mv "$build"/packages/quixmag_*.deb "$dist/"
    ls "$dist"/quixmag_*.deb
}

# The zip holds the executable, its readme, the licence and the notices of
# the libraries linked into it (THIRD-PARTY.txt, made by the Windows build
# from their copyright files).
package_windows() {
    echo "== Windows zip"
    if ! (build_windows_all --target quixmag check_content third_party_notices); then
        echo "cannot build $build_windows/quixmag.exe: no Windows zip" >&2
        return 1
    fi
    local stage="$build/windows-zip"
    rm -rf "$stage" "$build/packages-windows"
    mkdir -p "$stage"
    cp "$build_windows/quixmag.exe" "$build_windows/THIRD-PARTY.txt" "$stage/"
    # What an editor needs to ship their own issue from Windows: the checker,
    # the runners of the other two editions (the Linux magazine stripped as
    # the package strips it, and the site), the sample issue and the guide.
    cp "$build_windows/check_content.exe" "$stage/quixmag-check.exe"
    mkdir -p "$stage/runners"
    strip --strip-unneeded -o "$stage/runners/quixmag" "$build/quixmag"
    [ -f "$build_web/site/index.html" ] && cp -r "$build_web/site" "$stage/runners/web"
    cp -r "$top/tests/sample-issue" "$stage/sample-issue"
    sed 's/$/\r/' "$top/docs/making-an-issue.md" >"$stage/making-an-issue.md"
    # The readme's title is the issue's, as its manifest says it.
    local title
    title=$(head -n1 "$build_windows/issue-checked.txt")
    {
        echo "$title"
        echo "${title//?/=}"
        tail -n +3 "$top/docs/readme-windows.txt"
    } | sed 's/$/\r/' >"$stage/README.txt"
    sed 's/$/\r/' "$top/LICENSE" >"$stage/LICENSE.txt"
    rm -f "$dist"/quixmag-*-windows.zip
    cpack --config "$build/CPackWindowsZip.cmake" -B "$build/packages-windows" >/dev/null
    mv "$build"/packages-windows/quixmag-*-windows.zip "$dist/"
    ls "$dist"/quixmag-*-windows.zip
}

# The site as one zip, to unpack on any static web server.
package_web() {
    echo "== web zip"
    [ -f "$build_web/site/index.html" ] || build_web_all
    rm -f "$dist"/quixmag-*-web.zip
    mkdir -p "$dist"
    # The page carries the issue's title.
    local stage="$build_web/zip-stage" title
    title=$(sed -n 2p "$build_web/cmake/issue-checked.txt")
    rm -rf "$stage"
    cp -r "$build_web/site" "$stage"
    sed -i "s|<title>[^<]*</title>|<title>${title}</title>|" "$stage/index.html"
    (cd "$stage" && cmake -E tar cf "$dist/quixmag-1.0-web.zip" --format=zip -- *)
    ls "$dist"/quixmag-*-web.zip
}

package_all() {
    package_deb
    package_windows
    package_web
}

# The package installed and run as a reader would (the manual page has its
# own test in ctest): lintian finds no errors, apt installs the package, the
# installed program answers --help from /, and the installed magazine runs
# end to end from its read-only folder.
test_package() {
    local out status=0
    package_deb
    local deb
    deb=$(ls "$dist"/quixmag_*.deb)
    # The sound library inside the executable needs these for the music.
    local depends
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "depends on: $depends"
    for lib in libopenmpt0 libsdl2-2.0-0; do
        grep -q "\b$lib\b" <<<"$depends" || { echo "the package does not depend on $lib" >&2; return 1; }
    done
    echo "== lintian"
    out=$(lintian --fail-on error "$deb" 2>&1) || status=$?
    grep -v "running with root privileges" <<<"$out" || true
    [ "$status" -eq 0 ] || { echo "lintian reports errors" >&2; return 1; }
    echo "== installing the package"
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq --reinstall "$deb" >/dev/null
    dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/quixmag | cmp - /usr/bin/quixmag \
        || { echo "/usr/bin/quixmag is not the packaged program" >&2; return 1; }
    echo "== the installed program"
    out=$(cd / && quixmag --help </dev/null) || { echo "quixmag --help failed" >&2; return 1; }
    grep -q -- "--silent" <<<"$out" || { echo "quixmag --help shows no switches" >&2; return 1; }
    /usr/bin/python3 "$top/tests/package/test_installed.py"
}

# The Windows zip holds the program, its readme, the licence and the
# libraries' notices, each library named with its licence.
test_windows_zip() {
    package_windows
    /usr/bin/python3 "$top/tests/package/test_windows_zip.py" "$dist"/quixmag-*-windows.zip
}

# The magazine served over SSH and over telnet on 127.0.0.1 (tools/serve-ssh.sh,
# tools/serve-telnet.sh): readers in tmux panes, escape attempts, and many
# readers at once, whose figures (time to the main menu, memory and CPU per
# reader) are printed.
run_ssh_tests() {
    echo "== tests over ssh and telnet on 127.0.0.1"
    (cd "$build" && ctest --output-on-failure -V -R '^e2e_test_(ssh|telnet)')
}

# The Windows executable, its unit and sound tests and its end-to-end tests,
# all under Wine.
run_windows_tests() {
    echo "== Windows tests under Wine"
    build_windows_all
    wine_environment
    (cd "$build_windows" && ctest --output-on-failure)
}

install_missing
case "$mode" in
    --test) build_web_all; build_windows_all --target quixmag; build_all; run_tests; test_package; run_windows_tests
        test_windows_zip ;;
    --windows) build_windows_all --target quixmag third_party_notices ;;
    --web) build_web_all ;;
    --package) build_web_all; build_windows_all --target quixmag; build_all; package_all ;;
    run) build_all; exec "$build/quixmag" ;;
    *) echo "usage: bash tools/setup.sh [--test | --windows | --web | --package]" >&2; exit 2 ;;
esac
