#!/bin/sh
# Runs every fuzz target for SECONDS seconds each (default 60), starting from
# the seed corpus under tests/fuzz/corpus/ and growing a working corpus in the
# build folder. Crashes are saved there as crash-* files.
#
#   tests/fuzz/run.sh [SECONDS] [BUILD_DIR]
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
SECONDS_EACH=${1:-60}
OUT=${2:-$ROOT/build-fuzz}
status=0
ran=0
for exe in "$OUT"/tests/fuzz/fuzz_*; do
    [ -x "$exe" ] || continue
    name=$(basename "$exe")
    ran=$((ran + 1))
    seed="$ROOT/tests/fuzz/corpus/${name#fuzz_}"
    [ -d "$seed" ] || seed=""
    work="$OUT/corpus/$name"
    mkdir -p "$work" "$OUT/crashes/$name"
    echo "== $name for ${SECONDS_EACH}s"
    # The file-reading targets get inputs up to 64 KiB, bigger than a block.
    "$exe" -max_total_time="$SECONDS_EACH" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$OUT/crashes/$name/" -print_final_stats=1 \
        "$work" $seed 2>"$OUT/$name.log"
    rc=$?
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|^#[0-9]+ +DONE" "$OUT/$name.log"
    if [ $rc -ne 0 ]; then
        echo "!! $name stopped with status $rc; see $OUT/$name.log and $OUT/crashes/$name/"
        status=1
    fi
done
if [ $ran -eq 0 ]; then
    echo "no fuzz targets in $OUT/tests/fuzz: build them first with tests/fuzz/build.sh $OUT" >&2
    exit 2
fi
exit $status
