// The ANSI renderer on arbitrary bytes: the bytes become a file that
// ShowAnsiFile draws on the memory console, from a chosen start position,
// with a chosen pause interval, on a 25- or 50-row screen. No key is ever
// waiting, so the drawing always runs to the end of the file.
#include <fuzzer/FuzzedDataProvider.h>

#include "ansi/ansi_renderer.h"
#include "console/con_memory.h"
#include "console/m_Console.h"
#include "fuzz_common.h"

namespace {
const fuzzing::ScratchFile& File() {
    static const fuzzing::ScratchFile file("fuzz-renderer");
    return file;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    // The controls come off the end of the input, so seed screens keep
    // their beginning.
    const int32_t pause = in.ConsumeIntegral<int16_t>();
    const int rows = in.ConsumeBool() ? 50 : 25;
    const int startX = in.ConsumeIntegralInRange(1, 80);
    const int startY = in.ConsumeIntegralInRange(1, rows);
    const uint8_t attr = in.ConsumeIntegral<uint8_t>();
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    memcon::Reset(rows);
    InitConsole();
    GotoXY(startX, startY);
    SetTextAttr(attr);
    File().Write(bytes);
    ShowAnsiFile(File().Path(), pause);

    // The cursor stays on the screen (column 81 is the pending wrap of the
    // second-to-last row), and nothing waited for a key.
    FUZZ_CHECK(WhereX() >= 1 && WhereX() <= 81);
    FUZZ_CHECK(WhereY() >= 1 && WhereY() <= rows);
    FUZZ_CHECK(memcon::Rows() == rows);
    // A pause is 6 ms, at most one for each byte read.
    FUZZ_CHECK(memcon::SleptMs() <= 6 * (bytes.size() + 1));
    DoneConsole();
    return 0;
}
