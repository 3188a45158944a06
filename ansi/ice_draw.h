// iCE Draw (IDF): a 12-byte header (a byte 4, the version such as "1.4",
// then the box the picture fills, x1, y1, x2, y2, 16 bits each, low byte
// first: the picture is x2 + 1 columns wide), character and attribute pairs
// row after row, where the pair of character 1 and attribute 0 begins a run
// (its count's low byte, a byte the scene's renderers ignore, then the pair
// drawn that many times), and at the end a font of 256 glyphs of 16 rows
// and a palette of 16 colours of three 6-bit registers. Attribute bit 7 is
// a bright background.
#pragma once

#include <string_view>

#include "ansi/art.h"

// Reads Data (the file without its SAUCE record and comments) onto Art's
// canvas, with its palette (the cells' own colours unless it is the PC's)
// and its font. The pairs are drawn as far as they go, however many rows
// the box gives. Answers false with the problem when Data cannot be drawn.
bool ReadIceDraw(std::string_view data, Art& art, ArtProblem& problem);
