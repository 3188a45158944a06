// PCBoard (PCB): text in code page 437 with the board's @ codes: "@X" and
// two hex digits (0-9, A-F) set the attribute, background first; "@CLS@"
// clears the page; "@POS:n@" moves the cursor to column n of its row. Any
// other "@" is not drawn. A line feed begins the next row, a carriage
// return does nothing, a tab moves eight columns on, a byte 26 ends the
// art; every other byte, escape included, is a character. Attribute bit 7
// is a bright background.
#pragma once

#include <string_view>

#include "ansi/art.h"

// Reads Data (the file without its SAUCE record and comments) onto Art's
// canvas, 80 columns wide unless the record gives more. A character in the
// last column leaves the cursor there until the next one comes, so a line
// end right after a full row adds no empty row, as in an ANSI piece. "@X"
// before two characters that are not hex digits is a damaged file. Answers
// false with the problem when Data cannot be drawn.
bool ReadPcBoard(std::string_view data, Art& art, ArtProblem& problem);
