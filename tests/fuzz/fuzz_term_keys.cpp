// The terminal key decoder on arbitrary bytes, fed in pieces of arbitrary
// length as reads would deliver them: every record is a key-down record,
// pending input stays bounded, and after Expire nothing is left waiting.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "console/term_keys.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    termkeys::Decoder decoder(in.ConsumeBool());
    std::vector<conapi::InputRecord> out;
    while (in.remaining_bytes() > 0) {
        const std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(1, 64);
        const std::string bytes = in.ConsumeBytesAsString(piece);
        out.clear();
        decoder.Feed(bytes, out);
        for (const conapi::InputRecord& rec : out) {
            FUZZ_CHECK(rec.Type == conapi::EventType::Key);
            FUZZ_CHECK(rec.KeyDown);
        }
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
