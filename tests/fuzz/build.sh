#!/bin/sh
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) into a build folder outside the source tree.
#
#   tests/fuzz/build.sh [BUILD_DIR]      (default /work/build-fuzz)
set -eu

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=${1:-/work/build-fuzz}
CXX=${CXX:-clang++}
mkdir -p "$OUT/obj"

SAN="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
FLAGS="-std=c++20 -O1 -g -Wall -Wextra -I$ROOT $SAN"

# The parts of the program under test; each target pulls in what it uses.
# The memory console is the test bench, not a parser of outside bytes: it
# gets the sanitizers but no coverage feedback, so the fuzzer neither steers
# by its cell loops nor spends its time in them.
SUPPORT_SOURCES="
console/con_memory.cpp
"
LIB_SOURCES="
console/m_Console.cpp
console/m_Output_Windows.cpp
console/m_Input_Windows.cpp
console/term_keys.cpp
console/cp437.cpp
ansi/ansi_renderer.cpp
viewer/text_viewer.cpp
widgets/boxes.cpp
widgets/prompts.cpp
"
objects=""
compile() {  # SOURCE EXTRA_FLAGS
    obj="$OUT/obj/$(echo "$1" | tr / _).o"
    if [ ! -f "$obj" ] || [ "$ROOT/$1" -nt "$obj" ] || [ "$0" -nt "$obj" ]; then
        echo "compiling $1"
        $CXX $FLAGS $2 -c "$ROOT/$1" -o "$obj"
    fi
    objects="$objects $obj"
}
for src in $SUPPORT_SOURCES; do compile "$src" "-O2"; done
for src in $LIB_SOURCES; do compile "$src" "-fsanitize=fuzzer-no-link"; done
rm -f "$OUT/libfuzzcore.a"
ar rcs "$OUT/libfuzzcore.a" $objects

for target in "$ROOT"/tests/fuzz/fuzz_*.cpp; do
    name=$(basename "$target" .cpp)
    echo "linking $name"
    $CXX $FLAGS -fsanitize=fuzzer "$target" "$OUT/libfuzzcore.a" -o "$OUT/$name"
done
echo "fuzz targets in $OUT"
