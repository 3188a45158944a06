// The rules an issue's screens and pieces must keep, as functions: the
// content checker runs them on an issue's files, the unit tests on hand-made
// good and bad inputs to prove that each rule can fail.
//
// Screens are judged by drawing them with the program's own renderer on the
// memory console, so a rule holds for what a reader will see, not for what
// a second parser of ours believes the bytes mean. The places a backdrop
// must leave blank are the section table's (issue/sections.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ansi/ansi_renderer.h"
#include "console/con_memory.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "ansi/marker_runs.h"

namespace contentrules {


// One line per problem, "NAME: what is wrong".
using Problems = std::vector<std::string>;



// A rectangle of the screen, 1-based and inclusive.
struct Box {
    int Left, Top, Right, Bottom;
};



// Where the program draws over a backdrop, so the backdrop must leave the
// place empty: the menus of each section, the refusal line of the main
// menu (row 22 from column 12) and the text viewer's window of the framed
// pages (rows 5..22, the whole width).
std::vector<Box> BoxesOf(std::string_view name);

bool IsHeader(std::string_view name);



// --- Drawing a screen and noticing a scroll ---------------------------------
//
// The memory console counts the scrolls of its cells, and the only thing
// that scrolls them is the character writer going on past the last row (a
// line feed on row 25, or a character in the last cell of row 25): a
// drawing scrolled if the count moved, whatever it cleared before or after.
// SelfTest proves on every run that a scroll is counted and a quiet screen
// is not, so a change in the screen object cannot make this check pass
// silently.
class ScreenDrawer {
public:
    // Draws Bytes on a fresh 80x25 memory console from (1,1) with attribute
    // 7, without pauses and with no key waiting. The cells stay for the
    // caller to read (memcon::CellAt, CharAt). Answers whether the drawing
    // scrolled after its last clear.
    bool Draw(std::string_view bytes) const { return DrawFrom(bytes, 1, 1); }

    // The same, with the cursor standing at (Col, Row) of the cleared
    // screen when the drawing begins, as a backdrop drawn after a wipe
    // that leaves the cursor where it was.
    bool DrawFrom(std::string_view bytes, int col, int row) const {
        memcon::Reset(25);
        InitConsole();
        SetTextAttr(7);
        GotoXY(col, row);
        const uint64_t before = memcon::ScrollCalls();
        ShowAnsiBytes(bytes, 0);
        return memcon::ScrollCalls() != before;
    }

    // Draws Bytes from (1,1) pausing before every byte the renderer takes
    // from the file, and answers where the cursor stood at each pause (its
    // column may be 81: the wrap of row 24 waits for the next character).
    // The pauses come in the order of the bytes that are read from the
    // file in the renderer's main loop: the two digits of a pipe code, and
    // bytes it gives back, are read without one.
    std::vector<std::pair<int, int>> CursorTrace(std::string_view bytes) const {
        std::vector<std::pair<int, int>> trace;
        memcon::Reset(25);
        InitConsole();
        SetTextAttr(7);
        GotoXY(1, 1);
        memcon::OnSleep([&trace] { trace.emplace_back(WhereX(), WhereY()); });
        ShowAnsiBytes(bytes, 1);
        memcon::OnSleep(nullptr);
        return trace;
    }

    // Whether drawing Bytes scrolls the screen at any moment. The cells
    // left behind are those of the whole drawing.
    bool Scrolls(std::string_view bytes) const { return Draw(bytes); }

    // Proves that a scroll is noticed and a quiet screen is not.
    bool SelfTest() const {
        const auto quiet = Scrolls("\x1b[2J\x1b[25;79Hx");
        const auto lastCell = Scrolls("\x1b[25;80Hx\x1b[2J");
        const auto lineFeeds = Scrolls(std::string(25, '\n'));
        const auto afterAClear = Scrolls("\x0c" + std::string(25, '\n'));
        return !quiet && lastCell && lineFeeds && afterAClear;
    }
};



// --- The rules ---------------------------------------------------------------

// A screen never scrolls and never writes the last cell of row 25.
Problems CheckFits(const ScreenDrawer& drawer, std::string_view name, std::string_view bytes);



// What is drawn of a screen (up to its end-of-text mark) does not stop in
// the middle of an escape sequence, as a file cut short does: the renderer
// would drop the sequence half read. The renderer itself is asked: a
// sequence that puts "Z" into the first cell is drawn after the screen,
// and only a renderer that was back on plain text takes it as a sequence
// (inside one, its ESC ends the one begun and the rest shows as text).
Problems CheckEnding(const ScreenDrawer& drawer, std::string_view name, std::string_view bytes);



// A piece's SAUCE record, when it has one: each fault the reader finds,
// and a width larger than the gallery pans over.
Problems CheckSauce(std::string_view name, std::string_view bytes);



// The cells of Box after the last drawing hold only blanks (space or
// character 0) on a black background.
Problems CheckBoxClear(std::string_view name, const Box& box);



// --- Where each character of a screen lands --------------------------------
//
// The renderer is asked where the cursor stands before each byte it reads
// (ScreenDrawer::CursorTrace); the bytes are sorted here into what they do
// by following the renderer's own reading: a "|" reads two more bytes and
// gives them back when they are no colour code, an ESC "[" begins a
// sequence that its first byte outside digits, ";" and "?" ends.
enum class Did {
    Glyph,   // a character drawn into a cell
    Colour,  // a colour change (ESC[...m, a pipe code) or a byte that does nothing
    LineEnd, // LF
    Return,  // CR
    Move,    // any other cursor move or clear (FF, tab, BS, ESC[...H and the like)
};

struct Step {
    std::size_t Offset;  // of the byte that ends the step (a sequence's final byte)
    Did What;
    int Col = 0, Row = 0;  // where the cursor stood before it; 0 when not known
    int PlacedRow = 0;     // for ESC[row;colH and ESC[row;colf: the row asked for
};

std::vector<Step> StepsOf(const ScreenDrawer& drawer, std::string_view bytes);



// One fault of a screen and the byte that causes it.
struct Finding {
    std::size_t Offset;
    std::string What;
};

using Findings = std::vector<Finding>;



// A twin has no way to fill column 80 of a row but to go straight on with
// the next row's characters, without a line end (the screen generator
// writes its full rows so). The bytes of a row of 81 characters are the
// same as those of a full row followed by a row of one, so the rule reads
// the file's habit: a run of at most this many characters after a full row
// is a row too wide, unless the file also runs a full row on into a longer
// next row elsewhere, which shows that it runs rows on on purpose.
constexpr int kOverflowColumns = 8;



// A character that lands past column 80 of its row: the row wraps, and the
// line end after it (or the next character) is one row lower than meant.
Findings CheckRowWidths(const std::vector<Step>& steps);



// Art saved with every row 80 columns wide and a line end after it: the
// 80th character already moved the cursor to the next row, so each line end
// leaves an empty row (row 24 waits with its wrap, so its line end is
// fine). One such line can be a full row above an empty one; two lines in
// a row are the double spacing a reader sees.
Findings CheckFullRowLineEnds(const std::vector<Step>& steps, std::string_view bytes);



// Whether two drawings left the same cells on the first 25 rows.
bool SameCells(const std::vector<conapi::Cell>& a, const std::vector<conapi::Cell>& b);

std::vector<conapi::Cell> Cells();



// The offset of the last byte of the first line of Bytes (lines end after
// each LF) whose drawing, with the lines above it, shows what Shows looks
// for; Shows must hold for the whole file. A halving search over the line
// ends: what a drawing has come to show seldom goes away again, and one
// drawing per line would take long on a big file.
std::size_t FirstLineShowing(std::string_view bytes, const std::function<bool(std::string_view)>& shows);



// Where the cursor stands in the second drawing of CheckHomed: not home,
// not on an edge.
constexpr int kAwayCol = 40, kAwayRow = 12;



// A backdrop is drawn from wherever the cursor stands (a wipe may leave it
// anywhere): drawn from home and from the middle of the screen, it must
// look the same. Answers the end of the first line after which the two
// differ, or nothing.
Findings CheckHomed(const ScreenDrawer& drawer, std::string_view bytes);



// A twin is plain 7-bit text with pipe codes: printable ASCII, CR, LF and
// the end-of-text mark, and above all no ESC. A form feed may come first,
// to clear the screen and home the cursor before the twin is drawn.
Problems CheckTwinBytes(std::string_view name, std::string_view bytes);



// The article header screens carry exactly five single field markers.
// The program looks for markers on the header screen alone (it scans the
// screen right after drawing the header on a cleared screen), so a "!" on
// any other screen or piece is a plain character.
Problems CheckMarkerCount(std::string_view name, std::string_view bytes);



// After drawing a header screen, the program's own scan finds five runs of
// one "!" each: title, author, category, and the viewer window's corners;
// the top-left corner stands in column 1 and the bottom-right one below and
// to the right of it.
Problems CheckHeaderFields(std::string_view name);



// The rules of where a screen's characters land, with the byte of each
// fault: rows wider than the screen, art saved double-spaced, and screens
// that depend on where the cursor stood. (Pieces are drawn by the gallery's
// own rules, CheckPiece: from the top left corner, and a line end after a
// full row ends that row.)
Findings CheckLayout(const ScreenDrawer& drawer, std::string_view bytes);



// A gallery piece in any format, drawn as the gallery draws it: what it
// cannot draw, with the byte at fault; a piece taller than the gallery's
// rows or wider than it pans; a SAUCE record whose faults the reader finds,
// or whose width or lines the art contradicts. Text says whether the piece
// is of a text format (its offsets are best told as lines).
Findings CheckPiece(const ScreenDrawer& drawer, std::string_view fileName, std::string_view bytes, int width,
                           bool& text);

}  // namespace contentrules
