// A binary screen (BIN): character and attribute pairs, row after row, as
// the text screen's memory holds them. 160 columns unless a record of
// binary text gives another width (its file type is half the width). A last
// row the pairs do not fill is drawn as far as they go.
#pragma once

#include <string_view>

#include "ansi/art.h"

// Reads Data (the file without its SAUCE record and comments) onto Art's
// canvas, with what the record (Art.Record) says of its width and colours:
// attribute bit 7 is a bright background only where the record's iCE flag
// says so, and blink otherwise. Answers false with the problem when Data
// cannot be drawn.
bool ReadBinaryText(std::string_view data, Art& art, ArtProblem& problem);
