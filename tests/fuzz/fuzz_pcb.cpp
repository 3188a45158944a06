// Arbitrary bytes as PCBoard (PCB) files to the art reader, saved under a name of
// the format's extension; the checks are those of fuzz_art.h. The seeds are
// small pieces of the format, whole and damaged, from
// tools/make_format_pieces.py --corpus.
#include "fuzz_art.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzing::CheckArt(data, size, "piece.pcb");
}
