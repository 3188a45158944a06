// The terminal screen renderer on random frames and terminal sizes: raw
// output holds no control bytes but ESC, CR and LF and nothing a terminal
// takes as a C1 control; UTF-8 output is well formed; a frame drawn twice
// costs nothing the second time; leaving fits its buffer.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "console/term_screen.h"
#include "fuzz_common.h"

namespace {

bool ValidUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<uint8_t>(s[i]);
        std::size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool utf8 = in.ConsumeBool();
    termscreen::Renderer r(termscreen::Options{utf8, in.ConsumeBool()});
    const int rows = in.ConsumeBool() ? 50 : 25;
    std::vector<conapi::Cell> cells(80 * rows, conapi::Cell{' ', 7});
    while (in.remaining_bytes() > 0) {
        if (in.ConsumeIntegralInRange(0, 15) == 0)
            r.SetTerminalSize(in.ConsumeIntegralInRange(1, 140), in.ConsumeIntegralInRange(1, 70));
        const int changes = in.ConsumeIntegralInRange(0, 200);
        for (int k = 0; k < changes && in.remaining_bytes() > 0; ++k) {
            auto& cell = cells[in.ConsumeIntegralInRange<std::size_t>(0, cells.size() - 1)];
            cell.Char = in.ConsumeIntegral<uint16_t>();
            cell.Attr = in.ConsumeIntegral<uint16_t>();
        }
        termscreen::Frame frame{
            cells.data(), rows,
            conapi::Coord{in.ConsumeIntegralInRange<int16_t>(-2, 90), in.ConsumeIntegralInRange<int16_t>(-2, 60)},
            in.ConsumeBool()};
        const std::string out = r.Update(frame);
        if (utf8) {
            FUZZ_CHECK(ValidUtf8(out));
        } else {
            for (char ch : out) {
                const auto b = static_cast<uint8_t>(ch);
                FUZZ_CHECK(!(b >= 0x80 && b < 0xA0));
                FUZZ_CHECK(b >= 0x20 || b == 0x1B || b == '\r' || b == '\n');
            }
        }
        FUZZ_CHECK(r.Update(frame).empty());
        FUZZ_CHECK(r.NextFreeRow() >= 0 && r.NextFreeRow() <= rows);
    }
    char buf[termscreen::kLeaveMax];
    FUZZ_CHECK(termscreen::FormatLeave(buf, r.NextFreeRow(), 70) <= termscreen::kLeaveMax);
    return 0;
}
