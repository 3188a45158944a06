// The terminal's answers taken out of arbitrary bytes: only whole answers
// are removed (the rest stays in order), a shape named is one of DECSCUSR's,
// and taking again until nothing is found ends.
#include <string>

#include "console/term_answers.h"
#include "fuzz_common.h"

namespace {

// Whether Part is Whole with some bytes left out, in order.
bool IsSubsequence(const std::string& part, const std::string& whole) {
    std::size_t i = 0;
    for (const char c : whole)
        if (i < part.size() && part[i] == c) ++i;
    return i == part.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string bytes = input;
    for (;;) {
        const std::string before = bytes;
        const termanswers::Answers found = termanswers::Take(bytes);
        FUZZ_CHECK(IsSubsequence(bytes, before));
        if (found.cursorShape) {
            FUZZ_CHECK(found.shapeAnswered);
            FUZZ_CHECK(*found.cursorShape >= 0 && *found.cursorShape <= 6);
        }
        if (found.column) FUZZ_CHECK(*found.column >= 0);
        if (!found.shapeAnswered && !found.column) {
            FUZZ_CHECK(bytes == before);  // nothing found, nothing taken
            break;
        }
        FUZZ_CHECK(bytes.size() < before.size());  // each answer takes bytes: the loop ends
    }
    return 0;
}
