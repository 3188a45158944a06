// XBIN: "XBIN" and a byte 26; the width and height (16 bits each, low byte
// first); the font's height (1 to 32 rows); flags (bit 0 a palette follows,
// bit 1 a font, bit 2 the image is compressed, bit 3 attribute bit 7 is a
// bright background instead of blink, bit 4 the font has 512 glyphs); then
// the palette (16 colours of three 6-bit registers), the font (256 or 512
// glyphs, a byte a row) and the character and attribute pairs, raw or in
// runs. Each run begins with a byte whose top two bits tell its kind and
// whose low six bits are its length less one (1 to 64 cells): 00 that many
// pairs; 01 one character, then that many attributes; 10 one attribute,
// then that many characters; 11 one pair for every cell. Runs go on from
// one row into the next.
#pragma once

#include <string_view>

#include "ansi/art.h"

// Reads Data (the file without its SAUCE record and comments) onto Art's
// canvas, with its palette and font: cells take the palette's colours as
// their own unless it is the PC's; without a font of its own the piece is
// drawn with the standard font of the header's height (0 there: 16). In a
// font of 512 glyphs attribute bit 3 picks the second 256 (and still
// brightens the foreground); such a piece must carry its font. A run cut
// short, or data that stops before every cell is drawn, is a damaged file.
// Answers false with the problem when Data cannot be drawn.
bool ReadXBin(std::string_view data, Art& art, ArtProblem& problem);
