// TundraDraw (TND): a byte 24 and "TUNDRA24", then a stream of bytes drawn
// in the current colours, 80 columns to a row (or the record's width),
// with four commands among them: 1 moves the cursor (row, then column, 0
// first, 32 bits each, high byte first); 2 sets the foreground (the
// character to draw, then the colour as 32 bits 0x00RRGGBB, high byte
// first); 4 the background the same way; 6 both (the character, the
// foreground, the background). Every other byte, line ends and byte 26
// included, is a character. The colours begin black on black.
#pragma once

#include <string_view>

#include "ansi/art.h"

// Reads Data (the file without its SAUCE record and comments) onto Art's
// canvas: every cell has its colours as its own. A command cut short, or a
// cursor placed outside the page, is a damaged file. Answers false with
// the problem when Data cannot be drawn.
bool ReadTundra(std::string_view data, Art& art, ArtProblem& problem);
