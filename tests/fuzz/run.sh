#!/bin/sh
# Runs every fuzz target (or the ones named), starting from the seed corpus
# under tests/fuzz/corpus/ and growing a working corpus in the build folder.
# Crashes are saved there as crash-* files.
#
#   tests/fuzz/run.sh [SECONDS] [BUILD_DIR] [TARGET...]
#
# Each target runs for SECONDS seconds (default 60). With RUNS set, each
# stops instead after that many executions, the terminal input targets
# after five times as many (their inputs are short and many; so are the
# telnet filter's), and SECONDS
# only caps the time of each. The run is niced: the machine is shared.
#
#   RUNS=2000000 tests/fuzz/run.sh 3600     # the budget run
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
SECONDS_EACH=${1:-60}
OUT=${2:-$ROOT/build-fuzz}
[ $# -ge 2 ] && shift 2 || shift $#
status=0
if [ $# -gt 0 ]; then
    targets=""
    for name in "$@"; do targets="$targets $OUT/tests/fuzz/$name"; done
else
    targets=$(ls "$OUT"/tests/fuzz/fuzz_*)
fi
ran=0
for exe in $targets; do
    [ -x "$exe" ] || continue
    name=$(basename "$exe")
    ran=$((ran + 1))
    seed="$ROOT/tests/fuzz/corpus/${name#fuzz_}"
    [ -d "$seed" ] || seed=""
    work="$OUT/corpus/$name"
    mkdir -p "$work" "$OUT/crashes/$name"
    runs=""
    if [ -n "${RUNS:-}" ]; then
        case $name in
            fuzz_term_input|fuzz_term_keys|fuzz_telnet) runs="-runs=$((RUNS * 5))" ;;
            *) runs="-runs=$RUNS" ;;
        esac
    fi
    # Inputs are kept as long as each target can use. The saving writer
    # gets up to 64 KiB, bigger than a block. A screen file of 16 KiB
    # holds several screens of dense colour art, and an issue folder of 8
    # KiB more than the largest seed folder; the checker draws each screen
    # once per clear in it, so its time grows faster than its input.
    # The viewer draws its page once per key, so its time grows with the
    # text; past a few pages (and past the 255 columns a line is cut to)
    # longer texts reach nothing new. The key decoders hold at most one
    # unfinished sequence, the line editor a line of 255, a header screen
    # takes 2,000 bytes and a frame of changes about 1 KiB: 4 KiB reach
    # what longer inputs do. The pipe code writers cut every text to 255
    # characters, so 1 KiB is plenty. A piece of an art format holds a
    # font of 4,096 bytes (8,192 for 512 glyphs) before its image, and 16
    # KiB leaves room for a page of them.
    case $name in
        fuzz_save_writer) max_len=65536 ;;
        fuzz_renderer|fuzz_bin|fuzz_xbin|fuzz_adf|fuzz_idf|fuzz_tnd|fuzz_pcb) max_len=16384 ;;
        fuzz_check_content) max_len=8192 ;;
        fuzz_pipe) max_len=1024 ;;
        *) max_len=4096 ;;
    esac
    echo "== $name for at most ${SECONDS_EACH}s ${runs} -max_len=$max_len"
    start=$(date +%s)
    nice -n 19 "$exe" -max_total_time="$SECONDS_EACH" $runs -max_len=$max_len -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$OUT/crashes/$name/" -print_final_stats=1 \
        "$work" $seed 2>"$OUT/$name.log"
    rc=$?
    grep -E "^stat::number_of_executed_units|^stat::average_exec_per_sec|^stat::peak_rss_mb|^#[0-9]+ +DONE" "$OUT/$name.log"
    echo "time: $(( $(date +%s) - start ))s"
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
