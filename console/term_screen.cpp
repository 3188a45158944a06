#include "console/term_screen.h"

#include <algorithm>
#include <initializer_list>

#include "console/cp437.h"

namespace termscreen {


namespace {

// PC colours count blue, green, red from bit 0; ANSI colours red, green,
// blue. The ANSI number of each of the eight base PC colours.
constexpr std::array<int, 8> kAnsiOf = {0, 4, 2, 6, 1, 5, 3, 7};

// Shown for the control values on a terminal that takes raw code page 437
// bytes: it would obey the controls, so each gets a look-alike instead
// (0x16 and 0x1C borrow the block and corner of the upper half).
constexpr char kRawLow[] = " oo*****#o#++dd*><|!PS\xDC|^v><\xC0-^v";
static_assert(sizeof(kRawLow) == 33, "one look-alike for each of 0x00-0x1F");

// Plain ASCII look-alikes of 0x80-0xFF: letters without their accents,
// shades and blocks by how dark they are, lines and corners of frames.
// clang-format off
constexpr char kAsciiHigh[] =
    "CueaaaaceeeiiiAA"
    "EaAooouuyOUcLYPf"
    "aiounNao?--%%!<>"
    ".:#|++++++|+++++"
    "++++-++++++++=++"
    "+++++++++++#_[]\""
    "aBGpSsutFOOd8fen"
    "=+><()/~o..vn2# ";
// clang-format on
static_assert(sizeof(kAsciiHigh) == 129, "one look-alike for each of 0x80-0xFF");

std::string Colour(int base, const Rgb& c) {
    return std::to_string(base) + ";2;" + std::to_string(c.r) + ';' + std::to_string(c.g) + ';' + std::to_string(c.b);
}

std::string FgParams(int fg, const Options& o) {
    if (o.trueColor) return Colour(38, kVgaPalette[fg]);
    if (o.palette256) return "38;5;" + std::to_string(Palette256Index(fg));
    return std::to_string((fg < 8 ? 30 : 90) + kAnsiOf[fg & 7]);
}

std::string BgParams(int bg, const Options& o) {
    if (o.trueColor) return Colour(48, kVgaPalette[bg]);
    if (o.palette256) return "48;5;" + std::to_string(Palette256Index(bg));
    return std::to_string((bg < 8 ? 40 : 100) + kAnsiOf[bg & 7]);
}

// ESC [ N X, with N left out when it is 1 (the default).
std::string Csi(int n, char final) {
    std::string s = "\x1b[";
    if (n != 1) s += std::to_string(n);
    s += final;
    return s;
}

std::string Cup(int row, int col) {
    std::string s = "\x1b[";
    if (row > 0 || col > 0) s += std::to_string(row + 1);
    if (col > 0) s += ';' + std::to_string(col + 1);
    return s + 'H';
}

bool IsBlank(const conapi::Cell& c) {
    const uint8_t ch = static_cast<uint8_t>(c.Char);
    const bool emptyGlyph = ch == 0 || ch == ' ' || ch == 0xFF;
    return emptyGlyph && (c.Attr & 0xF0) == 0;
}

// Whether a terminal shows the two cells alike: the same cell, or two empty
// glyphs on the same background (the foreground of a blank is invisible).
// Screens drawn in plain text leave many blanks whose foreground alone
// changed; they need not be sent again.
bool LookAlike(const conapi::Cell& a, const conapi::Cell& b) {
    if (a == b) return true;
    auto empty = [](const conapi::Cell& c) {
        const uint8_t ch = static_cast<uint8_t>(c.Char);
        return ch == 0 || ch == ' ' || ch == 0xFF;
    };
    return empty(a) && empty(b) && (a.Attr & 0xF0) == (b.Attr & 0xF0) && a.Back == b.Back;
}

// A cell as the terminal shows it, for comparing: an empty glyph shows only
// its background. Cells of a frame are compared by their low bytes; cells
// the terminal was left to fill (kUnknown) look like no frame's cell.
// Own colours (a piece's palette, 24-bit colour) are folded into the upper
// half: the look decides only where a scroll pays, never what is drawn.
uint64_t Look(uint16_t ch, uint16_t attr, uint32_t fore, uint32_t back) {
    const unsigned low = ch & 0xFF;
    if ((ch >> 8) == 0 && (low == 0 || low == ' ' || low == 0xFF))
        return (0x20u << 16) | (attr & 0xF0u) | static_cast<uint64_t>(back) << 32;
    return ((static_cast<uint32_t>(ch) << 16) | attr) | static_cast<uint64_t>(fore * 31u ^ back) << 32;
}

uint64_t ShownLook(const conapi::Cell& c) { return Look(c.Char, c.Attr, c.Fore, c.Back); }

// What the renderer records for a row the terminal blanked in its own way
// (the colours of inserted lines differ between terminals): never alike to
// a console cell, so the row is drawn in full.
constexpr conapi::Cell kUnknown{0x1AB, 0x100};

// About what the bytes of a band scroll cost, in rewritten cells, and what
// reaching a changed row costs on top of its cells.
constexpr int kScrollCost = 12;
constexpr int kRowCost = 3;

// Appends the decimal digits of N (non-negative) without allocating.
char* PutNumber(char* p, int n) {
    char digits[12];
    int len = 0;
    do {
        digits[len++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0 && len < 11);
    while (len > 0) *p++ = digits[--len];
    return p;
}

char* PutText(char* p, const char* text) {
    while (*text) *p++ = *text++;
    return p;
}

}  // namespace

bool TermScrollsRegions(const char* term) {
    if (!term) return false;
    const std::string t = term;
    static const char* const kFamilies[] = {"xterm", "screen",    "tmux",        "rxvt",    "linux", "vt102",
                                            "vt220", "vt320",     "vt420",       "vt520",   "putty", "konsole",
                                            "gnome", "alacritty", "kitty",       "foot",    "st-",   "wezterm",
                                            "iterm", "mintty",    "ms-terminal", "contour", "cygwin"};
    if (t == "st") return true;
    for (const char* family : kFamilies)
        if (t.rfind(family, 0) == 0) return true;
    return false;
}

int Palette256Index(int pc) {
    // Entries 0-15 are left out: every terminal has its own colours there.
    static const std::array<int, 16> nearest = [] {
        std::array<int, 16> found{};
        for (int c = 0; c < 16; ++c) {
            int best = 16;
            for (int i = 17; i < 256; ++i)
                if (Distance(palette::Entry256(i), kVgaPalette[c]) < Distance(palette::Entry256(best), kVgaPalette[c]))
                    best = i;
            found[c] = best;
        }
        return found;
    }();
    return nearest[pc & 15];
}

namespace {

bool InFamily(const std::string& t, std::initializer_list<const char*> families) {
    for (const char* family : families)
        if (t.rfind(family, 0) == 0) return true;
    return false;
}

}  // namespace

bool TermHas256Colours(const char* term) {
    if (!term) return false;
    const std::string t = term;
    if (t.find("256col") != std::string::npos || t.find("direct") != std::string::npos) return true;
    // Plain "screen", "rxvt" and the consoles keep 8 or 16 colours.
    return InFamily(t, {"xterm", "putty", "rxvt-unicode", "mlterm", "kitty", "tmux", "alacritty", "foot", "wezterm",
                        "konsole", "gnome", "iterm", "mintty", "contour", "ms-terminal", "vte"});
}

bool TermShapesCursor(const char* term) {
    if (!term) return false;
    const std::string t = term;
    return InFamily(t, {"xterm", "putty", "rxvt-unicode", "mlterm", "kitty", "tmux", "screen", "alacritty", "foot",
                        "wezterm", "konsole", "gnome", "iterm", "mintty", "contour", "ms-terminal", "vte"});
}

std::string SgrParams(uint8_t attr, bool trueColor, bool palette256) {
    const Options o{true, trueColor, false, palette256};
    return FgParams(attr & 0x0F, o) + ';' + BgParams(attr >> 4, o);
}

std::string GlyphBytes(uint8_t ch, bool utf8) {
    if (utf8) return cp437::GlyphUtf8(ch);
    if (ch < 0x20) return std::string(1, kRawLow[ch]);
    if (ch == 0x7F) return "^";
    return std::string(1, static_cast<char>(cp437::RawByte(ch)));
}

char AsciiLookAlike(uint8_t ch) {
    if (ch >= 0x80) return kAsciiHigh[ch - 0x80];
    if (ch == 0x16) return '_';  // the raw table borrows code page glyphs for
    if (ch == 0x1C) return 'L';  // these two
    if (ch < 0x20) return kRawLow[ch];
    return ch == 0x7F ? '^' : static_cast<char>(ch);
}

bool TermTakesCp437(const char* term) {
    if (!term) return false;
    const std::string t = term;
    return t == "ansi" || InFamily(t, {"ansi-", "ansi.sys", "pcansi", "syncterm"});
}

// A cell of a frame as this terminal shows it: its glyph's low byte (a
// piece's second 256 glyphs show as the standard ones), its attribute, and
// its own colours where the terminal has more than sixteen.
conapi::Cell Renderer::FrameCell(const conapi::Cell& src) const {
    const bool own = (options_.trueColor || options_.palette256) && !options_.board;
    return conapi::Cell{static_cast<uint16_t>(src.Char & 0xFF), static_cast<uint16_t>(src.Attr & 0xFF),
                        own ? src.Fore : 0u, own ? src.Back : 0u};
}

Renderer::Renderer(Options options) : options_(options) {
    for (int i = 0; i < 256; ++i) {
        const auto ch = static_cast<uint8_t>(i);
        if (options_.asciiOnly && !options_.utf8)
            glyphs_[i] = std::string(1, AsciiLookAlike(ch));
        else if (options_.board && !options_.utf8 && ch >= 0x80)
            glyphs_[i] = std::string(1, static_cast<char>(ch));  // a PC terminal: no C1 controls
        else
            glyphs_[i] = GlyphBytes(ch, options_.utf8);
    }
}

void Renderer::SetTerminalSize(int cols, int rows) {
    if (cols == termCols_ && rows == termRows_) return;
    termCols_ = cols;
    termRows_ = rows;
    full_ = true;
}

std::string Renderer::MoveBytes(int row, int col) const {
    if (row == curRow_ && col == curCol_) return {};
    std::string best = Cup(row, col);
    if (curRow_ >= 0) {
        const int dy = row - curRow_;
        std::string rowPart = dy > 0 ? Csi(dy, 'B') : dy < 0 ? Csi(-dy, 'A') : "";
        std::string colPart;
        if (col == 0) {
            colPart = "\r";
        } else if (curCol_ >= 0) {
            const int dx = col - curCol_;
            colPart = dx > 0 ? Csi(dx, 'C') : dx < 0 ? Csi(-dx, 'D') : "";
        } else {
            colPart = Csi(col + 1, 'G');
        }
        std::string relative = rowPart + colPart;
        if (relative.size() < best.size()) best = std::move(relative);
        // CR LF..., a few bytes for a row a little further down (CR first,
        // so that a terminal that adds CR to LF agrees), then right to Col.
        if (dy > 0 && dy < static_cast<int>(best.size())) {
            // A board's caller gets CR LF for every row.
            std::string down = options_.board ? "" : "\r";
            for (int i = 0; i < dy; ++i) down += options_.board ? "\r\n" : "\n";
            if (col > 0) down += Csi(col, 'C');
            if (down.size() < best.size()) best = std::move(down);
        }
    }
    return best;
}

void Renderer::MoveTo(std::string& out, int row, int col) {
    out += MoveBytes(row, col);
    curRow_ = row;
    curCol_ = col;
}

namespace {

bool EmptyGlyph(const conapi::Cell& c) {
    const unsigned ch = c.Char;  // kUnknown is no empty glyph
    return ch == 0 || ch == ' ' || ch == 0xFF;
}

}  // namespace

// Reaches Col on the cursor's own row by writing the unchanged cells in
// between again, when that is shorter than a cursor move and needs no
// colour change. An empty glyph shows only its background, so a space in
// the colours in force rewrites it whatever its foreground. Answers whether
// it did.
bool Renderer::FillGap(std::string& out, int row, int col, std::size_t moveCost) {
    if (row != curRow_ || curCol_ < 0 || col <= curCol_ || attr_ < 0) return false;
    std::size_t cost = 0;
    for (int c = curCol_; c < col; ++c) {
        const conapi::Cell& cell = shown_[row * kCols + c];
        if (EmptyGlyph(cell)) {
            if ((cell.Attr & 0xF0) != (attr_ & 0xF0) || cell.Back != back_) return false;
            cost += 1;
        } else {
            if (cell.Attr != attr_ || cell.Fore != fore_ || cell.Back != back_) return false;
            cost += glyphs_[cell.Char & 0xFF].size();
        }
        if (cost >= moveCost) return false;
    }
    for (int c = curCol_; c < col; ++c) {
        const conapi::Cell& cell = shown_[row * kCols + c];
        out += EmptyGlyph(cell) ? glyphs_[' '] : glyphs_[cell.Char & 0xFF];
    }
    curCol_ = col;
    return true;
}

namespace {

// The colours as the terminals of the BBS world take them: bold for a
// bright foreground and blink for a bright background (they show it as
// one where they take iCE colours). Neither can be turned off alone, so
// a change of either starts from a reset.
std::string BoardSgr(uint8_t attr, int before) {
    const int fg = attr & 0x0F;
    const int bg = attr >> 4;
    const int brightBits = attr & 0x88;
    std::string params;
    if (before < 0 || (before & 0x88) != brightBits) {
        params = "0";
        if (fg & 8) params += ";1";
        if (bg & 8) params += ";5";
        before = -1;
    }
    auto add = [&params](int code) {
        if (!params.empty()) params += ';';
        params += std::to_string(code);
    };
    if (before < 0 || (fg & 7) != (before & 7)) add(30 + kAnsiOf[fg & 7]);
    if (before < 0 || (bg & 7) != ((before >> 4) & 7)) add(40 + kAnsiOf[bg & 7]);
    return "\x1b[" + params + 'm';
}

}  // namespace

void Renderer::SetAttr(std::string& out, uint8_t attr) { SetColours(out, conapi::Cell{' ', attr}); }

// A cell's own colour as SGR parameters: 24-bit where the terminal has it,
// else the nearest entry of the 256-colour palette.
std::string Renderer::OwnParams(int base, uint32_t own) const {
    const palette::Rgb c = palette::OfOwn(own);
    if (options_.trueColor) return Colour(base, c);
    return std::to_string(base) + ";5;" + std::to_string(palette::Nearest256(c));
}

void Renderer::SetColours(std::string& out, const conapi::Cell& cell) {
    const auto attr = static_cast<uint8_t>(cell.Attr);
    if (cell.Fore != 0 || cell.Back != 0 || fore_ != 0 || back_ != 0) {
        if (attr == attr_ && cell.Fore == fore_ && cell.Back == back_) return;
        // Own colours take both colours anew: they are rare, and the attribute
        // nibbles beside them say nothing of what the terminal shows.
        const std::string fg = cell.Fore != 0 ? OwnParams(38, cell.Fore) : FgParams(attr & 0x0F, options_);
        const std::string bg = cell.Back != 0 ? OwnParams(48, cell.Back) : BgParams(attr >> 4, options_);
        out += "\x1b[" + fg + ';' + bg + 'm';
        attr_ = attr;
        fore_ = cell.Fore;
        back_ = cell.Back;
        return;
    }
    if (attr == attr_) return;
    if (options_.board) {
        out += BoardSgr(attr, attr_);
        attr_ = attr;
        return;
    }
    const int fg = attr & 0x0F;
    const int bg = attr >> 4;
    std::string params;
    if (attr_ < 0 || fg == (attr_ & 0x0F) || bg == (attr_ >> 4)) {
        if (attr_ < 0 || fg != (attr_ & 0x0F)) params = FgParams(fg, options_);
        if (attr_ < 0 || bg != (attr_ >> 4)) {
            if (!params.empty()) params += ';';
            params += BgParams(bg, options_);
        }
    } else {
        params = FgParams(fg, options_) + ';' + BgParams(bg, options_);
    }
    out += "\x1b[" + params + 'm';
    attr_ = attr;
}

// Compares every row of the frame with every row the terminal shows, by a
// hash of the row, to find shifts that turn changed rows into rows already
// shown; then picks the band for the best of them by the cells it saves.
Renderer::Scroll Renderer::FindScroll(const conapi::Cell* cells, int rows, int cols) const {
    if (!options_.scroll || rows < 3) return {};
    std::array<uint64_t, kRows> now{};
    std::array<uint64_t, kRows> was{};
    std::array<int, kRows> stay{};  // cells to rewrite without a scroll
    int changed = 0;
    for (int r = 0; r < rows; ++r) {
        uint64_t hn = 1469598103934665603u;
        uint64_t hw = hn;
        for (int c = 0; c < cols; ++c) {
            const uint64_t n = ShownLook(FrameCell(cells[r * kCols + c]));
            const uint64_t w = ShownLook(shown_[r * kCols + c]);
            hn = (hn ^ n) * 1099511628211u;
            hw = (hw ^ w) * 1099511628211u;
            stay[r] += n != w;
        }
        if (stay[r] > 0) stay[r] += kRowCost;
        now[r] = hn;
        was[r] = hw;
        changed += stay[r] > 0;
    }
    if (changed < 2) return {};

    // Shift K: the frame's row R is the shown row R + K.
    struct Candidate {
        int shift = 0;
        int rowsMatched = 0;
    };
    std::array<Candidate, 3> candidates{};
    for (int k = 1 - rows; k < rows; ++k) {
        if (k == 0) continue;
        int matched = 0;
        for (int r = std::max(0, -k); r < std::min(rows, rows - k); ++r) matched += stay[r] > 0 && now[r] == was[r + k];
        if (matched < 2) continue;
        Candidate c{k, matched};
        for (auto& slot : candidates)
            if (c.rowsMatched > slot.rowsMatched) std::swap(c, slot);
    }

    Scroll best;
    int bestGain = 0;
    std::array<int, kRows + 1> stayBefore{};
    for (int r = 0; r < rows; ++r) stayBefore[r + 1] = stayBefore[r] + stay[r];
    for (const Candidate& cand : candidates) {
        const int k = cand.shift;
        if (k == 0) continue;
        // Cells to rewrite in row R once the shown row R + K has moved there.
        std::array<int, kRows + 1> movedBefore{};
        for (int r = 0; r < rows; ++r) {
            int cost = cols;
            if (r + k >= 0 && r + k < rows) {
                cost = 0;
                for (int c = 0; c < cols; ++c)
                    cost += ShownLook(FrameCell(cells[r * kCols + c])) != ShownLook(shown_[(r + k) * kCols + c]);
                if (cost > 0) cost += kRowCost;
            }
            movedBefore[r + 1] = movedBefore[r] + cost;
        }
        const int n = std::abs(k);
        for (int top = 0; top < rows; ++top) {
            for (int bottom = top + n; bottom < rows; ++bottom) {
                // Rows that get a moved row, and the N rows the terminal blanks.
                const int first = k > 0 ? top : top + n;
                const int last = k > 0 ? bottom - n : bottom;
                const int with = movedBefore[last + 1] - movedBefore[first] + n * cols + kScrollCost;
                const int gain = stayBefore[bottom + 1] - stayBefore[top] - with;
                if (gain > bestGain) {
                    bestGain = gain;
                    best = Scroll{top, bottom, k};
                }
            }
        }
    }
    return best;
}

// Blanks in black right of the screen and below it, where the terminal is
// larger: each row erased from the screen's edge to its end, in black. A
// few bytes a row, however wide the terminal says it is. (Erasing all rows
// below at once would be shorter, but not every terminal erases cells it
// never drew in the colours in force.)
void Renderer::PaintMargins(std::string& out, int rows) {
    for (int r = 0; r < termRows_; ++r) PaintMargin(out, r, r < rows ? kCols : 0);
}

// Blanks in black from column From to the terminal's right edge of Row.
void Renderer::PaintMargin(std::string& out, int row, int from) {
    if (from >= termCols_) return;
    MoveTo(out, row, from);
    SetAttr(out, 0x07);
    out += "\x1b[K";
}

// The whole terminal as scroll region, said in full: some terminals take
// the bare reset (ESC [ r) as a new top margin that keeps the old bottom.
std::string Renderer::WholeScreenMargins() const { return "\x1b[1;" + std::to_string(termRows_) + 'r'; }

void Renderer::ApplyScroll(std::string& out, const Scroll& s) {
    const int n = std::abs(s.shift);
    // Terminals differ in where setting the margins leaves the cursor (most
    // home it, some not for every form), so the cursor is placed absolutely
    // after each; the margins are reset at once, so that a line feed never
    // meets one.
    out += "\x1b[" + std::to_string(s.top + 1) + ';' + std::to_string(s.bottom + 1) + 'r';
    curRow_ = -1;
    curCol_ = -1;
    MoveTo(out, s.top, 0);
    out += Csi(n, s.shift > 0 ? 'M' : 'L');
    out += WholeScreenMargins();
    curRow_ = -1;
    curCol_ = -1;
    auto row = [this](int r) { return shown_.begin() + r * kCols; };
    // The rows brought in span the margins of a wider terminal too, in
    // colours that vary between terminals: those are painted black again.
    const int firstNew = s.shift > 0 ? s.bottom - n + 1 : s.top;
    if (s.shift > 0) {
        for (int r = s.top; r + n <= s.bottom; ++r) std::copy_n(row(r + n), kCols, row(r));
    } else {
        for (int r = s.bottom; r - n >= s.top; --r) std::copy_n(row(r - n), kCols, row(r));
    }
    for (int r = firstNew; r < firstNew + n; ++r) {
        std::fill_n(row(r), kCols, kUnknown);
        PaintMargin(out, r, kCols);
    }
}

std::string Renderer::Update(const Frame& frame) {
    std::string out;
    const int rows = std::min({frame.rows, termRows_, kRows});
    const int cols = std::min(kCols, termCols_);
    if (rows != shownRows_) full_ = true;
    if (full_) {
        // A known state: default colours, ASCII character set, the whole
        // terminal as scroll region, no autowrap, cleared.
        // The cursor an underline, like the console's. The clear is done in
        // black: terminals clear in the colours in force, and a terminal
        // larger than the screen shows the margins around it.
        // Bracketed paste on: a pasted text arrives marked, not as keys.
        if (options_.board)
            out += "\x1b[0m\x1b[?7l";
        else
            out += "\x1b[0m\x1b(B" + WholeScreenMargins() + "\x1b[?7l\x1b[?2004h";
        if (options_.cursorShape) out += "\x1b[3 q";
        attr_ = -1;
        fore_ = back_ = 0;
        SetAttr(out, 0x07);
        out += "\x1b[H\x1b[2J";
        curRow_ = 0;
        curCol_ = 0;
        cursorShown_ = -1;
        PaintMargins(out, rows);
    } else {
        const Scroll scroll = FindScroll(frame.cells, rows, cols);
        if (scroll.shift != 0) ApplyScroll(out, scroll);
    }
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const conapi::Cell& src = frame.cells[r * kCols + c];
            const conapi::Cell cell = FrameCell(src);
            conapi::Cell& old = shown_[r * kCols + c];
            if (!full_ && LookAlike(old, cell)) continue;
            const std::string move = MoveBytes(r, c);
            if (!move.empty() && !FillGap(out, r, c, move.size())) out += move;
            curRow_ = r;
            curCol_ = c;
            SetColours(out, cell);
            out += glyphs_[cell.Char];
            old = cell;
            // Past the terminal's last column the cursor's column is not
            // known: terminals differ in where they leave it.
            curCol_ = c + 1 < termCols_ ? c + 1 : -1;
        }
    }
    shownRows_ = rows;
    full_ = false;
    if (frame.cursorVisible) {
        const int row = std::clamp<int>(frame.cursor.Y, 0, rows - 1);
        const int col = std::clamp<int>(frame.cursor.X, 0, cols - 1);
        MoveTo(out, row, col);
        if (cursorShown_ != 1) out += "\x1b[?25h";
        cursorShown_ = 1;
    } else if (cursorShown_ != 0) {
        out += "\x1b[?25l";
        cursorShown_ = 0;
    }
    return out;
}

int Renderer::NextFreeRow() const {
    for (int r = shownRows_ - 1; r >= 0; --r) {
        for (int c = 0; c < std::min(kCols, termCols_); ++c)
            if (!IsBlank(shown_[r * kCols + c])) return r + 1;
    }
    return 0;
}

std::size_t FormatLeave(char* buf, int nextRow, int termRows, int ownShape, bool board) {
    // The whole screen as scroll region again, in case an update that
    // scrolled a band was cut short; the keypad in numeric mode. A board's
    // caller was sent neither.
    char* p = PutText(buf, board ? "\x1b[0m\x1b[?25h\x1b[?7h" : "\x1b[0m\x1b[?25h\x1b[?7h\x1b[?2004l\x1b[r\x1b>");
    if (ownShape >= 0) {  // the terminal's own shape
        p = PutText(p, "\x1b[");
        p = PutNumber(p, ownShape);
        p = PutText(p, " q");
    }
    p = PutText(p, "\x1b[");
    if (termRows < 1) termRows = 1;
    const bool scroll = nextRow >= termRows;
    p = PutNumber(p, scroll ? termRows : std::max(nextRow, 0) + 1);
    p = PutText(p, scroll ? "H\r\n" : "H\x1b[J");
    return static_cast<std::size_t>(p - buf);
}

}  // namespace termscreen
