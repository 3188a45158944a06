// The terminal's input path, whole against split: bytes read in one go and
// the same bytes read in pieces, each piece coming within the Esc wait of
// the one before, must give the same keys. Before each read the loop looks
// at the clock (a time older than the bytes it then reads); that must never
// resolve anything early.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "console/term_keys.h"
#include "fuzz_common.h"

namespace {

constexpr uint64_t kMs = 1'000'000;
constexpr uint64_t kWait = termkeys::kEscWaitMs * kMs;
// Long enough for anything to be resolved, a paste too.
constexpr uint64_t kLongWait = termkeys::kPasteWaitMs * kMs;

bool SameKeys(const std::vector<conapi::InputRecord>& a, const std::vector<conapi::InputRecord>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].Type != b[i].Type || a[i].KeyDown != b[i].KeyDown || a[i].VirtualKey != b[i].VirtualKey ||
            a[i].ScanCode != b[i].ScanCode || a[i].Char != b[i].Char || a[i].ControlState != b[i].ControlState)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool utf8 = in.ConsumeBool();
    const std::vector<uint8_t> cuts = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 24));
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const uint64_t t0 = 1000 * kMs;

    termkeys::KeyInput whole(utf8);
    std::vector<conapi::InputRecord> wholeKeys;
    whole.Feed(bytes, t0, wholeKeys);
    whole.ExpireIfDue(t0 + kLongWait, wholeKeys);
    FUZZ_CHECK(!whole.Pending());

    termkeys::KeyInput split(utf8);
    std::vector<conapi::InputRecord> splitKeys;
    uint64_t t = t0;
    std::size_t pos = 0;
    for (std::size_t i = 0; pos < bytes.size(); ++i) {
        const uint8_t c = i < cuts.size() ? cuts[i] : 255;
        const std::size_t len = i < cuts.size() ? 1 + c % 40 : bytes.size() - pos;
        const uint64_t gap = (c * 7919u) % kWait;  // always shorter than the wait
        split.ExpireIfDue(t + gap / 2, splitKeys);
        t += gap;
        split.Feed(std::string_view(bytes).substr(pos, len), t, splitKeys);
        split.ExpireIfDue(t - 1, splitKeys);  // the clock read before this read
        pos += len;
    }
    split.ExpireIfDue(t + kLongWait, splitKeys);
    FUZZ_CHECK(!split.Pending());
    FUZZ_CHECK(SameKeys(wholeKeys, splitKeys));
    return 0;
}
