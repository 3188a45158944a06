// The line editor under random keys and pastes in each input mode: the text
// never grows past its limit and nothing is drawn outside the field's row.
#include <fuzzer/FuzzedDataProvider.h>

#include "console/con_memory.h"
#include "console/m_Console.h"
#include "fuzz_common.h"
#include "widgets/prompts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int col = in.ConsumeIntegralInRange(1, 80);
    const int row = in.ConsumeIntegralInRange(1, 25);
    const int width = in.ConsumeIntegralInRange(1, 81 - col);
    // Every caller gives the field as many columns as the text may have;
    // a field narrower than its text limit can draw next to itself.
    const int maxLen = width;
    const int mode = in.ConsumeIntegralInRange(0, 3);
    const std::string initial = in.ConsumeRandomLengthString(300);

    memcon::Reset(25);
    InitConsole();
    while (in.remaining_bytes() > 1) {
        const uint8_t kind = in.ConsumeIntegral<uint8_t>();
        const uint8_t value = in.ConsumeIntegral<uint8_t>();
        if (kind % 7 == 6) {
            // A paste: its characters, then its closing record.
            for (char c : in.ConsumeBytesAsString(value % 100))
                memcon::PushEvent(
                    conapi::InputRecord{conapi::EventType::Paste, true, 0, 0, static_cast<uint8_t>(c), 0});
            memcon::PushEvent(conapi::InputRecord{conapi::EventType::Paste, false, 0, 0, 0, 0});
        } else if (kind % 3 == 0)
            memcon::PressExtended(value, kind & 0x10 ? conapi::LeftCtrlPressed : 0);
        else if (value != '\r')
            memcon::PushKeyPress(0, 0, value);
    }
    memcon::PressEnter();
    std::string result;
    InputLine(static_cast<Byte>(col), static_cast<Byte>(row), static_cast<Byte>(width), static_cast<Byte>(maxLen),
              static_cast<Byte>(mode), 0x1F, 0x07, '.', initial, result);
    FUZZ_CHECK(result.size() <= std::max<std::size_t>(maxLen, std::min<std::size_t>(initial.size(), 255)));
    for (int r = 1; r <= 25; ++r)
        for (int c = 1; c <= 80; ++c) {
            // The field, and the cell just right of it where the cursor may
            // stand (a typed character can land there when the text is
            // longer than the field and may grow).
            if (r == row && c >= col && c <= col + width) continue;
            const conapi::Cell cell = memcon::CellAt(c - 1, r - 1);
            FUZZ_CHECK(cell.Char == ' ' && cell.Attr == 7);
        }
    DoneConsole();
    return 0;
}
