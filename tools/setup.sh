#!/usr/bin/env bash
# Sets up a Debian 12 machine for the magazine, builds it, and then either
# starts it (default), runs the whole test suite (--test), or builds the
# Windows executable (--windows).
#
#   bash tools/setup.sh            install what is missing, build, start
#   bash tools/setup.sh --test     install what is missing, build both, run all tests
#   bash tools/setup.sh --windows  install what is missing, build build-windows/quixmag.exe
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"
build_windows="$top/build-windows"
mode=${1:-run}

packages=(build-essential cmake pkg-config libgtest-dev libopenmpt-dev libsdl2-dev python3 python3-pyte)
# The Windows build: the MinGW-w64 cross compilers, dpkg-dev for the
# libraries' source packages, and Wine to run the Windows tests.
windows_packages=(mingw-w64 dpkg-dev wine wine64)
case "$mode" in
    --test | --windows) packages+=("${windows_packages[@]}") ;;
esac

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
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
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
        -DCMAKE_TOOLCHAIN_FILE="$top/tools/mingw-w64.cmake" -DQUIX_WINDOWS_DEPS="$deps" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v wine || echo wine)" >/dev/null
    cmake --build "$build_windows" -j"$(nproc)" "$@"
    echo "== $build_windows/quixmag.exe"
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
    (cd "$build" && ctest --output-on-failure)
    echo "== unit tests with address and undefined-behaviour sanitizers"
    cmake -S "$top" -B "$build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DQUIX_SANITIZE=ON >/dev/null
    cmake --build "$build-sanitize" -j"$(nproc)" --target unit_tests
    (cd "$build-sanitize" && ASAN_OPTIONS=detect_leaks=1 ./unit_tests --gtest_brief=1)
    echo "== Windows tests under Wine"
    build_windows_all
    wine_environment
    (cd "$build_windows" && ctest --output-on-failure)
}

install_missing
case "$mode" in
    --test) build_all; run_tests ;;
    --windows) build_windows_all --target quixmag ;;
    run) build_all; exec "$build/quixmag" ;;
    *) echo "usage: bash tools/setup.sh [--test | --windows]" >&2; exit 2 ;;
esac
