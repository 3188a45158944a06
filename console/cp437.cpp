#include "console/cp437.h"

#include <array>

namespace cp437 {
namespace {

// The glyphs of 0x00-0x1F: what the PC's character generator draws for the
// control values (0x00 is blank).
// clang-format off
constexpr std::array<char32_t, 32> kLow = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};
// clang-format on

// The glyphs of 0x80-0xFF: accented letters, box drawing, blocks, Greek and
// mathematical signs.
// clang-format off
constexpr std::array<char32_t, 128> kHigh = {
    // 0x80
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    // 0x90
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    // 0xA0
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    // 0xB0
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    // 0xC0
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    // 0xD0
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    // 0xE0
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    // 0xF0
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

constexpr char32_t kHouse = 0x2302;

// The ASCII look-alikes of 0x80-0x9F: accented letters without their
// accents, ae ligatures as their first letter, and the currency signs as
// the letter they start with.
constexpr char kRawC1[] = "CueaaaaceeeiiiAAEaAooouuyOUcLYPf";
static_assert(sizeof(kRawC1) == 33, "one look-alike for each of 0x80-0x9F");

}  // namespace

char32_t ToUnicode(uint8_t ch) {
    if (ch < 0x20) return kLow[ch];
    if (ch == 0x7F) return kHouse;
    if (ch < 0x80) return ch;
    return kHigh[ch - 0x80];
}

std::optional<uint8_t> FromUnicode(char32_t cp) {
    if (cp >= 0x20 && cp < 0x7F) return static_cast<uint8_t>(cp);
    if (cp < 0x80) return std::nullopt;
    if (cp == kHouse) return uint8_t{0x7F};
    // Key input is rare, so a plain scan of the two small tables will do.
    for (int i = 1; i < 0x20; ++i)
        if (kLow[i] == cp) return static_cast<uint8_t>(i);
    for (int i = 0; i < 0x80; ++i)
        if (kHigh[i] == cp) return static_cast<uint8_t>(0x80 + i);
    return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t cp) {
    auto put = [&out](uint32_t b) { out.push_back(static_cast<char>(b)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | ((cp >> 18) & 0x07));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

uint8_t RawByte(uint8_t ch) {
    if (ch >= 0x80 && ch < 0xA0) return static_cast<uint8_t>(kRawC1[ch - 0x80]);
    return ch;
}

bool NamesUtf8(std::string_view locale) {
    std::string lower(locale);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
}

bool EnvironmentSaysUtf8(const char* lcAll, const char* lcCtype, const char* lang) {
    for (const char* name : {lcAll, lcCtype, lang})
        if (name && *name) return NamesUtf8(name);
    return false;
}

std::string GlyphUtf8(uint8_t ch) {
    std::string out;
    AppendUtf8(out, ToUnicode(ch));
    return out;
}

std::string ToUtf8(std::string_view text) {
    std::string out;
    for (const char ch : text) AppendUtf8(out, ToUnicode(static_cast<uint8_t>(ch)));
    return out;
}

}  // namespace cp437
