// The pipe colour code writers and the string helpers on arbitrary text,
// with their promises checked: texts are cut to 255 characters, widths are
// kept, visible lengths never exceed the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "console/con_memory.h"
#include "console/m_Console.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int x = in.ConsumeIntegralInRange(-5, 90);
    const int y = in.ConsumeIntegralInRange(-5, 30);
    const uint8_t attr = in.ConsumeIntegral<uint8_t>();
    const int width = in.ConsumeIntegralInRange(-10, 300);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const std::size_t cut = std::min<std::size_t>(text.size(), MaxText);

    memcon::Reset(25);
    InitConsole();
    GotoXY(x, y);
    SetTextAttr(attr);
    WritePipe(text);
    FUZZ_CHECK(WhereX() >= 1 && WhereX() <= 81);
    FUZZ_CHECK(WhereY() >= 1 && WhereY() <= 25);
    WriteXYPipe(x, y, attr, text);
    WriteXY(x, y, attr, text);

    const Byte visible = PipeLength(text);
    FUZZ_CHECK(visible <= cut);
    (void)PipePadWidth(text, width);
    (void)StrToInt(text);
    const std::string two = text.substr(0, 2);
    if (IsPipeCode(two, PipeRule::WritePipe)) (void)PipeAttr(two, attr);
    if (IsPipeCode(two, PipeRule::WriteXYPipe)) (void)PipeAttr(two, attr);

    const std::size_t w = static_cast<std::size_t>(std::clamp(width, 0, static_cast<int>(MaxText)));
    FUZZ_CHECK(PadRight(text, width, '.').size() == w);
    FUZZ_CHECK(PadLeft(text, width, '.').size() == w);
    FUZZ_CHECK(PadCenter(text, width, '.').size() == w);
    FUZZ_CHECK(Upper(text).size() == cut);
    FUZZ_CHECK(Lower(text).size() == cut);
    FUZZ_CHECK(RepeatChar('x', width).size() == (width > 0 ? w : 0));
    FUZZ_CHECK(AddSlash(text).size() <= MaxText);
    FUZZ_CHECK(StrToInt(IntToStr(width)) == width);
    DoneConsole();
    return 0;
}
