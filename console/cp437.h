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

}  // namespace cp437
