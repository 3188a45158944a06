// Terminal screen updates: the console's cells in, the bytes that bring a
// terminal up to date out.
//
// The renderer remembers what the terminal shows. For each new frame it
// writes only the cells that changed, moves the terminal cursor only where
// the next changed cell is not where the cursor already stands (choosing the
// shortest way there), and changes colours only when they differ. Colours
// are the PC palette (colour 6 is brown): exact VGA colours as 24-bit SGR
// where the terminal has true colour, the nearest entries of the 256-colour
// palette where it has that, else the 16 ANSI colours with 90-97 and 100-107
// for the bright ones. Attribute bit 7 is a bright background,
// never blinking. A cell of art with colours of its own (a piece's palette,
// 24-bit colour) is shown in them with true colour, else in the nearest of
// the 256, else in its attribute's sixteen. Autowrap stays off while it draws, so the last cell of
// the screen never scrolls it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "console/conapi.h"
#include "console/palette.h"

namespace termscreen {

using palette::Rgb;
// The 16 colours of the PC text screen, by attribute colour number.
inline const std::array<Rgb, 16>& kVgaPalette = palette::kVga;

struct Options {
    bool utf8 = true;          // glyphs as UTF-8, else raw code page 437 bytes
    bool trueColor = false;    // 24-bit SGR, else as Palette256 says
    bool scroll = false;       // the terminal scrolls a region (DECSTBM, IL, DL)
    bool palette256 = false;   // the 256-colour entries nearest to the VGA
                               // colours, else the terminal's own 16 colours
    bool cursorShape = false;  // an underline cursor, like the console's
                               // (DECSCUSR), for a terminal that said its own
    bool asciiOnly = false;    // with Utf8 off: plain ASCII look-alikes in
                               // place of code page 437 bytes, for an 8-bit
                               // terminal that is no PC terminal
    bool board = false;        // a board's caller (with Utf8 off): the code
                               // page 437 bytes from 0x80 as they are, only
                               // the sequences every ANSI terminal of the
                               // BBS world knows (no character set, scroll
                               // region or paste mode), and a CR before
                               // every LF
};

// The entry of the 256-colour palette (its 6x6x6 cube and grey ramp, whose
// colours every such terminal shares) nearest to PC colour Pc.
int Palette256Index(int pc);

// Whether a terminal of type Term (the TERM variable; null when unset) is
// known to scroll a region of rows: set top and bottom margins (DECSTBM)
// and insert and delete lines (IL, DL) within them.
bool TermScrollsRegions(const char* term);

// Whether a terminal of type Term is known to have the 256-colour palette
// (most of the xterm family, whatever the TERM variable's suffix says).
bool TermHas256Colours(const char* term);

// Whether a terminal of type Term is known to show raw code page 437 bytes
// as the PC does (the terminals of the BBS world); other 8-bit terminals
// take bytes from 0x80 as Latin-1 or the like.
bool TermTakesCp437(const char* term);

// Whether a terminal of type Term is of a family known to take the cursor
// shape (DECSCUSR), and so is asked for its own; others might show the
// sequence's last byte.
bool TermShapesCursor(const char* term);

// One state of the console: Rows rows of 80 cells, row-major.
struct Frame {
    const conapi::Cell* cells = nullptr;
    int rows = 25;
    conapi::Coord cursor{};
    bool cursorVisible = true;
};

// The SGR parameters (between ESC [ and m) that set both colours of Attr.
std::string SgrParams(uint8_t attr, bool trueColor, bool palette256 = false);

// What a glyph looks like on a terminal: its UTF-8 bytes, or its raw byte.
// In raw mode the values 0x00-0x1F, 0x7F and 0x80-0x9F, which a terminal
// would obey as controls, are shown as look-alike characters.
std::string GlyphBytes(uint8_t ch, bool utf8);

// The plain ASCII character (0x20-0x7E) that looks most like a code page
// 437 glyph: the letter without its accent, '#' for a block, '+' for a
// corner, and so on.
char AsciiLookAlike(uint8_t ch);

class Renderer {
public:
    static constexpr int kCols = conapi::MaxCols;
    static constexpr int kRows = conapi::MaxRows;

    explicit Renderer(Options options);

    // The terminal's size in cells; a change redraws everything.
    void SetTerminalSize(int cols, int rows);
    // The next Update resets the terminal's modes, clears it and draws
    // every cell (at start, after a resize, after the process continued).
    void Invalidate() { full_ = true; }
    bool FullPending() const { return full_; }

    // The bytes that turn what the terminal shows into Frame, and then put
    // the cursor where the console has it. Empty when nothing changed.
    std::string Update(const Frame& frame);

    // The row (0-based) below the last row that shows anything other than
    // blank cells on black: where the terminal's next user should go on.
    int NextFreeRow() const;

private:
    // A band of rows whose content moved up (Shift > 0) or down by Shift
    // rows; Shift 0 means none.
    struct Scroll {
        int top = 0;
        int bottom = 0;
        int shift = 0;
    };
    // The band scroll that saves the most cells to rewrite, if any saves.
    Scroll FindScroll(const conapi::Cell* cells, int rows, int cols) const;
    // Lets the terminal move the band's rows, and updates what it shows.
    void ApplyScroll(std::string& out, const Scroll& s);
    std::string WholeScreenMargins() const;
    void PaintMargins(std::string& out, int rows);
    void PaintMargin(std::string& out, int row, int from);
    // The shortest bytes that take the terminal cursor to Row, Col.
    std::string MoveBytes(int row, int col) const;
    void MoveTo(std::string& out, int row, int col);
    void SetAttr(std::string& out, uint8_t attr);
    void SetColours(std::string& out, const conapi::Cell& cell);
    std::string OwnParams(int base, uint32_t own) const;
    conapi::Cell FrameCell(const conapi::Cell& src) const;
    bool FillGap(std::string& out, int row, int col, std::size_t moveCost);

    Options options_;
    std::array<std::string, 256> glyphs_;
    std::array<conapi::Cell, kCols * kRows> shown_{};
    int shownRows_ = 0;
    bool full_ = true;
    int termCols_ = 80;
    int termRows_ = 25;
    int curRow_ = -1;  // terminal cursor; -1: not known
    int curCol_ = -1;
    int attr_ = -1;         // colours in force; -1: not known
    uint32_t fore_ = 0;     // own colours in force (0: the attribute's)
    uint32_t back_ = 0;
    int cursorShown_ = -1;  // -1: not known
};

// Longest output of FormatLeave.
constexpr std::size_t kLeaveMax = 80;

// The bytes that give the terminal back at the end: default colours,
// cursor shown (in shape OwnShape, the terminal's own, unless -1), autowrap
// on, bracketed paste off, the keypad in numeric mode, the whole screen as
// scroll region, and the cursor at the start of row NextRow (0-based),
// with everything from there down erased in the terminal's own colours
// (the blank rows were black, which is not every terminal's background);
// past the terminal's last row the terminal scrolls one line instead.
// Writes into Buf (kLeaveMax bytes) without allocating, so that signal
// handlers can call it; answers the length.
// For a board's caller (Board): default colours, the cursor shown, autowrap
// on, and the cursor at the start of row NextRow, after a CR LF where the
// screen is full: the board goes on from there.
std::size_t FormatLeave(char* buf, int nextRow, int termRows, int ownShape = -1, bool board = false);

}  // namespace termscreen
