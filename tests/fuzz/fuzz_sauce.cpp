// The SAUCE reader on arbitrary files, and on records written here around
// arbitrary art. Any file: the art ends inside the file and at a byte 26
// unless a fault says otherwise, every field is clean text within its
// length, numbers are in range, and each fault is one plain line. A record
// written by the layout (first input byte odd): the reader gives back
// exactly the fields written, with no fault.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ansi/sauce.h"
#include "fuzz_common.h"

namespace {

bool CleanText(const std::string& text, std::size_t most) {
    if (text.size() > most) return false;
    if (!text.empty() && (text.back() == ' ' || text.back() == '\0')) return false;
    return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
}

void CheckAnyFile(std::string_view file) {
    const Sauce s = ReadSauce(file);
    FUZZ_CHECK(s.ArtEnd <= file.size());
    for (const std::string& f : s.Faults) {
        FUZZ_CHECK(!f.empty());
        FUZZ_CHECK(f.find('\n') == std::string::npos);
        FUZZ_CHECK(std::all_of(f.begin(), f.end(), [](char c) { return c >= ' ' && c <= '~'; }));
    }
    FUZZ_CHECK(CleanText(s.Title, 35) && CleanText(s.Author, 20) && CleanText(s.Group, 20) && CleanText(s.Font, 22));
    FUZZ_CHECK(s.Date.empty() || (s.Date.size() == 8 && std::all_of(s.Date.begin(), s.Date.end(),
                                                                    [](char c) { return c >= '0' && c <= '9'; })));
    FUZZ_CHECK(s.Width >= 0 && s.Width <= SauceMaxWidth);
    FUZZ_CHECK(s.Lines >= 0 && s.Lines <= 65535);
    FUZZ_CHECK(s.LetterSpacing == 0 || s.LetterSpacing == 8 || s.LetterSpacing == 9);
    FUZZ_CHECK(s.Comments.size() <= 255);
    for (const std::string& c : s.Comments) FUZZ_CHECK(CleanText(c, SauceCommentSize));
    if (!s.Present) {
        FUZZ_CHECK(s.Title.empty() && s.Author.empty() && s.Width == 0 && s.Comments.empty());
        FUZZ_CHECK(file.size() - s.ArtEnd <= SauceRecordSize + 1);  // the record and its byte 26
    } else {
        FUZZ_CHECK(file.size() >= SauceRecordSize);
        FUZZ_CHECK(s.ArtEnd + SauceRecordSize <= file.size());
    }
    // A piece with a record ends at its byte 26, or where the record (or
    // its comment block) starts straight after it.
    if (s.Present) {
        const std::string_view rest = file.substr(s.ArtEnd);
        FUZZ_CHECK(rest[0] == 26 || rest.starts_with("SAUCE00") || rest.starts_with("COMNT"));
    }
    if (s.ArtEnd == file.size()) FUZZ_CHECK(!s.Present);
}

// Takes the next byte off the input, 0 when it is used up.
struct Bytes {
    std::string_view in;
    unsigned Next() {
        if (in.empty()) return 0;
        const auto b = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        return b;
    }
    // Length bytes of text without control bytes, trailing spaces trimmed.
    std::string Text(std::size_t most) {
        std::string t;
        const std::size_t length = Next() % (most + 1);
        for (std::size_t i = 0; i < length; ++i) t += static_cast<char>(32 + Next() % 224);
        while (!t.empty() && t.back() == ' ') t.pop_back();
        return t;
    }
};

std::string Padded(const std::string& text, std::size_t length, char pad) {
    return text + std::string(length - text.size(), pad);
}

void CheckWrittenRecord(std::string_view input) {
    Bytes b{input};
    const std::string title = b.Text(35), author = b.Text(20), group = b.Text(20), font = b.Text(22);
    const unsigned year = 1900 + b.Next() % 200, month = 1 + b.Next() % 12, day = 1 + b.Next() % 28;
    char date[9];
    std::snprintf(date, sizeof date, "%04u%02u%02u", year, month, day);
    const unsigned width = 1 + (b.Next() | b.Next() << 8) % SauceMaxWidth;
    const unsigned lines = b.Next() | b.Next() << 8;
    const unsigned ice = b.Next() & 1, spacing = b.Next() % 3, aspect = b.Next() % 3;
    std::vector<std::string> comments(b.Next() % 5);
    for (std::string& c : comments) c = b.Text(SauceCommentSize);
    // The rest of the input is the art, byte 26 and all.
    const std::string art(b.in);

    std::string record = "SAUCE00" + Padded(title, 35, ' ') + Padded(author, 20, ' ') + Padded(group, 20, '\0') + date;
    for (int i = 0; i < 4; ++i) record += static_cast<char>(art.size() >> (8 * i) & 0xFF);
    record += '\x01';
    record += '\x01';
    for (const unsigned word : {width, lines, 0u, 0u}) {
        record += static_cast<char>(word & 0xFF);
        record += static_cast<char>(word >> 8);
    }
    record += static_cast<char>(comments.size());
    record += static_cast<char>(ice | spacing << 1 | aspect << 3);
    record += Padded(font, 22, '\0');
    FUZZ_CHECK(record.size() == SauceRecordSize);
    std::string block;
    if (!comments.empty()) {
        block = "COMNT";
        for (const std::string& c : comments) block += Padded(c, SauceCommentSize, ' ');
    }
    const std::string file = art + '\x1a' + block + record;

    const Sauce s = ReadSauce(file);
    FUZZ_CHECK(s.Faults.empty());
    FUZZ_CHECK(s.Present);
    FUZZ_CHECK(s.Title == title && s.Author == author && s.Group == group && s.Font == font);
    FUZZ_CHECK(s.Date == date);
    FUZZ_CHECK(s.Width == static_cast<int>(width) && s.Lines == static_cast<int>(lines));
    FUZZ_CHECK(s.IceColours == (ice == 1));
    FUZZ_CHECK(s.LetterSpacing == (spacing == 0 ? 0 : spacing == 1 ? 8 : 9));
    FUZZ_CHECK(s.Aspect == (aspect == 0 ? SauceAspect::None : aspect == 1 ? SauceAspect::Legacy : SauceAspect::Square));
    FUZZ_CHECK(s.Comments == comments);
    FUZZ_CHECK(s.ArtEnd == art.size());
    CheckAnyFile(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckAnyFile(input);
    if (!input.empty() && (input.front() & 1)) CheckWrittenRecord(input.substr(1));
    return 0;
}
