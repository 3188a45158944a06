// Code page 437, the character set of the PC text screen, as Unicode.
//
// Every one of the 256 values is a glyph on the PC screen: 0x01-0x1F are the
// smileys, card suits and arrows, 0x7F is the house, 0x00 and 0xFF look
// blank. A terminal that speaks UTF-8 is sent these code points; one that
// does not gets the raw bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cp437 {

// The Unicode code point shown for a code page 437 byte (0x00 gives a space).
char32_t ToUnicode(uint8_t ch);

// The code page 437 byte that shows code point Cp, if there is one. The
// space gives 0x20 (not 0x00); ASCII control characters give nothing.
std::optional<uint8_t> FromUnicode(char32_t cp);

// Appends the UTF-8 form of Cp (up to U+10FFFF) to Out.
void AppendUtf8(std::string& out, char32_t cp);

// The UTF-8 bytes of the glyph for a code page 437 byte.
std::string GlyphUtf8(uint8_t ch);

// What to send in place of a code page 437 byte on a terminal that takes
// raw 8-bit bytes. 0x80-0x9F are C1 control characters to such a terminal
// (0x9B starts a control sequence), so those glyphs, all letters and
// currency signs, are sent as their plain ASCII look-alike; every other
// byte from 0x80 goes as it is. Bytes below 0x80 are answered unchanged.
uint8_t RawByte(uint8_t ch);

// Whether a locale name such as "en_US.UTF-8" or "C.utf8" names the UTF-8
// character set ("UTF-8" or "utf8", any case).
bool NamesUtf8(std::string_view locale);

// Whether the locale named by the environment is UTF-8, for when the C
// library cannot set it (not installed): the first of LC_ALL, LC_CTYPE and
// LANG that is set and not empty decides. Null means not set.
bool EnvironmentSaysUtf8(const char* lcAll, const char* lcCtype, const char* lang);

// The UTF-8 form of a text in code page 437: each byte as the glyph the PC
// screen shows for it (printable ASCII stays as it is).
std::string ToUtf8(std::string_view text);

}  // namespace cp437
