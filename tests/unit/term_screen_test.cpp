// Terminal screen updates, read back through a small terminal model: every
// frame the renderer turns into bytes must leave the model showing exactly
// the console's cells, cursor and colours, with as few moves, colour changes
// and glyphs as the change needs. Also the 256 glyphs of code page 437, the
// PC palette in both colour modes, and the bytes that give the terminal
// back.
#include <gtest/gtest.h>

#include <iconv.h>

#include <array>
#include <cctype>
#include <cstring>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "console/cp437.h"
#include "console/term_screen.h"

using conapi::Cell;
using termscreen::Frame;
using termscreen::Options;
using termscreen::Renderer;

namespace {

// Decodes one UTF-8 character at S[I], advancing I; nullopt when broken.
std::optional<char32_t> NextUtf8(const std::string& s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return std::nullopt;
    char32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (c & 0x3F);
    }
    i += len;
    return cp;
}

// A terminal as far as the renderer uses one: cursor moves, SGR colours,
// clearing, autowrap and cursor visibility. It records anything it would
// not expect from the renderer (stray control bytes, scrolling, wrapping).
class Vt {
public:
    struct Glyph {
        int ch = ' ';  // code page 437 byte shown
        int fg = -1;   // PC colour, -1: the terminal's default
        int bg = -1;
    };

    // Board: a terminal of the BBS world, which takes the raw code page 437
    // bytes as glyphs, bold for the bright foreground and blink for the
    // bright background, and knows no character sets, scroll regions or
    // paste mode; an LF without the CR before it is a fault.
    Vt(int cols, int rows, bool utf8, bool board = false)
        : cols_(cols), rows_(rows), utf8_(utf8), board_(board), grid_(cols * rows) {}

    void Feed(const std::string& s) {
        std::size_t i = 0;
        while (i < s.size()) {
            const auto b = static_cast<unsigned char>(s[i]);
            if (b == 0x1B) {
                i = Escape(s, i);
            } else if (b == '\r') {
                x_ = 0;
                ++i;
            } else if (b == '\n') {
                if (board_ && (i == 0 || s[i - 1] != '\r')) faults.push_back("LF without CR");
                if (y_ == bottom_)
                    faults.push_back("LF on the bottom margin scrolls");
                else if (y_ == rows_ - 1)
                    faults.push_back("LF on the last row scrolls");
                else
                    ++y_;
                ++i;
            } else if (b < 0x20 || b == 0x7F) {
                faults.push_back("control byte " + std::to_string(b));
                ++i;
            } else {
                int ch = b;
                if (utf8_) {
                    const auto cp = NextUtf8(s, i);
                    if (!cp) {
                        faults.push_back("broken UTF-8");
                        ++i;
                        continue;
                    }
                    const auto back = cp437::FromUnicode(*cp);
                    ch = back ? *back : '?';
                } else {
                    ++i;
                }
                Put(ch);
            }
        }
    }

    const Glyph& At(int col, int row) const { return grid_[row * cols_ + col]; }
    int X() const { return x_; }
    int Y() const { return y_; }
    bool CursorShown() const { return cursorShown_; }
    bool BracketedPaste() const { return bracketedPaste_; }
    int lineErases = 0;
    bool Autowrap() const { return autowrap_; }
    std::vector<std::string> faults;

private:
    void Put(int ch) {
        if (wrapPending_) {
            if (autowrap_) {
                faults.push_back("autowrap moved to the next line");
                x_ = 0;
                if (y_ == rows_ - 1)
                    faults.push_back("autowrap scrolled");
                else
                    ++y_;
            }
            wrapPending_ = false;
        }
        grid_[y_ * cols_ + x_] = Glyph{ch, fg_, bg_};
        // Like xterm: at the last column the cursor stays put.
        if (x_ == cols_ - 1)
            wrapPending_ = true;
        else
            ++x_;
    }

    std::size_t Escape(const std::string& s, std::size_t i) {
        if (i + 1 >= s.size()) {
            faults.push_back("lone ESC");
            return s.size();
        }
        if (s[i + 1] == '(' && board_) faults.push_back("character set for a BBS terminal");
        if (s[i + 1] == '(') return i + 3;  // character set choice
        if (s[i + 1] != '[') {
            faults.push_back("unexpected escape");
            return i + 2;
        }
        std::size_t j = i + 2;
        std::string params;
        while (j < s.size() && ((s[j] >= '0' && s[j] <= '9') || s[j] == ';' || s[j] == '?')) params += s[j++];
        if (j >= s.size()) {
            faults.push_back("unfinished CSI");
            return j;
        }
        Csi(params, s[j]);
        return j + 1;
    }

    static std::vector<int> Numbers(const std::string& p) {
        std::vector<int> out;
        std::string cur;
        for (char c : p + ";") {
            if (c == ';') {
                out.push_back(cur.empty() ? -1 : std::stoi(cur));
                cur.clear();
            } else if (c != '?') {
                cur += c;
            }
        }
        return out;
    }

    void Csi(const std::string& params, char final) {
        wrapPending_ = false;
        const auto n = Numbers(params);
        const int a = n[0] < 1 ? 1 : n[0];
        const int b = n.size() > 1 && n[1] >= 1 ? n[1] : 1;
        if (!params.empty() && params[0] == '?') {
            const bool on = final == 'h';
            if (n[0] == 7)
                autowrap_ = on;
            else if (n[0] == 25)
                cursorShown_ = on;
            else if (n[0] == 2004 && !board_)
                bracketedPaste_ = on;
            else
                faults.push_back("private mode " + params);
            return;
        }
        switch (final) {
        case 'H':
            y_ = std::min(a, rows_) - 1;
            x_ = std::min(b, cols_) - 1;
            break;
        case 'A': y_ = std::max(0, y_ - a); break;
        case 'B': y_ = std::min(rows_ - 1, y_ + a); break;
        case 'C': x_ = std::min(cols_ - 1, x_ + a); break;
        case 'D': x_ = std::max(0, x_ - a); break;
        case 'G': x_ = std::min(a, cols_) - 1; break;
        case 'r':  // margins; the cursor goes home
            if (board_) faults.push_back("scroll region for a BBS terminal");
            top_ = n[0] < 1 ? 0 : n[0] - 1;
            bottom_ = n.size() > 1 && n[1] >= 1 ? std::min(n[1], rows_) - 1 : rows_ - 1;
            if (top_ >= bottom_) faults.push_back("empty scroll region");
            x_ = 0;
            y_ = 0;
            break;
        case 'L':
        case 'M': MoveLines(final == 'L' ? a : -a); break;
        case 'J':  // the whole screen, or from the cursor on
            if (n[0] != 2 && n[0] > 0) faults.push_back("erase above the cursor");
            for (std::size_t k = n[0] == 2 ? 0 : static_cast<std::size_t>(y_ * cols_ + x_); k < grid_.size(); ++k)
                grid_[k] = Glyph{' ', fg_, bg_};
            break;
        case 'K':  // from the cursor to the end of its row
            if (n[0] > 0) faults.push_back("erase left of the cursor");
            for (int c = x_; c < cols_; ++c) grid_[y_ * cols_ + c] = Glyph{' ', fg_, bg_};
            ++lineErases;
            break;
        case 'm': Sgr(n); break;
        default: faults.push_back(std::string("CSI ") + final);
        }
    }

    // IL (N > 0) or DL (N < 0) at the cursor's row, inside the margins. The
    // lines brought in show what no console cell shows: what colour a
    // terminal gives them varies, so the renderer must draw them.
    void MoveLines(int n) {
        if (y_ < top_ || y_ > bottom_) {
            faults.push_back("IL/DL outside the scroll region");
            return;
        }
        const int count = std::min(std::abs(n), bottom_ - y_ + 1);
        auto row = [this](int r) { return grid_.begin() + r * cols_; };
        if (n > 0) {
            for (int r = bottom_; r - count >= y_; --r) std::copy_n(row(r - count), cols_, row(r));
            for (int r = y_; r < y_ + count; ++r) std::fill_n(row(r), cols_, Glyph{'?', -2, -2});
        } else {
            for (int r = y_; r + count <= bottom_; ++r) std::copy_n(row(r + count), cols_, row(r));
            for (int r = bottom_ - count + 1; r <= bottom_; ++r) std::fill_n(row(r), cols_, Glyph{'?', -2, -2});
        }
        x_ = 0;
    }

    void Sgr(const std::vector<int>& n) {
        static constexpr int kPcOfAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};
        if (board_) {
            for (const int v : n) {
                if (v == 0 || v == -1) {
                    baseFg_ = baseBg_ = -1;
                    bold_ = blink_ = false;
                } else if (v == 1) {
                    bold_ = true;
                } else if (v == 5) {
                    blink_ = true;
                } else if (v >= 30 && v <= 37) {
                    baseFg_ = kPcOfAnsi[v - 30];
                } else if (v >= 40 && v <= 47) {
                    baseBg_ = kPcOfAnsi[v - 40];
                } else {
                    faults.push_back("SGR " + std::to_string(v) + " for a BBS terminal");
                }
            }
            fg_ = baseFg_ < 0 ? -1 : baseFg_ + (bold_ ? 8 : 0);
            bg_ = baseBg_ < 0 ? -1 : baseBg_ + (blink_ ? 8 : 0);
            return;
        }
        for (std::size_t k = 0; k < n.size(); ++k) {
            const int v = n[k];
            if (v == 0 || v == -1) {
                fg_ = bg_ = -1;
            } else if (v >= 30 && v <= 37) {
                fg_ = kPcOfAnsi[v - 30];
            } else if (v >= 90 && v <= 97) {
                fg_ = 8 + kPcOfAnsi[v - 90];
            } else if (v >= 40 && v <= 47) {
                bg_ = kPcOfAnsi[v - 40];
            } else if (v >= 100 && v <= 107) {
                bg_ = 8 + kPcOfAnsi[v - 100];
            } else if ((v == 38 || v == 48) && k + 4 < n.size() && n[k + 1] == 2) {
                (v == 38 ? fg_ : bg_) = ColourId(n[k + 2], n[k + 3], n[k + 4]);
                k += 4;
            } else {
                faults.push_back("SGR " + std::to_string(v));
            }
        }
    }

public:
    // A colour as the model keeps it: a PC colour number where the colour
    // is one of the sixteen, else OwnColourFlag with its red, green, blue.
    static int ColourId(int r, int g, int b) {
        for (int c = 0; c < 16; ++c) {
            const auto& rgb = termscreen::kVgaPalette[c];
            if (rgb.r == r && rgb.g == g && rgb.b == b) return c;
        }
        return static_cast<int>(conapi::OwnColour(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)));
    }

private:
    int cols_, rows_;
    bool utf8_;
    bool board_;
    std::vector<Glyph> grid_;
    int baseFg_ = -1, baseBg_ = -1;  // a BBS terminal's colours before bold and blink
    bool bold_ = false, blink_ = false;
    int x_ = 0, y_ = 0;
    int top_ = 0, bottom_ = rows_ - 1;  // scroll region
    int fg_ = -1, bg_ = -1;
    bool autowrap_ = true;
    bool wrapPending_ = false;
    bool cursorShown_ = true;
    bool bracketedPaste_ = false;
};

// The console's side: 80x50 cells, a cursor.
struct Console {
    std::array<Cell, 80 * 50> cells{};
    int rows = 25;
    conapi::Coord cursor{0, 0};
    bool visible = true;

    Cell& at(int col, int row) { return cells[row * 80 + col]; }
    Frame frame() const { return Frame{cells.data(), rows, cursor, visible}; }
};

// Whether the model shows Con exactly: glyphs (0 shows as a space; raw
// bytes show the control values as look-alikes), colours, cursor.
// Board: the caller of a BBS gets the bytes from 0x80 as they are.
// Own: the terminal has 24-bit colour, so a cell's own colours are shown
// as they are; otherwise the attribute's sixteen.
::testing::AssertionResult Shows(const Vt& vt, const Console& con, bool utf8 = true, bool board = false,
                                 bool own = false) {
    if (!vt.faults.empty()) return ::testing::AssertionFailure() << "terminal fault: " << vt.faults.front();
    auto wanted = [own](uint32_t colour, int pc) {
        if (!own || colour == 0) return pc;
        return Vt::ColourId((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
    };
    for (int r = 0; r < con.rows; ++r) {
        for (int c = 0; c < 80; ++c) {
            const Cell& want = con.cells[r * 80 + c];
            const auto byte = static_cast<uint8_t>(want.Char);
            const int ch = utf8 ? (byte == 0 ? ' ' : byte)
                           : board && byte >= 0x80 ? byte
                                                   : static_cast<unsigned char>(termscreen::GlyphBytes(byte, false)[0]);
            const auto& got = vt.At(c, r);
            // The foreground of an empty glyph cannot be seen: it need not agree.
            const bool empty = byte == 0 || byte == ' ' || byte == 0xFF;
            const bool alike = got.ch == ch || (empty && (got.ch == ' ' || got.ch == 0xFF));
            const int fg = wanted(want.Fore, want.Attr & 0x0F);
            const int bg = wanted(want.Back, (want.Attr >> 4) & 0x0F);
            if (!alike || (!empty && got.fg != fg) || got.bg != bg)
                return ::testing::AssertionFailure()
                       << "cell " << c << "," << r << " shows " << got.ch << " in " << got.fg << "/" << got.bg
                       << ", console has " << ch << " attr " << (want.Attr & 0xFF);
        }
    }
    if (vt.CursorShown() != con.visible) return ::testing::AssertionFailure() << "cursor visibility";
    if (con.visible && (vt.X() != con.cursor.X || vt.Y() != con.cursor.Y))
        return ::testing::AssertionFailure()
               << "cursor at " << vt.X() << "," << vt.Y() << " not " << con.cursor.X << "," << con.cursor.Y;
    return ::testing::AssertionSuccess();
}

// What an update's bytes do, counted.
struct Counts {
    int moves = 0;  // cursor positioning: CSI H/A/B/C/D/G, CR, LF
    int sgr = 0;
    int glyphs = 0;
    int other = 0;
};

Counts Count(const std::string& s, bool utf8 = true) {
    Counts n;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '\x1b' && i + 1 < s.size() && s[i + 1] == '[') {
            std::size_t j = i + 2;
            while (j < s.size() && !(s[j] >= 0x40 && s[j] <= 0x7E)) ++j;
            const char f = j < s.size() ? s[j] : '?';
            if (std::strchr("HABCDG", f))
                ++n.moves;
            else if (f == 'm')
                ++n.sgr;
            else
                ++n.other;
            i = j + 1;
        } else if (c == '\x1b') {
            ++n.other;  // ESC ( B: the character set
            i += 3;
        } else if (c == '\r' || c == '\n') {
            ++n.moves;
            ++i;
        } else {
            ++n.glyphs;
            if (utf8) {
                if (!NextUtf8(s, i)) ++i;
            } else {
                ++i;
            }
        }
    }
    return n;
}

void Randomize(Console& con, std::mt19937& rng) {
    for (auto& c : con.cells) c = Cell{uint16_t(rng() % 256), uint16_t(rng() % 256)};
}

std::string Update(Renderer& r, const Console& con, Vt& vt) {
    const std::string out = r.Update(con.frame());
    vt.Feed(out);
    return out;
}

}  // namespace

// --- Glyphs ---------------------------------------------------------------------------

TEST(Cp437Glyphs, UpperHalfAgreesWithTheSystemsCodePage437) {
    iconv_t cd = iconv_open("UTF-32LE", "IBM437");
    if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no IBM437 converter on this system";
    for (int b = 0x20; b < 0x100; ++b) {
        if (b == 0x7F) continue;  // the system calls it DEL; the PC draws a house
        char in = static_cast<char>(b);
        char32_t out = 0;
        char* inp = &in;
        char* outp = reinterpret_cast<char*>(&out);
        size_t inLeft = 1, outLeft = sizeof out;
        ASSERT_NE(iconv(cd, &inp, &inLeft, &outp, &outLeft), static_cast<size_t>(-1)) << b;
        EXPECT_EQ(cp437::ToUnicode(static_cast<uint8_t>(b)), out) << "byte " << b;
    }
    iconv_close(cd);
}

TEST(Cp437Glyphs, ControlValuesAreThePcSymbols) {
    EXPECT_EQ(cp437::ToUnicode(0x00), U' ');
    EXPECT_EQ(cp437::ToUnicode(0x01), U'\u263A');  // smiley
    EXPECT_EQ(cp437::ToUnicode(0x0D), U'\u266A');  // note
    EXPECT_EQ(cp437::ToUnicode(0x1B), U'\u2190');  // left arrow
    EXPECT_EQ(cp437::ToUnicode(0x1F), U'\u25BC');  // down triangle
    EXPECT_EQ(cp437::ToUnicode(0x7F), U'\u2302');  // house
    // 1..255 are 255 different printable glyphs, each found again by its
    // code point.
    std::set<char32_t> seen;
    for (int b = 1; b < 256; ++b) {
        const char32_t cp = cp437::ToUnicode(static_cast<uint8_t>(b));
        EXPECT_GE(cp, 0x20u) << b;
        EXPECT_TRUE(cp < 0x7F || cp >= 0xA0) << "no control code point for " << b;
        seen.insert(cp);
        EXPECT_EQ(cp437::FromUnicode(cp), std::optional<uint8_t>(static_cast<uint8_t>(b))) << b;
    }
    EXPECT_EQ(seen.size(), 255u);
    EXPECT_FALSE(cp437::FromUnicode(U'\u20AC').has_value());
    EXPECT_FALSE(cp437::FromUnicode(0x1B).has_value());
}

TEST(Cp437Glyphs, Utf8Encoding) {
    EXPECT_EQ(cp437::GlyphUtf8(0xB0), "\xe2\x96\x91");
    std::string four;
    cp437::AppendUtf8(four, 0x1F600);
    EXPECT_EQ(four, "\xf0\x9f\x98\x80");
    for (int b = 0; b < 256; ++b) {
        const std::string s = cp437::GlyphUtf8(static_cast<uint8_t>(b));
        std::size_t i = 0;
        const auto cp = NextUtf8(s, i);
        ASSERT_TRUE(cp.has_value()) << b;
        EXPECT_EQ(i, s.size());
        EXPECT_EQ(*cp, cp437::ToUnicode(static_cast<uint8_t>(b)));
    }
}

TEST(Cp437Glyphs, RawBytesNeverIncludeControls) {
    for (int b = 0; b < 256; ++b) {
        const std::string s = termscreen::GlyphBytes(static_cast<uint8_t>(b), false);
        ASSERT_EQ(s.size(), 1u);
        const auto out = static_cast<unsigned char>(s[0]);
        EXPECT_TRUE(out >= 0x20 && out != 0x7F) << b;
        EXPECT_FALSE(out >= 0x80 && out < 0xA0) << b << ": a C1 control to an 8-bit terminal";
        if ((b >= 0x20 && b < 0x7F) || b >= 0xA0) {
            EXPECT_EQ(out, b);
        } else if (b >= 0x80) {
            EXPECT_TRUE(std::isalpha(out)) << b << ": an accented letter or a currency sign";
        }
    }
    // The letters without their accents: C cedilla, e acute, A ring, O and
    // U umlaut, the cent and pound signs, the florin.
    const std::pair<int, char> lookAlikes[] = {{0x80, 'C'}, {0x82, 'e'}, {0x8F, 'A'}, {0x99, 'O'},
                                               {0x9A, 'U'}, {0x9B, 'c'}, {0x9C, 'L'}, {0x9F, 'f'}};
    for (const auto& [b, want] : lookAlikes)
        EXPECT_EQ(termscreen::GlyphBytes(static_cast<uint8_t>(b), false), std::string(1, want));
}

// An 8-bit terminal that is no PC terminal gets plain ASCII for every
// glyph, and only terminals of the BBS world get the raw bytes.
TEST(Cp437Glyphs, PlainAsciiForTerminalsThatTakeNoCodePage437) {
    Console con;
    for (int i = 0; i < 80 * 25; ++i)
        con.cells[static_cast<std::size_t>(i)] = Cell{static_cast<uint16_t>(i % 256), 0x1E};
    Options ascii;
    ascii.utf8 = false;
    ascii.asciiOnly = true;
    Renderer r(ascii);
    const std::string out = r.Update(con.frame());
    for (const char c : out) ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "a byte above 127";
    for (int b = 0; b < 256; ++b) {
        const char shown = termscreen::AsciiLookAlike(static_cast<uint8_t>(b));
        EXPECT_TRUE(shown >= 0x20 && shown < 0x7F) << b;
        if (b >= 0x20 && b < 0x7F) {
            EXPECT_EQ(shown, b);
        }
    }
    // Letters keep their letter, whatever the accent (the code page's
    // accented letters as Unicode, against the ASCII letter they carry).
    for (const auto& [byte, letter] : std::initializer_list<std::pair<int, char>>{
             {0x81, 'u'}, {0x82, 'e'}, {0x84, 'a'}, {0x8E, 'A'}, {0x90, 'E'}, {0xA4, 'n'}, {0xA5, 'N'}})
        EXPECT_EQ(termscreen::AsciiLookAlike(static_cast<uint8_t>(byte)), letter) << byte;
    for (const char* term : {"ansi", "ansi-bbs", "pcansi", "pcansi-25", "syncterm", "ansi.sys"})
        EXPECT_TRUE(termscreen::TermTakesCp437(term)) << term;
    for (const char* term : {"xterm", "xterm-256color", "rxvt-unicode", "linux", "vt100", "screen", "ansiterm", ""})
        EXPECT_FALSE(termscreen::TermTakesCp437(term)) << term;
    EXPECT_FALSE(termscreen::TermTakesCp437(nullptr));
}

TEST(Cp437Glyphs, Utf8IsDecidedFromTheLocaleNames) {
    EXPECT_TRUE(cp437::NamesUtf8("en_US.UTF-8"));
    EXPECT_TRUE(cp437::NamesUtf8("C.utf8"));
    EXPECT_TRUE(cp437::NamesUtf8("de_DE.Utf-8@euro"));
    EXPECT_FALSE(cp437::NamesUtf8("C"));
    EXPECT_FALSE(cp437::NamesUtf8("POSIX"));
    EXPECT_FALSE(cp437::NamesUtf8("en_US.ISO-8859-1"));
    EXPECT_FALSE(cp437::NamesUtf8("ANSI_X3.4-1968"));
    // LC_ALL, then LC_CTYPE, then LANG: the first one set decides.
    EXPECT_TRUE(cp437::EnvironmentSaysUtf8(nullptr, nullptr, "en_US.UTF-8"));
    EXPECT_TRUE(cp437::EnvironmentSaysUtf8("", "", "en_US.UTF-8")) << "empty counts as not set";
    EXPECT_FALSE(cp437::EnvironmentSaysUtf8("C", nullptr, "en_US.UTF-8"));
    EXPECT_FALSE(cp437::EnvironmentSaysUtf8(nullptr, "POSIX", "en_US.UTF-8"));
    EXPECT_TRUE(cp437::EnvironmentSaysUtf8(nullptr, "xx_YY.utf8", "C"));
    EXPECT_TRUE(cp437::EnvironmentSaysUtf8("fr_FR.UTF-8", "C", "C"));
    EXPECT_FALSE(cp437::EnvironmentSaysUtf8(nullptr, nullptr, nullptr));
}

// --- Colours ------------------------------------------------------------------------------

TEST(TermColours, TrueColourIsTheExactVgaPalette) {
    EXPECT_EQ(termscreen::SgrParams(0x06, true), "38;2;170;85;0;48;2;0;0;0") << "brown, not yellow";
    EXPECT_EQ(termscreen::SgrParams(0x1F, true), "38;2;255;255;255;48;2;0;0;170");
    EXPECT_EQ(termscreen::SgrParams(0x8E, true), "38;2;255;255;85;48;2;85;85;85") << "bit 7: bright background";
    EXPECT_EQ(termscreen::SgrParams(0xF0, true), "38;2;0;0;0;48;2;255;255;255");
}

// Without true colour, a terminal with the 256-colour palette gets the
// entries of its cube and grey ramp nearest to the VGA colours (its first
// 16 entries are the terminal's own).
TEST(TermColours, The256ColourEntriesAreTheNearestToTheVgaColours) {
    EXPECT_EQ(termscreen::Palette256Index(6), 130) << "brown is #AF5F00";
    EXPECT_EQ(termscreen::Palette256Index(4), 124) << "red is #AF0000";
    EXPECT_EQ(termscreen::Palette256Index(9), 63) << "light blue is #5F5FFF";
    EXPECT_EQ(termscreen::Palette256Index(8), 240) << "dark grey is #585858";
    EXPECT_EQ(termscreen::Palette256Index(7), 248) << "light grey is #A8A8A8";
    EXPECT_EQ(termscreen::Palette256Index(0), 16);
    EXPECT_EQ(termscreen::Palette256Index(15), 231);
    EXPECT_EQ(termscreen::SgrParams(0x46, false, true), "38;5;130;48;5;124");
    EXPECT_TRUE(termscreen::TermHas256Colours("xterm"));
    EXPECT_TRUE(termscreen::TermHas256Colours("putty"));
    EXPECT_TRUE(termscreen::TermHas256Colours("rxvt-unicode-256color"));
    EXPECT_TRUE(termscreen::TermHas256Colours("screen-256color"));
    EXPECT_FALSE(termscreen::TermHas256Colours("screen"));
    EXPECT_FALSE(termscreen::TermHas256Colours("linux"));
    EXPECT_FALSE(termscreen::TermHas256Colours("vt100"));
    EXPECT_FALSE(termscreen::TermHas256Colours(nullptr));
}

TEST(TermColours, AnOwnColourTakesTheNearestOfThe256) {
    // Every entry from 16 on as the terminals have it: the cube's steps
    // 0, 95, 135, 175, 215, 255 and the greys 8, 18, ..., 238.
    auto entry = [](int i) -> std::array<int, 3> {
        if (i >= 232) return {8 + 10 * (i - 232), 8 + 10 * (i - 232), 8 + 10 * (i - 232)};
        static const int steps[] = {0, 95, 135, 175, 215, 255};
        return {steps[(i - 16) / 36], steps[(i - 16) / 6 % 6], steps[(i - 16) % 6]};
    };
    std::mt19937 rng(256);
    for (int k = 0; k < 2000; ++k) {
        const palette::Rgb c{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
        int best = 16;
        auto dist = [&](int i) {
            const auto e = entry(i);
            return (e[0] - c.r) * (e[0] - c.r) + (e[1] - c.g) * (e[1] - c.g) + (e[2] - c.b) * (e[2] - c.b);
        };
        for (int i = 17; i < 256; ++i)
            if (dist(i) < dist(best)) best = i;
        ASSERT_EQ(dist(palette::Nearest256(c)), dist(best)) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    }
    // On a 256-colour terminal a cell's own colour goes out as that entry.
    Console con;
    for (auto& cell : con.cells) cell = Cell{' ', 0x07};
    con.at(0, 0) = Cell{'x', 0x0C, conapi::OwnColour(250, 2, 3), conapi::OwnColour(10, 10, 10)};
    Renderer r(Options{true, false, false, true});
    r.SetTerminalSize(80, 25);
    const std::string out = r.Update(con.frame());
    EXPECT_NE(out.find("\x1b[38;5;196;48;5;232m"), std::string::npos);
    // Without more than sixteen colours, the attribute's.
    Renderer sixteen(Options{true, false});
    sixteen.SetTerminalSize(80, 25);
    EXPECT_EQ(sixteen.Update(con.frame()).find(";5;"), std::string::npos);
}

TEST(TermColours, SixteenColoursUseBrightCodesNotBold) {
    EXPECT_EQ(termscreen::SgrParams(0x07, false), "37;40");
    EXPECT_EQ(termscreen::SgrParams(0x06, false), "33;40");
    EXPECT_EQ(termscreen::SgrParams(0x0E, false), "93;40");
    EXPECT_EQ(termscreen::SgrParams(0x1F, false), "97;44");
    EXPECT_EQ(termscreen::SgrParams(0x4C, false), "91;41");
    EXPECT_EQ(termscreen::SgrParams(0xC7, false), "37;101") << "bit 7: bright background, no blink";
    EXPECT_EQ(termscreen::SgrParams(0x08, false), "90;40");
    EXPECT_EQ(termscreen::SgrParams(0x93, false), "36;104");
}

// --- Updates ---------------------------------------------------------------------------------

TEST(TermScreen, FullRedrawShowsEveryCellInEveryMode) {
    for (const Options opt : {Options{true, true}, Options{true, false}, Options{false, false}}) {
        std::mt19937 rng(25);
        Console con;
        Randomize(con, rng);
        con.cursor = {17, 9};
        Renderer r(opt);
        Vt vt(80, 25, opt.utf8);
        const std::string out = Update(r, con, vt);
        EXPECT_TRUE(Shows(vt, con, opt.utf8)) << "utf8 " << opt.utf8 << " true colour " << opt.trueColor;
        EXPECT_FALSE(vt.Autowrap()) << "drawing runs without autowrap";
        EXPECT_LT(out.find("\x1b[?7l"), out.find("\x1b[2J"));
    }
}

TEST(TermScreen, UnchangedScreenWritesNothing) {
    Console con;
    Renderer r(Options{});
    Vt vt(80, 25, true);
    Update(r, con, vt);
    EXPECT_EQ(r.Update(con.frame()), "");
    con.visible = false;
    Update(r, con, vt);
    EXPECT_EQ(r.Update(con.frame()), "");
}

TEST(TermScreen, OneChangedCellIsOneMoveOneColourOneGlyph) {
    Console con;
    for (auto& c : con.cells) c = Cell{' ', 0x07};
    con.visible = false;
    Renderer r(Options{true, true});
    Vt vt(80, 25, true);
    Update(r, con, vt);

    con.at(40, 10) = Cell{0xDB, 0x1E};
    std::string out = Update(r, con, vt);
    Counts n = Count(out);
    EXPECT_EQ(n.moves, 1);
    EXPECT_EQ(n.sgr, 1);
    EXPECT_EQ(n.glyphs, 1);
    EXPECT_EQ(n.other, 0);
    EXPECT_TRUE(Shows(vt, con));

    con.at(3, 20) = Cell{'x', 0x1E};  // same colours as the last cell drawn
    out = Update(r, con, vt);
    n = Count(out);
    EXPECT_EQ(n.moves, 1);
    EXPECT_EQ(n.sgr, 0);
    EXPECT_EQ(n.glyphs, 1);
    EXPECT_TRUE(Shows(vt, con));

    // With the cursor shown elsewhere it goes back there after the glyph.
    con.visible = true;
    con.cursor = {0, 0};
    Update(r, con, vt);
    con.at(70, 3) = Cell{'y', 0x07};
    out = Update(r, con, vt);
    n = Count(out);
    EXPECT_EQ(n.moves, 2);
    EXPECT_EQ(n.sgr, 1);
    EXPECT_EQ(n.glyphs, 1);
    EXPECT_TRUE(Shows(vt, con));
}

TEST(TermScreen, ARunOfChangesNeedsOneMoveAndShortGapsAreRewritten) {
    Console con;
    for (auto& c : con.cells) c = Cell{'.', 0x07};
    con.visible = false;
    Renderer r(Options{});
    Vt vt(80, 25, true);
    Update(r, con, vt);

    for (int c = 10; c < 30; ++c) con.at(c, 5) = Cell{'a', 0x07};
    Counts n = Count(Update(r, con, vt));
    EXPECT_EQ(n.moves, 1);
    EXPECT_EQ(n.glyphs, 20);
    EXPECT_EQ(n.sgr, 0);

    // Cells 50 and 52 change; 51 is unchanged in the same colours: writing
    // it again is shorter than a move over it.
    con.at(50, 6) = Cell{'b', 0x07};
    con.at(52, 6) = Cell{'c', 0x07};
    const std::string out = Update(r, con, vt);
    n = Count(out);
    EXPECT_EQ(n.moves, 1);
    EXPECT_EQ(n.glyphs, 3);
    EXPECT_TRUE(Shows(vt, con));
}

TEST(TermScreen, FullRedrawOfOneColourCostsLittleMoreThanItsGlyphs) {
    Console con;
    for (auto& c : con.cells) c = Cell{'#', 0x1F};
    Renderer r(Options{});
    Vt vt(80, 25, true);
    const std::string out = Update(r, con, vt);
    const Counts n = Count(out);
    EXPECT_EQ(n.glyphs, 2000);
    EXPECT_EQ(n.sgr, 3) << "one reset, black for the clear, one colour";
    EXPECT_LE(out.size(), 2000u + 25 * 2 + 60) << "rows joined by CR LF";
    EXPECT_TRUE(Shows(vt, con));
}

// A terminal larger than the screen: the margins around it are cleared in
// black, not in the terminal's own background (white on some).
TEST(TermScreen, TheMarginsOfALargerTerminalAreBlack) {
    Console con;
    for (auto& c : con.cells) c = Cell{'#', 0x1F};
    Renderer r(Options{});
    r.SetTerminalSize(100, 30);
    Vt vt(100, 30, true);
    Update(r, con, vt);
    EXPECT_EQ(vt.At(90, 5).bg, 0);
    EXPECT_EQ(vt.At(10, 28).bg, 0);
    EXPECT_EQ(vt.At(99, 29).bg, 0);
    EXPECT_EQ(vt.At(5, 5).bg, 1) << "the screen itself";
    EXPECT_TRUE(vt.BracketedPaste()) << "a paste comes marked";
}

// A client may report any size (65535x65535 over SSH): the margins cost a
// few bytes a row, not a space for every cell of them.
TEST(TermScreen, AHugeTerminalCostsAFewBytesARow) {
    Console con;
    for (auto& c : con.cells) c = Cell{'#', 0x1F};
    Renderer r(Options{});
    r.SetTerminalSize(4000, 1000);
    const std::string out = r.Update(con.frame());
    EXPECT_LT(out.size(), 80u * 25 * 2 + 1000u * 12) << "the screen's glyphs and colours, and per row an erase";
    EXPECT_EQ(out.find(std::string(81, ' ')), std::string::npos) << "margins painted with spaces";
    Vt vt(200, 40, true);  // what a terminal of that size shows in its corner
    vt.Feed(out);
    EXPECT_GE(vt.lineErases, 40);
    EXPECT_EQ(vt.At(150, 10).bg, 0);
    EXPECT_EQ(vt.At(10, 35).bg, 0);
    EXPECT_EQ(vt.At(5, 5).bg, 1);
}

// Where the terminal said its own cursor shape, the cursor is an underline
// while the program runs and that shape afterwards; elsewhere the shape is
// left alone.
TEST(TermScreen, TheCursorIsAnUnderlineWhereTheTerminalTakesIt) {
    Console con;
    Options shaped;
    shaped.cursorShape = true;
    Renderer r(shaped);
    EXPECT_NE(r.Update(con.frame()).find("\x1b[3 q"), std::string::npos);
    Renderer plain(Options{});
    EXPECT_EQ(plain.Update(con.frame()).find(" q"), std::string::npos);
    char buf[termscreen::kLeaveMax];
    for (const int own : {0, 2, 4, 6}) {
        const std::string leave(buf, termscreen::FormatLeave(buf, 3, 25, own));
        EXPECT_NE(leave.find("\x1b[" + std::to_string(own) + " q"), std::string::npos) << own;
        EXPECT_EQ(leave.find(" q"), leave.rfind(" q")) << "one shape only";
    }
    EXPECT_EQ(std::string(buf, termscreen::FormatLeave(buf, 3, 25, -1)).find(" q"), std::string::npos);
    EXPECT_TRUE(termscreen::TermShapesCursor("xterm-256color"));
    EXPECT_TRUE(termscreen::TermShapesCursor("rxvt-unicode-256color"));
    EXPECT_FALSE(termscreen::TermShapesCursor("linux")) << "would show the q";
    EXPECT_FALSE(termscreen::TermShapesCursor(nullptr));
}

TEST(TermScreen, LastCellOfTheScreenNeverScrolls) {
    Console con;
    for (auto& c : con.cells) c = Cell{' ', 0x07};
    Renderer r(Options{});
    Vt vt(80, 25, true);
    Update(r, con, vt);
    con.at(79, 24) = Cell{'Z', 0x4F};
    con.at(79, 23) = Cell{'Y', 0x4F};
    Update(r, con, vt);
    EXPECT_TRUE(Shows(vt, con));  // the model reports any wrap or scroll
}

TEST(TermScreen, RandomEditsKeepTheTerminalInStep) {
    for (const Options opt : {Options{true, true}, Options{true, false}, Options{false, false},
                              Options{true, true, true}, Options{true, false, true}}) {
        for (const int termCols : {80, 100}) {
            std::mt19937 rng(80 + termCols);
            Console con;
            Randomize(con, rng);
            Renderer r(opt);
            r.SetTerminalSize(termCols, 30);
            Vt vt(termCols, 30, opt.utf8);
            Update(r, con, vt);
            for (int round = 0; round < 300; ++round) {
                const int kind = static_cast<int>(rng() % 5);
                if (kind == 0) {  // a few scattered cells, some of a piece with colours of its own
                    for (int k = 0; k < 5; ++k) {
                        Cell cell{uint16_t(rng() % 256), uint16_t(rng() % 256)};
                        if (rng() % 3 == 0) cell.Fore = conapi::OwnColourFlag | (rng() & 0xFFFFFF);
                        if (rng() % 3 == 0) cell.Back = conapi::OwnColourFlag | (rng() & 0xFFFFFF);
                        con.at(rng() % 80, rng() % 25) = cell;
                    }
                } else if (kind == 1) {  // a row of text in one colour
                    const int row = rng() % 25, from = rng() % 80, len = rng() % (80 - from);
                    const uint16_t attr = rng() % 256;
                    for (int c = from; c < from + len; ++c) con.at(c, row) = Cell{uint16_t('a' + rng() % 26), attr};
                } else if (kind == 2) {  // the screen scrolled up a line
                    for (int row = 0; row < 24; ++row)
                        for (int c = 0; c < 80; ++c) con.at(c, row) = con.at(c, row + 1);
                    for (int c = 0; c < 80; ++c) con.at(c, 24) = Cell{' ', 0x07};
                } else if (kind == 3) {  // a band of rows moved up or down, new rows of text come in
                    const int top = rng() % 20, bottom = top + 2 + rng() % (24 - top - 1);
                    const int n = 1 + rng() % 3;
                    const bool up = rng() % 2 == 0;
                    auto copy = [&](int to, int from) {
                        for (int c = 0; c < 80; ++c) con.at(c, to) = con.at(c, from);
                    };
                    if (up) {
                        for (int row = top; row + n <= bottom; ++row) copy(row, row + n);
                    } else {
                        for (int row = bottom; row - n >= top; --row) copy(row, row - n);
                    }
                    const int fresh = up ? std::max(top, bottom - n + 1) : top;
                    for (int row = fresh; row < fresh + n && row <= bottom; ++row)
                        for (int c = 0; c < 80; ++c)
                            con.at(c, row) = Cell{uint16_t(rng() % 256), uint16_t(rng() % 256)};
                } else {  // the cursor moved, shown or hidden
                    con.cursor = {int16_t(rng() % 80), int16_t(rng() % 25)};
                    con.visible = rng() % 3 != 0;
                }
                Update(r, con, vt);
                ASSERT_TRUE(Shows(vt, con, opt.utf8, false, opt.trueColor))
                    << "round " << round << " kind " << kind << " cols " << termCols << " scroll " << opt.scroll;
            }
        }
    }
}

// A text window on rows 5..22 between a fixed header and footer, as the
// viewer shows it: Line(i) is text line I.
std::string Line(int i) {
    static const char* const words[] = {"screen", "text", "colour", "row", "tune", "art", "issue", "key"};
    std::mt19937 rng(static_cast<unsigned>(i));
    std::string s = std::to_string(i);
    while (s.size() < 70) s += std::string(" ") + words[rng() % 8];
    return s.substr(0, 70);
}

void ShowText(Console& con, int first) {
    for (int c = 0; c < 80; ++c) {
        con.at(c, 0) = Cell{0xDB, 0x1E};
        con.at(c, 24) = Cell{0xDC, 0x4F};
    }
    for (int row = 4; row <= 21; ++row) {
        const std::string text = Line(first + row - 4);
        for (int c = 0; c < 80; ++c)
            con.at(c, row) = Cell{uint16_t(c < 70 ? static_cast<unsigned char>(text[c]) : ' '), 0x07};
    }
}

// A console of blanks with the window at its first line.
Console TextWindow() {
    Console con;
    for (auto& c : con.cells) c = Cell{' ', 0x07};
    ShowText(con, 0);
    return con;
}

TEST(TermScreen, AOneLineScrollOfATextWindowLetsTheTerminalScroll) {
    for (const bool trueColor : {false, true}) {
        Console con = TextWindow();
        Renderer r(Options{true, trueColor, true});
        Vt vt(80, 25, true);
        Update(r, con, vt);
        struct Step {
            int first;
            char command;  // the line command the terminal gets
        };
        int shown = 0;
        for (const Step step : {Step{1, 'M'}, Step{2, 'M'}, Step{1, 'L'}, Step{4, 'M'}, Step{0, 'L'}}) {
            const std::size_t newLines = static_cast<std::size_t>(std::abs(step.first - shown));
            shown = step.first;
            ShowText(con, step.first);
            const std::string out = Update(r, con, vt);
            ASSERT_TRUE(Shows(vt, con)) << "at line " << step.first;
            EXPECT_NE(out.find(step.command), std::string::npos) << "at line " << step.first;
            EXPECT_EQ(Count(out).other, 3) << "margins, the line command, margins off";
            // The terminal moves the rows: only the new rows are sent (80
            // cells each), with a few bytes for the scroll, the moves and
            // one change of both colours.
            EXPECT_LT(out.size(), newLines * 80 + 60) << "at line " << step.first << " " << testing::PrintToString(out);
        }
    }
}

TEST(TermScreen, WithoutScrollingTheWindowIsRewrittenTheSameWay) {
    Console con = TextWindow();
    Renderer r(Options{true, false, false});
    Vt vt(80, 25, true);
    Update(r, con, vt);
    ShowText(con, 1);
    const std::string out = Update(r, con, vt);
    EXPECT_TRUE(Shows(vt, con));
    EXPECT_EQ(Count(out).other, 0) << "no margins, no line commands";
    EXPECT_GT(out.size(), 17u * 40) << "most of every row again";
}

// The rows a band scroll brings in span the whole terminal, margins too, and
// terminals fill them in the colours in force or in their own background:
// their margins are painted black again, in either direction.
TEST(TermScreen, TheMarginsStayBlackWhenABandScrolls) {
    for (const uint16_t textAttr : {uint16_t{0x07}, uint16_t{0x71}, uint16_t{0x4E}}) {
        Console con = TextWindow();
        for (int row = 4; row <= 21; ++row)
            for (int c = 0; c < 80; ++c) con.at(c, row).Attr = textAttr;
        Renderer r(Options{true, false, true});
        r.SetTerminalSize(100, 30);
        Vt vt(100, 30, true);
        Update(r, con, vt);
        for (const int first : {1, 3, 2, 0}) {
            ShowText(con, first);
            for (int row = 4; row <= 21; ++row)
                for (int c = 0; c < 80; ++c) con.at(c, row).Attr = textAttr;
            const std::string out = Update(r, con, vt);
            ASSERT_NE(out.find(first == 1 || first == 3 ? 'M' : 'L'), std::string::npos) << "the terminal scrolls";
            ASSERT_TRUE(Shows(vt, con)) << "at line " << first;
            for (int row = 0; row < 30; ++row)
                for (int c = row < 25 ? 80 : 0; c < 100; ++c)
                    ASSERT_TRUE(vt.At(c, row).ch == ' ' && vt.At(c, row).bg == 0)
                        << "margin cell " << c << "," << row << " at line " << first;
        }
    }
}

TEST(TermScreen, ScrollingIsForTerminalsKnownToHaveIt) {
    for (const char* term : {"xterm", "xterm-256color", "screen", "screen.xterm-256color", "tmux-256color", "linux",
                             "rxvt-unicode", "vt220", "st-256color"})
        EXPECT_TRUE(termscreen::TermScrollsRegions(term)) << term;
    // vt100 has margins but no line insert or delete; "ansi" no margins.
    for (const char* term : {"dumb", "", "vt100", "ansi", "unknown"})
        EXPECT_FALSE(termscreen::TermScrollsRegions(term)) << term;
    EXPECT_FALSE(termscreen::TermScrollsRegions(nullptr));
}

TEST(TermScreen, ResizeAndInvalidateRedrawEverything) {
    Console con;
    Renderer r(Options{});
    Vt vt(80, 25, true);
    Update(r, con, vt);
    r.SetTerminalSize(80, 25);
    EXPECT_EQ(r.Update(con.frame()), "") << "the same size changes nothing";
    r.SetTerminalSize(90, 30);
    std::string out = r.Update(con.frame());
    EXPECT_NE(out.find("\x1b[2J"), std::string::npos);
    // Every cell, and each of the 30 rows' margins erased once.
    const auto erases = [](const std::string& bytes) {
        std::size_t n = 0;
        for (std::size_t at = bytes.find("\x1b[K"); at != std::string::npos; at = bytes.find("\x1b[K", at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(Count(out).glyphs, 2000);
    EXPECT_EQ(erases(out), 30u);
    r.Invalidate();
    out = r.Update(con.frame());
    EXPECT_EQ(Count(out).glyphs, 2000);
    EXPECT_EQ(erases(out), 30u);
    // A terminal with fewer rows than the console gets only its rows.
    r.SetTerminalSize(80, 25);
    con.rows = 50;
    out = r.Update(con.frame());
    EXPECT_EQ(Count(out).glyphs, 2000);
}

TEST(TermScreen, NextFreeRowIsBelowTheLastVisibleContent) {
    Console con;
    for (auto& c : con.cells) c = Cell{' ', 0x07};
    Renderer r(Options{});
    r.Update(con.frame());
    EXPECT_EQ(r.NextFreeRow(), 0);
    con.at(5, 9) = Cell{'x', 0x07};
    r.Update(con.frame());
    EXPECT_EQ(r.NextFreeRow(), 10);
    con.at(0, 20) = Cell{' ', 0x17};  // a blue blank still shows
    r.Update(con.frame());
    EXPECT_EQ(r.NextFreeRow(), 21);
    con.at(79, 24) = Cell{0xDB, 0x08};
    r.Update(con.frame());
    EXPECT_EQ(r.NextFreeRow(), 25);
}

// --- Leaving, and a terminal too small -------------------------------------------------------

TEST(TermLeave, GivesModesBackAndPlacesTheCursorBelowTheContent) {
    char buf[termscreen::kLeaveMax];
    std::string s(buf, termscreen::FormatLeave(buf, 11, 25));
    // What the program left blank below its last content is erased in the
    // terminal's own colours (SGR 0 first), not left in the PC's black.
    EXPECT_EQ(s, "\x1b[0m\x1b[?25h\x1b[?7h\x1b[?2004l\x1b[r\x1b>\x1b[12H\x1b[J");
    s.assign(buf, termscreen::FormatLeave(buf, 25, 25));
    EXPECT_EQ(s, "\x1b[0m\x1b[?25h\x1b[?7h\x1b[?2004l\x1b[r\x1b>\x1b[25H\r\n")
        << "below the last row: one line scrolls, nothing to erase";
    s.assign(buf, termscreen::FormatLeave(buf, 0, 25));
    EXPECT_EQ(s, "\x1b[0m\x1b[?25h\x1b[?7h\x1b[?2004l\x1b[r\x1b>\x1b[1H\x1b[J") << "an empty screen: all of it";
    Vt vt(80, 25, true);
    vt.Feed("\x1b[44m\x1b[2J\x1b[?2004h" + std::string(buf, termscreen::FormatLeave(buf, 3, 25)));
    EXPECT_FALSE(vt.BracketedPaste());
    EXPECT_EQ(vt.At(0, 2).bg, 1) << "above the row: kept (PC blue)";
    EXPECT_EQ(vt.At(0, 3).bg, -1) << "from the row on: the terminal's own";
    EXPECT_EQ(vt.At(79, 24).bg, -1);
    EXPECT_LE(termscreen::FormatLeave(buf, 2000000000, 2000000000, 6), termscreen::kLeaveMax);
}

// --- A board's caller ------------------------------------------------------------------

TEST(TermBoard, TheCallerSeesEveryCellInPcBytesAndBbsColoursThroughRandomEdits) {
    Options opt;
    opt.utf8 = false;
    opt.board = true;
    std::mt19937 rng(437);
    Console con;
    Randomize(con, rng);
    Renderer r(opt);
    Vt vt(80, 25, false, true);
    const std::string first = Update(r, con, vt);
    ASSERT_TRUE(Shows(vt, con, false, true));
    EXPECT_FALSE(vt.Autowrap()) << "the last cell must not scroll a BBS terminal either";
    for (int round = 0; round < 300; ++round) {
        for (int k = 0; k < 1 + static_cast<int>(rng() % 40); ++k)
            con.at(rng() % 80, rng() % 25) = Cell{uint16_t(rng() % 256), uint16_t(rng() % 256)};
        if (round % 7 == 0) con.cursor = {int16_t(rng() % 80), int16_t(rng() % 25)};
        con.visible = round % 5 != 0;
        Update(r, con, vt);
        ASSERT_TRUE(Shows(vt, con, false, true)) << "round " << round;
    }
}

TEST(TermBoard, CodePage437BytesGoOutAsTheyAreAndNoQuestionOrModeIsSent) {
    Options opt;
    opt.utf8 = false;
    opt.board = true;
    Console con;
    for (int i = 0; i < 80 * 25; ++i) con.cells[i] = Cell{uint16_t(0x80 + i % 128), 0x1F};
    Renderer r(opt);
    const std::string out = r.Update(con.frame());
    // Every byte from 0x80 up is a glyph of its own to a PC terminal: the
    // C1 range too, which other 8-bit terminals would obey as controls.
    for (int b = 0x80; b <= 0xFF; ++b) EXPECT_NE(out.find(static_cast<char>(b)), std::string::npos) << b;
    for (const char* never : {"\x1b(", "\x1b[?2004", "\x1b[1;25r", "\x1b>", "\x1b=", " q", "\x1b[6n", "\x1b[8;"})
        EXPECT_EQ(out.find(never), std::string::npos) << never;
    Options ascii = opt;
    ascii.asciiOnly = true;
    Renderer plain(ascii);
    for (const char c : plain.Update(con.frame()))
        EXPECT_LT(static_cast<unsigned char>(c), 0x80) << "emulation 0: plain ASCII only";
}

TEST(TermBoard, RowsFurtherDownAreReachedWithCrLfAndTheLeaveIsPlain) {
    Options opt;
    opt.utf8 = false;
    opt.board = true;
    Console con;
    for (auto& c : con.cells) c = Cell{' ', 0x07};
    Renderer r(opt);
    Vt vt(80, 25, false, true);
    Update(r, con, vt);
    con.at(0, 3) = Cell{'a', 0x07};
    con.at(0, 4) = Cell{'b', 0x07};
    con.at(0, 6) = Cell{'c', 0x07};
    con.cursor = {0, 6};
    const std::string out = Update(r, con, vt);
    EXPECT_NE(out.find("a\r\nb"), std::string::npos) << "the next row with CR LF: " << out;
    EXPECT_TRUE(Shows(vt, con, false, true));
    char buf[termscreen::kLeaveMax];
    EXPECT_EQ(std::string(buf, termscreen::FormatLeave(buf, 25, 25, -1, true)), "\x1b[0m\x1b[?25h\x1b[?7h\x1b[25H\r\n");
    const std::string leave(buf, termscreen::FormatLeave(buf, 3, 25, -1, true));
    EXPECT_EQ(leave, "\x1b[0m\x1b[?25h\x1b[?7h\x1b[4H\x1b[J");
    Vt after(80, 25, false, true);
    after.Feed(leave);
    EXPECT_TRUE(after.faults.empty()) << after.faults.front();
}
