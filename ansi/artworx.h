// Artworx (ADF): a version byte; a palette of the VGA's 64 colour
// registers (three 6-bit values each), of which the sixteen attribute
// colours are the EGA's picks (0 to 5, 20, 7 and 56 to 63); a font of 256
// glyphs of 16 rows; then character and attribute pairs, 80 columns wide,
// a last row drawn as far as its pairs go. Attribute bit 7 is a bright
// background.
#pragma once

#include <string_view>

#include "ansi/art.h"

// Reads Data (the file without its SAUCE record and comments) onto Art's
// canvas, with its palette (the cells' own colours unless it is the PC's)
// and its font. Answers false with the problem when Data cannot be drawn.
bool ReadArtworx(std::string_view data, Art& art, ArtProblem& problem);
