// magazine.toml on arbitrary text, as a magazine folder's editor might
// write it or a pack might carry it: the reader never crashes, every
// problem is one plain line with a line number within the text, and the
// names it gives back keep the rules of a magazine's names whatever the
// text holds (a name of at most 12 lower-case letters, digits and single
// spaces; a contact line and a title of plain 7-bit characters within
// their lengths), so that nothing drawn from them can break a screen.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_common.h"
#include "issue/layout.h"
#include "issue/manifest.h"

namespace {

bool PlainText(const std::string& text, std::size_t most) {
    return text.size() <= most &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= 32 && c <= 126; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<issue::Problem> problems;
    const issue::MagazineNames names = issue::ReadMagazineText(text, "magazine.toml", problems);
    const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    for (const issue::Problem& p : problems) {
        FUZZ_CHECK(p.Line >= 0 && p.Line <= lines + 1);
        const std::string line = issue::Format("magazine.toml", p);
        FUZZ_CHECK(line.find('\n') == std::string::npos);
    }
    FUZZ_CHECK(!names.Name.empty() && names.Name.size() <= issue::MaxNameLength);
    FUZZ_CHECK(std::all_of(names.Name.begin(), names.Name.end(),
                           [](unsigned char c) { return c == ' ' || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }));
    FUZZ_CHECK(names.Name.find("  ") == std::string::npos);
    FUZZ_CHECK(PlainText(names.Contact, issue::MaxContactLength));
    FUZZ_CHECK(!names.Title.empty() && PlainText(names.Title, issue::MaxTitleLength + issue::MaxNameLength + 9));
    return 0;
}
