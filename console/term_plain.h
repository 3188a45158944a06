// Plain lines: what a reader gets whose terminal takes no escape codes (a
// teletype, a board's caller without ANSI, a screen reader that follows a
// terminal line by line). Nothing is drawn at a place: the screen's rows are
// sent as lines of plain ASCII, CR LF, when the program waits for the
// reader, and only the rows that changed since they were last sent.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/conapi.h"

namespace termplain {

// The bytes a plain reader is sent for Text (code page 437): every glyph
// its ASCII look-alike, a line end ("\n", "\r\n" or a lone "\r") as CR LF,
// a tab as spaces to the next multiple of eight; nothing below 32 but CR
// and LF is ever sent.
std::string Bytes(std::string_view text);

// One row of cells as plain text: look-alikes, trailing blanks cut.
std::string RowText(const conapi::Cell* row, int cols);

// What has been sent of the screen, row by row.
class Teller {
public:
    // The lines of the rows First..Last (0-based, inclusive) that changed
    // since they were last told, as bytes to send; blank rows between two of
    // them become one empty line, blank rows at either end none. Every row of
    // the screen counts as told afterwards, those outside First..Last
    // included: a caller tells what it wants said and speaks for the rest.
    std::string Changed(const conapi::Cell* cells, int rows, int first, int last);
    // Everything counts as untold: the next Changed tells the whole screen.
    void Forget();

private:
    std::vector<std::string> told_;
};

}  // namespace termplain
