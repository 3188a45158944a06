// The terminal key decoder on arbitrary bytes, fed in pieces of arbitrary
// length as reads would deliver them: every record is a key-down record or
// part of a paste (characters, then one closing record), a paste holds no
// more than its bound, pending input stays bounded, and after Expire nothing
// is left waiting. Half the inputs begin inside a paste, so that its path
// sees random bytes too.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "console/term_keys.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool utf8 = in.ConsumeBool();
    termkeys::Decoder decoder(utf8);
    std::vector<conapi::InputRecord> out;
    if (in.ConsumeBool()) decoder.Feed("\x1b[200~", out);
    std::size_t pasted = 0;  // characters of the paste being read out
    while (in.remaining_bytes() > 0) {
        const std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(1, 64);
        const std::string bytes = in.ConsumeBytesAsString(piece);
        out.clear();
        decoder.Feed(bytes, out);
        for (const conapi::InputRecord& rec : out) {
            if (rec.Type == conapi::EventType::Paste) {
                // One line of text: no control byte survives (in UTF-8 the
                // glyphs of code page 437's first 32 characters may).
                if (rec.KeyDown) FUZZ_CHECK(++pasted <= termkeys::kMaxPasteChars && (utf8 || rec.Char >= 0x20));
                if (!rec.KeyDown) FUZZ_CHECK(pasted > 0);
                if (!rec.KeyDown) pasted = 0;
                continue;
            }
            FUZZ_CHECK(pasted == 0);  // a paste's records come together
            FUZZ_CHECK(rec.Type == conapi::EventType::Key);
            FUZZ_CHECK(rec.KeyDown);
        }
        FUZZ_CHECK(pasted == 0);
        // A sequence longer than any real key is dropped, not kept.
        FUZZ_CHECK(decoder.PendingBytes() <= 64);
        if (in.ConsumeBool()) {
            out.clear();
            decoder.Expire(out);
            FUZZ_CHECK(!decoder.Pending());
        }
    }
    for (int b = 0; b < 128; b += 37) (void)termkeys::AsciiKey(static_cast<uint8_t>(b));
    return 0;
}
