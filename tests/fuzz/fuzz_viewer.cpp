// The text viewer on arbitrary bytes under random keys: the bytes become a
// file, the viewer loads it into one of the windows the program uses and
// takes the keys (every key of its table but Ctrl+S, which would write
// files) until they run out. Its positions stay in their ranges and, while
// no dialog or help box was opened, nothing is drawn outside the window.
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
constexpr std::array<uint8_t, 11> kExtended = {72, 80, 73, 81, 75, 77, 71, 79, 59, 68, 45};
constexpr std::array<char, 10> kPlain = {'+', '-', '/', '*', 18, 6, 7, 25, 'a', 'e'};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const TCoord window = kWindows[in.ConsumeIntegralInRange<std::size_t>(0, kWindows.size() - 1)];
    const std::vector<uint8_t> keys = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 64));
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    memcon::Reset(25);
    InitConsole();
    File().Write(bytes);
    bool boxes = false;  // a dialog or the help box may draw outside
    for (uint8_t k : keys) {
        if (k & 0x80) {
            const uint8_t code = kExtended[k % kExtended.size()];
            memcon::PressExtended(code);
            boxes |= code == 59 || code == 68;
        } else {
            const char c = kPlain[k % kPlain.size()];
            memcon::PushKeyPress(0, 0, static_cast<uint8_t>(c));
            boxes |= c == 6;
            if (c == 6) {  // Ctrl+F: a word from the text, then Enter and YES
                memcon::TypeText(bytes.substr(0, k % 5));
                memcon::PressEnter();
                memcon::PressEnter();
            }
        }
    }
    memcon::PressEsc();
    ttextviewer viewer;
    viewer.Window = window;
    viewer.Load(File().Path());
    FUZZ_CHECK(!viewer.Lines.empty() || bytes.empty());
    try {
        viewer.Run();
    } catch (const memcon::InputExhausted&) {
        // A dialog took keys the script meant for the page.
    }
    FUZZ_CHECK(viewer.TopLine >= 0);
    FUZZ_CHECK(viewer.TopLine <= std::max<int32_t>(0, static_cast<int32_t>(viewer.Lines.size()) - 1));
    FUZZ_CHECK(viewer.LeftCol >= 0);
    if (!boxes) {
        for (int row = 1; row <= 25; ++row)
            for (int col = 1; col <= 80; ++col) {
                const bool inside = col >= window.X && col < window.X + window.Width && row >= window.Y &&
                                    row <= window.Y + window.Height;
                if (inside) continue;
                const conapi::Cell cell = memcon::CellAt(col - 1, row - 1);
                FUZZ_CHECK(cell.Char == ' ' && cell.Attr == 7);
            }
    }
    DoneConsole();
    return 0;
}
