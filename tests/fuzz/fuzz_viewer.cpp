// The text viewer's loading and line splitting on arbitrary bytes: the
// bytes become a file, the viewer loads it into one of the windows the
// program uses, draws the first page and leaves on a scripted Esc.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>

#include "console/con_memory.h"
#include "console/m_Console.h"
#include "fuzz_common.h"
#include "viewer/text_viewer.h"

namespace {
const fuzzing::ScratchFile& File() {
    static const fuzzing::ScratchFile file("fuzz-viewer");
    return file;
}

// The about/editorial window, a header-screen window, the whole screen and
// a narrow one.
constexpr std::array<TCoord, 4> kWindows = {{{1, 5, 80, 17}, {1, 7, 79, 16}, {1, 1, 80, 24}, {30, 10, 20, 5}}};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const TCoord window = kWindows[in.ConsumeIntegralInRange<std::size_t>(0, kWindows.size() - 1)];
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    memcon::Reset(25);
    InitConsole();
    File().Write(bytes);
    ttextviewer viewer;
    viewer.Window = window;
    viewer.Load(File().Path());
    FUZZ_CHECK(!viewer.Lines.empty() || bytes.empty());
    memcon::PressEsc();
    viewer.Run();
    // The first page stays inside the window: every cell around it is as
    // the cleared screen left it.
    for (int row = 1; row <= 25; ++row)
        for (int col = 1; col <= 80; ++col) {
            const bool inside = col >= window.X && col < window.X + window.Width && row >= window.Y &&
                                row <= window.Y + window.Height;
            if (inside) continue;
            const conapi::Cell cell = memcon::CellAt(col - 1, row - 1);
            FUZZ_CHECK(cell.Char == ' ' && cell.Attr == 7);
        }
    DoneConsole();
    return 0;
}
