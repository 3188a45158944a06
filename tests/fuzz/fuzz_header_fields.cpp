// The header screen's marker scan on arbitrary screens: every marker is
// replaced, each field starts where a run of markers starts and keeps the
// colour of its first cell, and the fields' lengths add up to the markers
// (lengths are bytes: counted modulo 256).
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "app/articles.h"
#include "console/con_memory.h"
#include "console/m_Console.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    memcon::Reset(25);
    InitConsole();
    // A screen of '!', letters and blanks in random colours.
    std::vector<bool> marker(80 * 25, false);
    std::vector<uint8_t> attrs(80 * 25, 7);
    unsigned markers = 0;
    for (int i = 0; i < 80 * 25 - 1 && in.remaining_bytes() > 0; ++i) {
        const uint8_t b = in.ConsumeIntegral<uint8_t>();
        const char ch = (b & 3) == 0 ? '!' : (b & 3) == 1 ? ' ' : static_cast<char>('a' + b % 26);
        attrs[i] = static_cast<uint8_t>(b >> 1);
        marker[i] = ch == '!';
        markers += marker[i];
        // Through the character writer, as the ANSI renderer draws a
        // header screen: the scan reads what it wrote.
        if (i % 80 == 0) GotoXY(1, i / 80 + 1);
        SetTextAttr(attrs[i]);
        WriteStr(std::string(1, ch));
    }
    ScanHeaderFields('!', ' ');
    for (int i = 0; i < 80 * 25; ++i) FUZZ_CHECK(memcon::CellAt(i % 80, i / 80).Char != '!');
    unsigned total = 0;
    for (const TCoord& f : HeaderFields) {
        const int at = (f.Y - 1) * 80 + (f.X - 1);
        FUZZ_CHECK(marker[at]);
        FUZZ_CHECK(at == 0 || !marker[at - 1]);
        FUZZ_CHECK(f.Width == attrs[at]);
        total += f.Height;
    }
    FUZZ_CHECK(total % 256 == markers % 256);
    if (!HeaderFields.empty()) {
        const int index = in.ConsumeIntegralInRange<int>(-1, static_cast<int>(HeaderFields.size()));
        WriteHeaderField(index, in.ConsumeRandomLengthString(300));
    }
    ClearHeaderFields();
    DoneConsole();
    return 0;
}
