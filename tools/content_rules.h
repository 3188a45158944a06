// The rules the issue's content must keep, as functions: the content check
// tool runs them on the embedded resources, the unit tests run them on
// hand-made good and bad inputs to prove that each rule can fail.
//
// Screens are judged by drawing them with the program's own renderer on the
// memory console, so a rule holds for what a reader will see, not for what
// a second parser of ours believes the bytes mean.
//
// Header-only on purpose: the check tool's build target compiles one source
// file, and the unit tests include the same functions.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ansi/ansi_renderer.h"
#include "ansi/canvas.h"
#include "ansi/sauce.h"
#include "app/articles.h"
#include "app/issue.h"
#include "console/con_memory.h"
#include "console/m_Console.h"
#include "issue/layout.h"

namespace contentrules {

// One line per problem, "NAME: what is wrong".
using Problems = std::vector<std::string>;

enum class Kind { Screen, Twin, Text, Module, Library };

struct CatalogueEntry {
    std::string Name;
    Kind Type;
};

// Every resource the program asks for: the screens every issue has, and
// the artworks, texts and modules its tables name. Screens with a twin are
// listed together with their NAME_ASC.
inline std::vector<CatalogueEntry> Catalogue() {
    std::vector<CatalogueEntry> all;
    auto listed = [&](const std::string& name) {
        for (const CatalogueEntry& entry : all)
            if (entry.Name == name) return true;
        return false;
    };
    auto screen = [&](const std::string& name, bool twin) {
        all.push_back({name, Kind::Screen});
        if (twin) all.push_back({name + "_ASC", Kind::Twin});
    };
    auto text = [&](const std::string& name) {
        if (!listed(name)) all.push_back({name, Kind::Text});  // two entries may share a text
    };
    screen("LOGO", true);
    screen("HELP", false);
    screen("EXIT", true);
    screen("MENU", true);
    screen("ARTICLES", true);
    screen("TUTORS", true);
    screen("ARTICLE_HDR", true);
    screen("ANSI", true);
    for (const GalleryPiece& piece : GalleryPieces) screen(Upper(piece.Resource), false);
    screen("ABOUT", true);
    screen("EDIT", true);
    for (const ArticleEntry& entry : ArticleEntries) text(Upper(entry.Resource));
    for (const ArticleEntry& entry : TutorEntries) text(Upper(entry.Resource));
    text("ABOUTTXT");
    text("EDITORIAL");
    for (const TrackEntry& track : TrackEntries)
        if (!listed(Upper(track.Module))) all.push_back({Upper(track.Module), Kind::Module});
    all.push_back({"SOUNDLIB", Kind::Library});
    return all;
}

// A rectangle of the screen, 1-based and inclusive.
struct Box {
    int Left, Top, Right, Bottom;
};

// Where the program draws over a backdrop, so the backdrop must leave the
// place empty: the menus of each section, the refusal line of the main
// menu (row 22 from column 12) and the text viewer's window of the framed
// pages (rows 5..22, the whole width).
inline std::vector<Box> BoxesOf(std::string_view name) {
    auto is = [&](std::string_view base) { return name == base || name == std::string(base) + "_ASC"; };
    if (is("MENU")) return {{53, 10, 69, 16}, {12, 22, 70, 22}};
    if (is("ARTICLES") || is("TUTORS")) return {{18, 14, 61, 20}};
    if (is("ANSI")) return {{53, 8, 70, 18}};
    if (is("ABOUT") || is("EDIT")) return {{1, 5, 80, 22}};
    return {};
}

inline bool IsHeader(std::string_view name) { return name == "ARTICLE_HDR" || name == "ARTICLE_HDR_ASC"; }

// --- Drawing a screen and noticing a scroll ---------------------------------
//
// How a scroll is seen. The screen object keeps a shadow copy of 50 rows of
// cells, of which an 80x25 screen uses the first 25. The rows below are
// touched by exactly two things: a scroll, which moves the whole shadow up
// one row, and a clear, which empties all of it. So a mark put into the last
// shadow row (row 50) before drawing has moved up into row 49 after the
// drawing if, and only if, the screen scrolled at least once since the last
// clear. Writing the last cell of row 25 always scrolls (the character
// writer moves on to a row that is not there), so it is caught the same way.
//
// A clear after a scroll would wipe the evidence. The renderer clears the
// screen only on the byte FF and on the final byte "J" of ESC[...J, so the
// file is also drawn cut short just before each such byte: the first scroll
// of a drawing is then followed by no clear within one of those cut
// drawings (or within the whole file when no clear follows it). A drawing
// cut short is a true beginning of the whole drawing: the renderer takes the
// bytes one by one and the cut only ends it early (a "|" that loses the two
// characters after it is drawn as a "|", just as it would have been, since a
// colour code never contains "J" or FF).
//
// SelfTest proves on every run that the mark really moves on a scroll, so a
// change in the screen object cannot make this check pass silently.

constexpr conapi::Cell kMark{0xA55A, 0x5AA5};  // no character writer makes this cell
constexpr int kShadowCols = 80;
constexpr int kShadowRows = 50;

inline void PlantMark() {
    for (int col = 0; col < kShadowCols; ++col) Screen->Buffer[(kShadowRows - 1) * kShadowCols + col] = kMark;
}

inline bool MarkMoved() {
    for (int col = 0; col < kShadowCols; ++col) {
        const conapi::Cell c = Screen->Buffer[(kShadowRows - 2) * kShadowCols + col];
        if (c.Char != kMark.Char || c.Attr != kMark.Attr) return false;
    }
    return true;
}

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
        PlantMark();
        ShowAnsiBytes(bytes, 0);
        return MarkMoved();
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
    bool Scrolls(std::string_view bytes) const {
        // Nothing after the end-of-text mark is ever drawn.
        const std::size_t sub = bytes.find('\x1a');
        const std::string_view drawn = sub == std::string_view::npos ? bytes : bytes.substr(0, sub);
        bool scrolled = false;
        for (std::size_t p = 0; p < drawn.size() && !scrolled; ++p) {
            if (!MayClear(drawn, p)) continue;
            scrolled = Draw(drawn.substr(0, p));
        }
        return Draw(bytes) || scrolled;
    }

    // Whether the byte at Pos can clear the screen: FF, or a "J" that can
    // end a sequence, ESC "[" and parameter characters right before it. A
    // "J" of plain text clears nothing, so no drawing needs to stop there
    // (a text full of them would otherwise be drawn once per letter).
    static bool MayClear(std::string_view bytes, std::size_t pos) {
        if (bytes[pos] == '\x0c') return true;
        if (bytes[pos] != 'J') return false;
        std::size_t at = pos;
        while (at > 0 &&
               ((bytes[at - 1] >= '0' && bytes[at - 1] <= '9') || bytes[at - 1] == ';' || bytes[at - 1] == '?'))
            --at;
        return at >= 2 && bytes[at - 1] == '[' && bytes[at - 2] == '\x1b';
    }

    // Proves that a scroll is noticed and a quiet screen is not.
    bool SelfTest() const {
        const auto quiet = Scrolls("\x1b[2J\x1b[25;79Hx");
        const auto lastCell = Scrolls("\x1b[25;80Hx\x1b[2J");
        const auto lineFeeds = Scrolls(std::string(25, '\n'));
        return !quiet && lastCell && lineFeeds;
    }
};

// --- The rules ---------------------------------------------------------------

// A screen never scrolls and never writes the last cell of row 25.
// A gallery piece may be taller than the screen, as scene art often is: it
// scrolls as it is drawn, and only the screens of the issue must fit.
inline bool IsPiece(std::string_view name) {
    for (const GalleryPiece& piece : GalleryPieces)
        if (Upper(piece.Resource) == name) return true;
    return false;
}

inline Problems CheckFits(const ScreenDrawer& drawer, std::string_view name, std::string_view bytes) {
    if (drawer.Scrolls(bytes))
        return {std::string(name) +
                ": scrolls the screen while drawing (a line feed on row 25, or a character in the last cell "
                "of row 25): it does not fit 80x25"};
    return {};
}

// What is drawn of a screen (up to its end-of-text mark) does not stop in
// the middle of an escape sequence, as a file cut short does: the renderer
// would drop the sequence half read. The renderer itself is asked: a
// sequence that puts "Z" into the first cell is drawn after the screen,
// and only a renderer that was back on plain text takes it as a sequence
// (inside one, its ESC ends the one begun and the rest shows as text).
inline Problems CheckEnding(const ScreenDrawer& drawer, std::string_view name, std::string_view bytes) {
    const std::string_view drawn = bytes.substr(0, bytes.find('\x1a'));
    drawer.Draw(std::string(drawn) + "\x1b[1;1HZ");
    if (CharAt(1, 1) == 'Z') return {};
    return {std::string(name) + ": ends inside an escape sequence (the file was cut short?)"};
}

// The record's width and lines against the art as the gallery draws it,
// at the record's width: art longer than its record says, a record that
// promises more rows than the art draws (one blank row after the last is
// the usual count of a screen-sized piece), or more than 80 columns where
// nothing is drawn past the 80th. (Art drawn wider than its record cannot
// be told from its bytes: a full row wraps by itself, as it does on the
// screen.)
inline Problems CheckSauceAgainstArt(std::string_view name, std::string_view bytes, const Sauce& sauce) {
    if (!sauce.Present) return {};
    Problems out;
    const std::string what = std::string(name) + ": SAUCE record: ";
    TCanvas page(sauce.Width > 0 ? sauce.Width : TCanvas::MinCols);
    DrawAnsiOnCanvas(bytes.substr(0, sauce.ArtEnd), page);  // a record without its byte 26 is named apart
    if (sauce.Lines > 0 && (page.Rows() > sauce.Lines || sauce.Lines > page.Rows() + 1))
        out.push_back(what + "it says " + std::to_string(sauce.Lines) + " lines, but the art draws " +
                      std::to_string(page.Rows()) + " rows");
    if (sauce.Width > TCanvas::MinCols && sauce.Width <= issue::PieceMaxWidth &&
        page.WidestColumn() <= TCanvas::MinCols)
        out.push_back(what + "it says " + std::to_string(sauce.Width) +
                      " columns, but the art draws nothing past the 80th: the gallery pans over an empty part");
    return out;
}

// A piece's SAUCE record, when it has one: each fault the reader finds,
// and a width or a number of lines larger than the gallery shows.
inline Problems CheckSauce(std::string_view name, std::string_view bytes) {
    Problems out;
    const Sauce sauce = ReadSauce(bytes);
    for (const std::string& fault : sauce.Faults) out.push_back(std::string(name) + ": SAUCE record: " + fault);
    if (sauce.Width > issue::PieceMaxWidth)
        out.push_back(std::string(name) + ": SAUCE record: the width is " + std::to_string(sauce.Width) +
                      " columns, but a piece is at most " + std::to_string(issue::PieceMaxWidth) + " wide");
    if (sauce.Lines > issue::PieceMaxRows)
        out.push_back(std::string(name) + ": SAUCE record: the piece is " + std::to_string(sauce.Lines) +
                      " lines long, but a piece has at most " + std::to_string(issue::PieceMaxRows));
    const Problems drawn = CheckSauceAgainstArt(name, bytes, sauce);
    out.insert(out.end(), drawn.begin(), drawn.end());
    return out;
}

// The cells of Box after the last drawing hold only blanks (space or
// character 0) on a black background.
inline Problems CheckBoxClear(std::string_view name, const Box& box) {
    int dirty = 0;
    std::string first;
    for (int row = box.Top; row <= box.Bottom; ++row)
        for (int col = box.Left; col <= box.Right; ++col) {
            const conapi::Cell c = memcon::CellAt(col - 1, row - 1);
            const uint16_t ch = c.Char & 0xFF;
            const bool blank = ch == ' ' || ch == 0;
            const bool blackBack = (c.Attr & 0xF0) == 0;
            if (blank && blackBack) continue;
            if (dirty++ == 0)
                first = "column " + std::to_string(col) + " row " + std::to_string(row) + " holds " +
                        (blank ? std::string("a blank") : "character " + std::to_string(ch)) + " with attribute " +
                        std::to_string(c.Attr);
        }
    if (dirty == 0) return {};
    return {std::string(name) + ": the area columns " + std::to_string(box.Left) + ".." + std::to_string(box.Right) +
            " rows " + std::to_string(box.Top) + ".." + std::to_string(box.Bottom) + " must stay blank on black, but " +
            std::to_string(dirty) + " cell(s) do not (first: " + first + ")"};
}

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

inline std::vector<Step> StepsOf(const ScreenDrawer& drawer, std::string_view bytes) {
    const std::vector<std::pair<int, int>> trace = drawer.CursorTrace(bytes);
    std::vector<Step> steps;
    enum class State { Text, Escape, Params } state = State::Text;
    std::string params;
    std::size_t next = 0, pause = 0;
    std::vector<std::size_t> given;  // offsets given back, the last one read first
    int col = 1, row = 1;            // where the cursor stands; 0 when not known
    auto advance = [&] {             // after a character drawn at (col, row)
        if (col == 0) return;
        if (col < 80) ++col;
        else if (col == 80 && row == 24) col = 81;
        else col = 1, row = std::min(25, row + 1);
    };
    auto take = [&](std::size_t& at, bool& paused) {
        paused = false;
        if (!given.empty()) {
            at = given.back();
            given.pop_back();
            return true;
        }
        if (next >= bytes.size()) return false;
        at = next++;
        return true;
    };
    // One byte of the file, as the interpreter takes it.
    auto feed = [&](std::size_t at) {
        const char ch = bytes[at];
        const auto u = static_cast<unsigned char>(ch);
        Step step{at, Did::Colour, col, row};
        if (state == State::Text) {
            if (ch == '\x1b') {
                state = State::Escape;
                return;
            }
            if (ch == '\n') step.What = Did::LineEnd;
            else if (ch == '\r') step.What = Did::Return;
            else if (ch == 0) step.What = Did::Colour;
            else if (ch == '\t' || ch == '\b' || ch == '\x0c') step.What = Did::Move;
            else step.What = Did::Glyph;
        } else if (state == State::Escape) {
            state = ch == '[' ? State::Params : State::Text;
            params.clear();
            return;
        } else if ((ch >= '0' && ch <= '9') || ch == ';' || ch == '?') {
            params += ch;
            return;
        } else {
            state = State::Text;
            if (u >= '0' && ch != 'm') step.What = Did::Move;
            if (ch == 'H' || ch == 'f') step.PlacedRow = params.empty() || params[0] == ';' ? 1 : std::atoi(params.c_str());
        }
        steps.push_back(step);
        if (step.What == Did::Glyph) advance();
        else if (step.What != Did::Colour) col = row = 0;
    };
    while (true) {
        std::size_t at = 0;
        bool unused = false;
        const bool fromFile = given.empty();
        if (!take(at, unused)) break;
        if (fromFile) {
            if (pause < trace.size()) {
                col = trace[pause].first;
                row = trace[pause].second;
            }
            ++pause;
        }
        if (bytes[at] == '\x1a') break;
        if (bytes[at] != '|') {
            feed(at);
            continue;
        }
        std::size_t c1 = 0, c2 = 0;
        if (!take(c1, unused) || !take(c2, unused)) {
            feed(at);
            break;
        }
        const char d1 = bytes[c1], d2 = bytes[c2];
        if (d1 >= '0' && d1 <= '9' && d2 >= '0' && d2 <= '9' && (d1 - '0') * 10 + (d2 - '0') <= 23) {
            if (state == State::Text) steps.push_back({at, Did::Colour, col, row});
            continue;
        }
        feed(at);
        given.push_back(c2);
        given.push_back(c1);
    }
    return steps;
}

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
inline Findings CheckRowWidths(const std::vector<Step>& steps) {
    Findings out;
    bool runsOn = false;  // a full row goes straight on into a longer next row
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& full = steps[i];
        if (full.What != Did::Glyph || full.Col != 80 || full.Row >= 25) continue;
        std::size_t k = i + 1;
        while (k < steps.size() && steps[k].What == Did::Colour) ++k;
        if (k == steps.size() || steps[k].What != Did::Glyph) continue;
        const std::size_t first = k;
        int width = 0;
        for (; k < steps.size() && (steps[k].What == Did::Glyph || steps[k].What == Did::Colour); ++k)
            if (steps[k].What == Did::Glyph) ++width;
        if (width > kOverflowColumns) {
            runsOn = true;
            continue;
        }
        out.push_back({steps[first].Offset,
                       "row " + std::to_string(full.Row) + " is " + std::to_string(80 + width) +
                           " columns wide: the 81st character wraps onto row " + std::to_string(full.Row + 1) +
                           " and every row below moves down"});
        i = k - 1;
    }
    if (runsOn) return {};
    return out;
}

// Art saved with every row 80 columns wide and a line end after it: the
// 80th character already moved the cursor to the next row, so each line end
// leaves an empty row (row 24 waits with its wrap, so its line end is
// fine). One such line can be a full row above an empty one; two lines in
// a row are the double spacing a reader sees.
inline Findings CheckFullRowLineEnds(const std::vector<Step>& steps, std::string_view bytes) {
    std::vector<std::size_t> lineEnds;  // offsets of line ends right after a full row
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].What != Did::Glyph || steps[i].Col != 80 || steps[i].Row >= 24) continue;
        std::size_t k = i + 1;
        while (k < steps.size() && (steps[k].What == Did::Colour || steps[k].What == Did::Return)) ++k;
        if (k < steps.size() && steps[k].What == Did::LineEnd) lineEnds.push_back(steps[k].Offset);
    }
    for (std::size_t i = 0; i + 1 < lineEnds.size(); ++i) {
        const auto line = std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(lineEnds[i]), '\n');
        const auto nextLine =
            std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(lineEnds[i + 1]), '\n');
        if (nextLine != line + 1) continue;
        return {{lineEnds[i],
                 "the line ends after a full 80-column row, and so does the next: the 80th character already "
                 "moved the cursor to the next row, so every such line end leaves an empty row and the art is "
                 "shown double-spaced"}};
    }
    return {};
}

// ESC[row;colH with a row below the screen: the renderer puts the cursor
// on row 25 instead, so everything placed that way lands on row 25.
inline Findings CheckPlacedRows(const std::vector<Step>& steps) {
    for (const Step& step : steps)
        if (step.PlacedRow > issue::PieceMaxRows)
            return {{step.Offset, "places the cursor on row " + std::to_string(step.PlacedRow) +
                                      " with ESC[row;colH, but a piece has at most " +
                                      std::to_string(issue::PieceMaxRows) +
                                      " rows: the gallery shows nothing placed below its last one"}};
    return {};
}

// Whether two drawings left the same cells on the first 25 rows.
inline bool SameCells(const std::vector<conapi::Cell>& a, const std::vector<conapi::Cell>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].Char != b[i].Char || a[i].Attr != b[i].Attr) return false;
    return true;
}

inline std::vector<conapi::Cell> Cells() {
    std::vector<conapi::Cell> cells;
    for (int row = 0; row < 25; ++row)
        for (int col = 0; col < 80; ++col) cells.push_back(memcon::CellAt(col, row));
    return cells;
}

// The offset of the last byte of the first line of Bytes (lines end after
// each LF) whose drawing, with the lines above it, shows what Shows looks
// for; Shows must hold for the whole file. A halving search over the line
// ends: what a drawing has come to show seldom goes away again, and one
// drawing per line would take long on a big file.
inline std::size_t FirstLineShowing(std::string_view bytes, const std::function<bool(std::string_view)>& shows) {
    std::vector<std::size_t> ends;  // drawing up to each line end, the last one the whole file
    for (std::size_t end = bytes.find('\n'); end != std::string_view::npos; end = bytes.find('\n', end + 1))
        ends.push_back(end + 1);
    ends.push_back(bytes.size());
    std::size_t lo = 0, hi = ends.size() - 1;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (shows(bytes.substr(0, ends[mid])))
            hi = mid;
        else
            lo = mid + 1;
    }
    return ends[lo] - 1;
}

// Where the cursor stands in the second drawing of CheckHomed: not home,
// not on an edge.
constexpr int kAwayCol = 40, kAwayRow = 12;

// A backdrop is drawn from wherever the cursor stands (a wipe may leave it
// anywhere): drawn from home and from the middle of the screen, it must
// look the same. Answers the end of the first line after which the two
// differ, or nothing.
inline Findings CheckHomed(const ScreenDrawer& drawer, std::string_view bytes) {
    auto differs = [&](std::string_view part) {
        drawer.DrawFrom(part, 1, 1);
        const std::vector<conapi::Cell> home = Cells();
        drawer.DrawFrom(part, kAwayCol, kAwayRow);
        return !SameCells(home, Cells());
    };
    if (!differs(bytes)) return {};
    return {{FirstLineShowing(bytes, differs), "looks different when the cursor does not stand at the top-left corner as it begins (it "
                           "was drawn from column " + std::to_string(kAwayCol) + " row " + std::to_string(kAwayRow) +
                               " as well): the menus draw a backdrop wherever the wipe before it left the cursor"}};
}

// A twin is plain 7-bit text with pipe codes: printable ASCII, CR, LF and
// the end-of-text mark, and above all no ESC. A form feed may come first,
// to clear the screen and home the cursor before the twin is drawn.
inline Problems CheckTwinBytes(std::string_view name, std::string_view bytes) {
    Problems out;
    std::size_t esc = 0, high = 0, control = 0;
    std::size_t firstBad = std::string_view::npos;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool allowed = (b >= 32 && b <= 126) || b == '\r' || b == '\n' || b == 26 || (b == 12 && i == 0);
        if (allowed) continue;
        if (firstBad == std::string_view::npos) firstBad = i;
        if (b == 27)
            ++esc;
        else if (b >= 128)
            ++high;
        else
            ++control;
    }
    if (esc)
        out.push_back(std::string(name) + ": holds " + std::to_string(esc) +
                      " ESC byte(s); a twin draws with pipe codes only");
    if (high)
        out.push_back(std::string(name) + ": holds " + std::to_string(high) + " byte(s) above 127; a twin is 7-bit");
    if (control)
        out.push_back(std::string(name) + ": holds " + std::to_string(control) +
                      " control byte(s) other than CR, LF, SUB and a first FF (first at offset " + std::to_string(firstBad) + ")");
    return out;
}

// The article header screens carry exactly five single field markers.
// The program looks for markers on the header screen alone (it scans the
// screen right after drawing the header on a cleared screen), so a "!" on
// any other screen or piece is a plain character.
inline Problems CheckMarkerCount(std::string_view name, std::string_view bytes) {
    if (!IsHeader(name)) return {};
    std::size_t count = 0;
    for (char c : bytes)
        if (c == '!') ++count;
    if (count == 5) return {};
    return {std::string(name) + ": holds " + std::to_string(count) +
            " \"!\" byte(s), wanted exactly 5 (the header's field markers)"};
}

// After drawing a header screen, the program's own scan finds five runs of
// one "!" each: title, author, category, and the viewer window's corners;
// the top-left corner stands in column 1 and the bottom-right one below and
// to the right of it.
inline Problems CheckHeaderFields(std::string_view name) {
    ScanHeaderFields('!', ' ');
    const std::vector<TCoord> fields = HeaderFields;
    ClearHeaderFields();
    const std::string n(name);
    if (fields.size() != 5)
        return {n + ": the drawn header shows " + std::to_string(fields.size()) + " \"!\" run(s), wanted 5"};
    Problems out;
    // In a field record: X column, Y row, Width attribute, Height length.
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].Height != 1)
            out.push_back(n + ": header field " + std::to_string(i) + " at column " + std::to_string(fields[i].X) +
                          " row " + std::to_string(fields[i].Y) + " is " + std::to_string(fields[i].Height) +
                          " markers long, wanted 1");
    const TCoord& top = fields[3];
    const TCoord& bottom = fields[4];
    if (top.X != 1)
        out.push_back(n + ": the window's top-left marker (field 3) is in column " + std::to_string(top.X) +
                      ", wanted column 1");
    if (bottom.Y <= top.Y || bottom.X <= top.X)
        out.push_back(n + ": the window's bottom-right marker (field 4, column " + std::to_string(bottom.X) + " row " +
                      std::to_string(bottom.Y) + ") is not below and right of the top-left one (column " +
                      std::to_string(top.X) + " row " + std::to_string(top.Y) + ")");
    return out;
}

// Whether the "|" at Pos would be taken for a colour code other than the
// two-digit codes 00..23 the texts use: the viewer would then change the
// colour and hide the characters after it. A bar that begins no code is
// shown as it is and is fine.
inline bool StrayCodeAt(std::string_view text, std::size_t pos) {
    const std::string code(text.substr(pos + 1, 2));
    if (!IsPipeCode(code, PipeRule::WriteXYPipe)) return false;
    const bool twoDigits = code.size() == 2 && code[0] >= '0' && code[0] <= '9' && code[1] >= '0' && code[1] <= '9';
    return !(twoDigits && (code[0] - '0') * 10 + (code[1] - '0') <= 23);
}

// Texts for the viewer: 60..250 lines ended by LF, at most 79 characters a
// line with the colour codes counted (the viewer cuts each line after
// Width - 1 raw characters), 7-bit, no "!", and no "|" that reads as a
// colour code other than 00..23.
// MinLines is this issue's own house rule; another issue may ask less.
inline Problems CheckText(std::string_view name, std::string_view bytes, int kMinLines = 60) {
    constexpr int kMaxLines = 250;
    constexpr int kMaxWidth = 79;
    constexpr int kMaxReports = 5;  // per rule; the count says the rest
    const std::string n(name);
    Problems out;

    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t lf = bytes.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    if (static_cast<int>(lines.size()) < kMinLines || static_cast<int>(lines.size()) > kMaxLines)
        out.push_back(n + ": has " + std::to_string(lines.size()) + " lines, wanted " + std::to_string(kMinLines) +
                      ".." + std::to_string(kMaxLines));
    if (!bytes.empty() && bytes.back() != '\n') out.push_back(n + ": the last line has no LF");

    struct Rule {
        std::string what;
        int count = 0;
    };
    Rule cr{"ends with CR (line ends are LF only)"}, wide{"is longer than 79 characters, colour codes counted"},
        high{"holds a byte above 127 (texts are 7-bit)"}, control{"holds a control byte"},
        marker{"holds \"!\" (it marks header fields)"}, bar{"holds a \"|\" that reads as a colour code outside 00..23"};
    auto report = [&](Rule& rule, std::size_t line, const std::string& detail) {
        if (rule.count++ < kMaxReports)
            out.push_back(n + ": line " + std::to_string(line + 1) + " " + rule.what + detail);
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        bool sawHigh = false, sawControl = false, sawCr = false;
        for (std::size_t k = 0; k < line.size(); ++k) {
            const auto b = static_cast<unsigned char>(line[k]);
            if (b == '\r')
                sawCr = true;
            else if (b >= 128)
                sawHigh = true;
            else if (b < 32 || b == 127)
                sawControl = true;
        }
        if (sawCr) report(cr, i, "");
        if (sawHigh) report(high, i, "");
        if (sawControl) report(control, i, "");
        if (line.find('!') != std::string_view::npos) report(marker, i, "");
        for (std::size_t k = line.find('|'); k != std::string_view::npos; k = line.find('|', k + 1))
            if (StrayCodeAt(line, k)) {
                report(bar, i, " (column " + std::to_string(k + 1) + ")");
                break;
            }
        if (line.size() > static_cast<std::size_t>(kMaxWidth))
            report(wide, i, " (" + std::to_string(line.size()) + ")");
    }
    for (const Rule* rule : {&cr, &wide, &high, &control, &marker, &bar})
        if (rule->count > kMaxReports)
            out.push_back(n + ": " + std::to_string(rule->count - kMaxReports) + " more line(s) " + rule->what);
    return out;
}

// --- How long a module says it is --------------------------------------------
//
// The sound library plays a module cut short without a word: the patterns
// and samples that are gone are silence. So the checker adds up the sizes
// that a module's own headers give and compares them with the file.

namespace module_size {

// Little- and big-endian numbers at Pos; 0 beyond the end (the total then
// comes out larger than the file, which is what a cut file is).
inline uint64_t Le(std::string_view b, uint64_t pos, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | (pos + i < b.size() ? static_cast<unsigned char>(b[pos + i]) : 0u);
    return v;
}
inline uint64_t Be(std::string_view b, uint64_t pos, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | (pos + i < b.size() ? static_cast<unsigned char>(b[pos + i]) : 0u);
    return v;
}

// XM 1.04: a header whose size is given at offset 60; then each pattern
// (its header's size, then packed data whose size is in the header); then
// each instrument (its header's size; with samples, their headers of the
// size the instrument gives, then the samples' data).
// Counts beyond the format's limits (256 patterns, 128 instruments, 16
// samples to an instrument) or an instrument header shorter than its own
// fixed fields make no XM whose size can be told.
inline std::optional<uint64_t> Xm(std::string_view b) {
    if (b.size() < 80 || Le(b, 58, 2) != 0x0104) return std::nullopt;
    const uint64_t patterns = Le(b, 70, 2), instruments = Le(b, 72, 2);
    if (patterns > 256 || instruments > 128) return std::nullopt;
    uint64_t at = 60 + Le(b, 60, 4);
    for (uint64_t p = 0; p < patterns && at <= b.size(); ++p) at += Le(b, at, 4) + Le(b, at + 7, 2);
    for (uint64_t i = 0; i < instruments && at <= b.size(); ++i) {
        const uint64_t samples = Le(b, at + 27, 2);
        const uint64_t headerSize = samples > 0 ? Le(b, at + 29, 4) : 0;
        if (samples > 16 || Le(b, at, 4) < 29) return std::nullopt;
        at += Le(b, at, 4);
        uint64_t data = 0;
        for (uint64_t s = 0; s < samples; ++s) data += Le(b, at + s * headerSize, 4);
        at += samples * headerSize + data;
    }
    return at;
}

// MOD: 1084 bytes of header, a pattern of 64 rows for every number up to
// the highest in the order list, then the 31 samples (lengths in words).
inline std::optional<uint64_t> Mod(std::string_view b, int channels) {
    uint64_t highest = 0;
    for (uint64_t i = 0; i < 128; ++i) highest = std::max(highest, Le(b, 952 + i, 1));
    uint64_t samples = 0;
    for (uint64_t s = 0; s < 31; ++s) samples += 2 * Be(b, 20 + 30 * s + 22, 2);
    return 1084 + (highest + 1) * 64 * 4 * static_cast<uint64_t>(channels) + samples;
}

}  // namespace module_size

// The number of channels a MOD's signature at offset 1080 gives; 0 when
// it has none of the usual ones.
inline int ModChannels(std::string_view bytes) {
    if (bytes.size() < 1084) return 0;
    const std::string_view sig = bytes.substr(1080, 4);
    for (std::string_view four : {"M.K.", "M!K!", "4CHN", "FLT4"})
        if (sig == four) return 4;
    if (sig == "6CHN") return 6;
    if (sig == "8CHN" || sig == "FLT8") return 8;
    return 0;
}

// The size an XM or MOD module's headers add up to (as far as they are
// there: the walk through an XM stops where the file ends, so a cut file
// calls for at least that much); nullopt for another kind (or another
// version of XM), whose size is not checked.
inline std::optional<uint64_t> ModuleSize(std::string_view bytes) {
    if (bytes.substr(0, 17) == "Extended Module: ") return module_size::Xm(bytes);
    if (const int channels = ModChannels(bytes)) return module_size::Mod(bytes, channels);
    return std::nullopt;
}

// Says how much of the module is missing when it is shorter than its
// headers; nothing when it is whole or its size cannot be told.
inline std::optional<std::string> ModuleCutShort(std::string_view bytes) {
    const auto size = ModuleSize(bytes);
    if (!size || *size <= bytes.size()) return std::nullopt;
    return "is cut short: its headers call for at least " + std::to_string(*size) + " bytes, the file has " +
           std::to_string(bytes.size());
}

// A tracker module the sound library can read: an XM, or a MOD with one of
// the usual signatures at offset 1080; and all of it.
inline Problems CheckModule(std::string_view name, std::string_view bytes) {
    if (bytes.substr(0, 17) != "Extended Module: " && ModChannels(bytes) == 0)
        return {std::string(name) + ": is neither an XM nor a MOD module"};
    if (const auto cut = ModuleCutShort(bytes)) return {std::string(name) + ": " + *cut};
    return {};
}

// The sound library is a shared library of this platform.
inline Problems CheckLibrary(std::string_view name, std::string_view bytes) {
#ifdef _WIN32
    const bool ok = bytes.substr(0, 2) == "MZ";
#else
    const bool ok = bytes.substr(0, 4) == "\x7f"
                                          "ELF";
#endif
    if (ok) return {};
    return {std::string(name) + ": is not a shared library of this platform"};
}

// The rules of where a screen's characters land, with the byte of each
// fault: rows wider than the screen and screens that depend on where the
// cursor stood (not for pieces: the gallery clears the screen and homes
// the cursor before it draws one, and a piece may be taller than the
// screen, so its rows may wrap as they scroll); art saved double-spaced;
// and, in a piece, rows placed below the screen.
inline Findings CheckLayout(const ScreenDrawer& drawer, std::string_view bytes, bool piece) {
    Findings out;
    auto add = [&](Findings more) { out.insert(out.end(), more.begin(), more.end()); };
    const std::vector<Step> steps = StepsOf(drawer, bytes);
    if (!piece) add(CheckRowWidths(steps));
    add(CheckFullRowLineEnds(steps, bytes));
    if (piece) add(CheckPlacedRows(steps));
    if (!piece) add(CheckHomed(drawer, bytes));
    return out;
}

// All rules that concern one resource.
inline Problems CheckResource(const ScreenDrawer& drawer, const CatalogueEntry& entry, std::string_view bytes) {
    Problems out;
    auto add = [&](Problems more) { out.insert(out.end(), more.begin(), more.end()); };
    if (bytes.empty()) return {entry.Name + ": is empty"};
    switch (entry.Type) {
    case Kind::Twin: add(CheckTwinBytes(entry.Name, bytes)); [[fallthrough]];
    case Kind::Screen:
        add(CheckMarkerCount(entry.Name, bytes));
        add(CheckEnding(drawer, entry.Name, bytes));
        for (const Finding& f : CheckLayout(drawer, bytes, IsPiece(entry.Name))) out.push_back(entry.Name + ": " + f.What);
        if (!IsPiece(entry.Name)) add(CheckFits(drawer, entry.Name, bytes));  // leaves the whole drawing on the console
        if (IsPiece(entry.Name)) add(CheckSauce(entry.Name, bytes));
        for (const Box& box : BoxesOf(entry.Name)) add(CheckBoxClear(entry.Name, box));
        if (IsHeader(entry.Name)) add(CheckHeaderFields(entry.Name));
        break;
    case Kind::Text: add(CheckText(entry.Name, bytes)); break;
    case Kind::Module: add(CheckModule(entry.Name, bytes)); break;
    case Kind::Library: add(CheckLibrary(entry.Name, bytes)); break;
    }
    return out;
}

// Resources in the executable that the program never asks for: a file in
// the content folder under a wrong name shows up here (and as missing).
inline Problems CheckUncatalogued(const std::vector<std::string>& embeddedNames) {
    Problems out;
    const std::vector<CatalogueEntry> known = Catalogue();
    for (const std::string& name : embeddedNames) {
        if (Upper(name) == "ISSUE") continue;  // the manifest, read when the program starts
        bool listed = false;
        for (const CatalogueEntry& entry : known) listed = listed || entry.Name == Upper(name);
        if (!listed) out.push_back(name + ": embedded, but the program never asks for it (a misnamed file?)");
    }
    return out;
}

// The bytes of a resource by name; nullopt when there is none.
using Lookup = std::function<std::optional<std::string_view>(const std::string&)>;

struct Summary {
    int Resources = 0;
    int Screens = 0;
    int Texts = 0;
};

// Checks every catalogued resource and names the ones that are missing.
inline Problems CheckCatalogue(const Lookup& lookup, Summary& summary) {
    Problems out;
    const ScreenDrawer drawer;
    if (!drawer.SelfTest())
        out.push_back("(checker): a scroll cannot be noticed on this console build; screens unchecked");
    for (const CatalogueEntry& entry : Catalogue()) {
        const auto bytes = lookup(entry.Name);
        if (!bytes) {
            out.push_back(entry.Name + ": missing from the executable");
            continue;
        }
        ++summary.Resources;
        if (entry.Type == Kind::Screen || entry.Type == Kind::Twin) ++summary.Screens;
        if (entry.Type == Kind::Text) ++summary.Texts;
        const Problems more = CheckResource(drawer, entry, *bytes);
        out.insert(out.end(), more.begin(), more.end());
    }
    return out;
}

}  // namespace contentrules
