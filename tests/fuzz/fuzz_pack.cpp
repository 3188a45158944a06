// The pack reader on arbitrary bytes, alone or behind a runner's bytes: it
// answers, never crashes, and what it takes keeps every rule of a pack (plain
// names, each once, within the limits). Half the inputs are made zips whose
// bytes the fuzzer then spoils, so that the reader's deeper paths are reached.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "fuzz_common.h"
#include "issue/issue.h"
#include "issue/pack.h"

namespace {

void CheckTaken(const issue::PackFiles& files) {
    FUZZ_CHECK(files.size() <= issue::MaxPackEntries);
    std::set<std::string> names;
    std::size_t total = 0;
    for (const issue::PackFile& f : files) {
        FUZZ_CHECK(issue::IsPlainFileName(f.Name));
        std::string lower = f.Name;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        FUZZ_CHECK(names.insert(lower).second);
        FUZZ_CHECK(f.Bytes.size() <= issue::MaxEntryBytes);
        total += f.Bytes.size();
    }
    FUZZ_CHECK(total <= issue::MaxPackBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string prefix = in.ConsumeBool() ? std::string(in.ConsumeIntegralInRange(0, 64), '\x7f') : "";
    std::string bytes;
    if (in.ConsumeBool()) {
        // A real zip of a few entries, then spoilt at fuzzer-chosen places.
        issue::PackFiles made;
        const int entries = in.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < entries; ++i)
            made.push_back({in.ConsumeRandomLengthString(16), in.ConsumeRandomLengthString(200)});
        std::string error;
        if (!issue::WritePack(prefix, made, bytes, error)) return 0;
        while (!bytes.empty() && in.remaining_bytes() >= 2) {
            const std::size_t at = in.ConsumeIntegralInRange<std::size_t>(0, bytes.size() - 1);
            bytes[at] = static_cast<char>(in.ConsumeIntegral<uint8_t>());
        }
    } else {
        bytes = prefix + in.ConsumeRemainingBytesAsString();
    }
    issue::PackFiles files;
    std::string error;
    if (issue::ReadPack(bytes, files, error)) {
        CheckTaken(files);
        issue::Issue shown;
        shown.Take(std::move(files), "fuzz.zip", error);  // the manifest and the fixed files are checked there
    } else {
        FUZZ_CHECK(files.empty() && !error.empty() && error.find('\n') == std::string::npos);
    }
    return 0;
}
