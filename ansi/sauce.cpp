#include "ansi/sauce.h"

#include <algorithm>

namespace {

constexpr std::string_view kRecordId = "SAUCE";
constexpr std::string_view kCommentId = "COMNT";
constexpr char kEndOfFile = 26;

// The record's fields: offset and length.
struct Field {
    std::size_t Offset, Length;
};
constexpr Field kVersion{5, 2}, kTitle{7, 35}, kAuthor{42, 20}, kGroup{62, 20}, kDate{82, 8}, kFont{106, 22};
constexpr std::size_t kFileSize = 90, kDataType = 94, kFileType = 95, kTInfo1 = 96, kTInfo2 = 98, kCommentCount = 104,
                      kFlags = 105;

// Data type 1 is character art: its file types ASCII (0), ANSI (1) and ANSI
// animation (2) give width, lines, flags and font; PCBoard (4), Avatar (5)
// and TundraDraw (8) width and lines. Binary text (5) gives its width as
// twice its file type, with flags and font; XBIN (6) width and lines.
constexpr std::uint8_t kCharacterData = 1;
constexpr std::uint8_t kBinaryText = 5;
constexpr std::uint8_t kXBin = 6;
constexpr std::uint8_t kLastTextFileType = 2;
constexpr std::uint8_t kPcBoard = 4, kAvatar = 5, kTundraDraw = 8;

unsigned Byte(std::string_view bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }

unsigned Word(std::string_view bytes, std::size_t at) { return Byte(bytes, at) | Byte(bytes, at + 1) << 8; }

std::uint32_t DoubleWord(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(Word(bytes, at)) | static_cast<std::uint32_t>(Word(bytes, at + 2)) << 16;
}

std::string_view TrimEnd(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
    return text;
}

// A text field without its padding. Bytes 0-31 are controls in text (the
// renderer acts on some of them), so a field is cut at the first one that
// stays after the padding is taken off, and the fault is named.
std::string Text(std::string_view bytes, const std::string& what, std::vector<std::string>& faults) {
    const std::string_view trimmed = TrimEnd(bytes);
    const auto bad =
        std::find_if(trimmed.begin(), trimmed.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
    if (bad == trimmed.end()) return std::string(trimmed);
    faults.push_back(what +
                     " holds bytes that are not code page 437 text (control bytes or NULs); it is cut before them");
    return std::string(TrimEnd(trimmed.substr(0, static_cast<std::size_t>(bad - trimmed.begin()))));
}

std::string_view Slice(std::string_view record, Field f) { return record.substr(f.Offset, f.Length); }

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Whether Date (8 bytes) is a real day written CCYYMMDD, from the year 1900 on.
bool IsRealDate(std::string_view date) {
    if (!std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    auto number = [&](std::size_t at, std::size_t length) {
        int n = 0;
        for (std::size_t i = at; i < at + length; ++i) n = n * 10 + (date[i] - '0');
        return n;
    };
    const int year = number(0, 4), month = number(4, 2), day = number(6, 2);
    if (year < 1900 || month < 1 || month > 12 || day < 1) return false;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int last = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= last;
}

// A record cut short: "SAUCE00" after a byte 26 (or at the very start)
// within the last 127 bytes. Gives its position, or npos.
std::size_t CutRecordAt(std::string_view file) {
    const std::size_t from = file.size() >= SauceRecordSize ? file.size() - SauceRecordSize + 1 : 0;
    for (std::size_t at = file.size(); at-- > from;) {
        if (file.substr(at, 7) != "SAUCE00") continue;
        if (at == 0 || file[at - 1] == kEndOfFile) return at;
    }
    return std::string_view::npos;
}

void ReadComments(std::string_view file, std::size_t recordAt, unsigned count, Sauce& s) {
    const std::size_t blockSize = kCommentId.size() + SauceCommentSize * count;
    if (blockSize > recordAt) {
        s.Faults.push_back("the comment count " + std::to_string(count) +
                           " runs past the start of the file; the comments are ignored");
        return;
    }
    const std::size_t blockAt = recordAt - blockSize;
    if (file.substr(blockAt, kCommentId.size()) != kCommentId) {
        s.Faults.push_back("the record counts " + std::to_string(count) +
                           " comment lines, but no COMNT block stands before it; the comments are ignored");
        return;
    }
    for (unsigned i = 0; i < count; ++i) {
        const std::string_view line = file.substr(blockAt + kCommentId.size() + SauceCommentSize * i, SauceCommentSize);
        s.Comments.push_back(Text(line, "comment line " + std::to_string(i + 1), s.Faults));
    }
    s.ArtEnd = blockAt;
}

void ReadWidth(unsigned width, Sauce& s) {
    s.GivenWidth = static_cast<int>(width);
    if (width == 0 || width > static_cast<unsigned>(SauceMaxWidth))
        s.Faults.push_back("the width " + std::to_string(width) + " is not a number of columns from 1 to " +
                           std::to_string(SauceMaxWidth) + "; it is ignored");
    else
        s.Width = static_cast<int>(width);
}

void ReadFlags(std::string_view record, Sauce& s) {
    const unsigned flags = Byte(record, kFlags);
    s.IceColours = (flags & 1) != 0;
    switch ((flags >> 1) & 3) {
    case 1: s.LetterSpacing = 8; break;
    case 2: s.LetterSpacing = 9; break;
    case 3: s.Faults.push_back("the letter spacing bits are 11, which names no spacing; it is ignored"); break;
    default: break;
    }
    switch ((flags >> 3) & 3) {
    case 1: s.Aspect = SauceAspect::Legacy; break;
    case 2: s.Aspect = SauceAspect::Square; break;
    case 3: s.Faults.push_back("the aspect ratio bits are 11, which names no aspect; it is ignored"); break;
    default: break;
    }
    if (flags >> 5) s.Faults.push_back("the flags set bits above the aspect ratio, which mean nothing");
    s.Font = Text(Slice(record, kFont), "the font name", s.Faults);
}

// What the record says of the art's look, as far as its data and file
// types give it; false for types that say nothing of it.
bool ReadLook(std::string_view record, Sauce& s) {
    if (s.DataType == kCharacterData && s.FileType <= kLastTextFileType) {
        ReadWidth(Word(record, kTInfo1), s);
        s.Lines = static_cast<int>(Word(record, kTInfo2));
        ReadFlags(record, s);
        return true;
    }
    if (s.DataType == kCharacterData &&
        (s.FileType == kPcBoard || s.FileType == kAvatar || s.FileType == kTundraDraw)) {
        ReadWidth(Word(record, kTInfo1), s);
        s.Lines = static_cast<int>(Word(record, kTInfo2));
        return true;
    }
    if (s.DataType == kBinaryText) {
        ReadWidth(2u * s.FileType, s);
        ReadFlags(record, s);
        return true;
    }
    if (s.DataType == kXBin) {
        ReadWidth(Word(record, kTInfo1), s);
        s.Lines = static_cast<int>(Word(record, kTInfo2));
        return true;
    }
    return false;
}

}  // namespace

Sauce ReadSauce(std::string_view file) {
    Sauce s;
    s.ArtEnd = s.DataEnd = file.size();
    const std::size_t recordAt = file.size() >= SauceRecordSize ? file.size() - SauceRecordSize : 0;
    if (file.size() < SauceRecordSize || file.substr(recordAt, kRecordId.size()) != kRecordId) {
        const std::size_t cut = CutRecordAt(file);
        if (cut != std::string_view::npos) {
            s.Faults.push_back("the file ends " + std::to_string(file.size() - cut) +
                               " bytes into its SAUCE record, which takes 128; the record is ignored");
            s.DataEnd = cut;
            s.ArtEnd = cut > 0 && file[cut - 1] == kEndOfFile ? cut - 1 : cut;
        }
        return s;
    }
    const std::string_view record = file.substr(recordAt);
    s.ArtEnd = recordAt;
    const std::string_view version = Slice(record, kVersion);
    if (version != "00") {
        std::string shown;
        for (const char c : version) shown += c >= '!' && c <= '~' ? c : '?';
        s.Faults.push_back("the record is of version \"" + shown + "\", not 00; its fields are ignored");
    } else {
        s.Present = true;
        s.Title = Text(Slice(record, kTitle), "the title", s.Faults);
        s.Author = Text(Slice(record, kAuthor), "the author", s.Faults);
        s.Group = Text(Slice(record, kGroup), "the group", s.Faults);
        const std::string_view date = Slice(record, kDate);
        if (IsRealDate(date))
            s.Date = std::string(date);
        else if (!TrimEnd(date).empty())
            s.Faults.push_back("the date is not a real day written CCYYMMDD; it is ignored");
        s.FileSize = DoubleWord(record, kFileSize);
        s.DataType = static_cast<std::uint8_t>(Byte(record, kDataType));
        s.FileType = static_cast<std::uint8_t>(Byte(record, kFileType));
        if (!ReadLook(record, s))
            s.Faults.push_back("the record describes data type " + std::to_string(s.DataType) + ", file type " +
                               std::to_string(s.FileType) +
                               ", which is no character art the gallery draws; its width, lines, flags and font "
                               "are ignored");
        if (const unsigned count = Byte(record, kCommentCount); count > 0) ReadComments(file, recordAt, count, s);
    }
    // The art ends at the byte 26 right before the comment block or record,
    // or, as many pieces are saved, at the block or record itself.
    s.DataEnd = s.ArtEnd;
    if (s.ArtEnd > 0 && file[s.ArtEnd - 1] == kEndOfFile) --s.ArtEnd;
    return s;
}
