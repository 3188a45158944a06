#!/bin/sh
# Builds the libFuzzer targets with clang into a build folder of their own
# (the same build-fuzz/ folder that the test suite's smoke runs use).
#
#   tests/fuzz/build.sh [BUILD_DIR]      (default build-fuzz/ in the checkout)
set -eu

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=${1:-$ROOT/build-fuzz}
cmake -S "$ROOT" -B "$OUT" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" -DCMAKE_C_COMPILER="${CC:-clang}" \
    -DQUIX_FUZZ=ON >/dev/null
cmake --build "$OUT" -j"${JOBS:-2}"
echo "fuzz targets in $OUT/tests/fuzz"
