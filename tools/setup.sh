#!/usr/bin/env bash
# Sets up a Debian 12 machine for the magazine, builds it, and then either
# starts it (default) or runs the whole test suite (--test).
#
#   bash tools/setup.sh          install what is missing, build, start
#   bash tools/setup.sh --test   install what is missing, build, run all tests
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"
mode=${1:-run}

packages=(build-essential cmake pkg-config libgtest-dev libopenmpt-dev libsdl2-dev python3 python3-pyte
          clang libclang-rt-14-dev)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "== installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
}

build_all() {
    echo "== building"
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j"$(nproc)"
}

run_tests() {
    echo "== tests"
    (cd "$build" && ctest --output-on-failure)
    echo "== unit tests with address and undefined-behaviour sanitizers"
    cmake -S "$top" -B "$build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DQUIX_SANITIZE=ON >/dev/null
    cmake --build "$build-sanitize" -j"$(nproc)" --target unit_tests
    (cd "$build-sanitize" && ASAN_OPTIONS=detect_leaks=1 ./unit_tests --gtest_brief=1)
    echo "== fuzz targets (clang), a short run of each"
    cmake -S "$top" -B "$build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DQUIX_FUZZ=ON >/dev/null
    cmake --build "$build-fuzz" -j"$(nproc)"
    (cd "$build-fuzz" && ctest --output-on-failure)
}

install_missing
build_all
case "$mode" in
    --test) run_tests ;;
    run) exec "$build/quixmag" ;;
    *) echo "usage: bash tools/setup.sh [--test]" >&2; exit 2 ;;
esac
