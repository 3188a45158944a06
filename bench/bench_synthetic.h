// Made-up ANSI files for the renderer benchmarks, the same for both: full
// screens of coloured block art with pipe codes and cursor moves, and plain
// text that scrolls.
#pragma once

#include <cstdint>
#include <string>

namespace benchdata {

// A small fixed random sequence, so every run draws the same bytes.
class Lcg {
public:
    uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

private:
    uint32_t state_ = 12345;
};

// About Size bytes of screens that never scroll: each frame homes the
// cursor and draws 24 rows of 79 cells (blocks, shades, letters) with a
// colour change every few cells, by SGR or by pipe code, and now and then a
// cursor jump to the right.
inline std::string ScreenArt(std::size_t size) {
    Lcg rng;
    std::string out;
    static const char glyphs[] = "\xdb\xdb\xdf\xdc\xb0\xb1\xb2\xdd\xde\xc4\xcd\xfe abcdefghij";
    while (out.size() < size) {
        out += "\x1b[H";
        for (int row = 0; row < 24; ++row) {
            int col = 0;
            while (col < 79) {
                const uint32_t pick = rng.Below(10);
                if (pick < 4) {
                    out += "\x1b[" + std::string(rng.Below(2) ? "1;" : "0;") + std::to_string(30 + rng.Below(8)) + ";" +
                           std::to_string(40 + rng.Below(8)) + "m";
                } else if (pick < 6) {
                    const uint32_t code = rng.Below(24);
                    out += "|" + std::string(code < 10 ? "0" : "") + std::to_string(code);
                } else if (pick == 6 && col < 70) {
                    const int skip = 1 + static_cast<int>(rng.Below(5));
                    out += "\x1b[" + std::to_string(skip) + "C";
                    col += skip;
                    continue;
                }
                const int run = 1 + static_cast<int>(rng.Below(8));
                for (int i = 0; i < run && col < 79; ++i, ++col) out += glyphs[rng.Below(sizeof glyphs - 1)];
            }
            out += "\r\n";
        }
    }
    return out;
}

// About Size bytes of plain lines of text with a few colour codes: every
// line past the 25th scrolls the screen.
inline std::string ScrollingText(std::size_t size) {
    Lcg rng;
    std::string out;
    while (out.size() < size) {
        std::string line = "|0" + std::to_string(1 + rng.Below(9));
        const int words = 6 + static_cast<int>(rng.Below(6));
        for (int w = 0; w < words; ++w)
            line += std::string(1 + rng.Below(7), static_cast<char>('a' + rng.Below(26))) + " ";
        out += line + "\r\n";
    }
    return out;
}

}  // namespace benchdata
