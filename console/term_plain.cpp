#include "console/term_plain.h"

#include <algorithm>

#include "console/term_screen.h"

namespace termplain {

std::string Bytes(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    int column = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto ch = static_cast<uint8_t>(text[i]);
        if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
            column = 0;
        } else if (ch == '\t') {
            do {
                out += ' ';
            } while (++column % 8 != 0);
        } else {
            out += termscreen::AsciiLookAlike(ch);
            ++column;
        }
    }
    return out;
}

std::string RowText(const conapi::Cell* row, int cols) {
    std::string text;
    for (int x = 0; x < cols; ++x) text += termscreen::AsciiLookAlike(static_cast<uint8_t>(row[x].Char & 0xFF));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::string Teller::Changed(const conapi::Cell* cells, int rows, int first, int last) {
    told_.resize(static_cast<std::size_t>(rows));
    std::string out;
    bool gap = false;  // a blank row since the last row said
    for (int y = 0; y < rows; ++y) {
        std::string text = RowText(cells + static_cast<std::ptrdiff_t>(y) * conapi::MaxCols, conapi::MaxCols);
        std::string& told = told_[static_cast<std::size_t>(y)];
        if (text.empty()) {
            gap = gap || !out.empty();
        } else if (y >= first && y <= last && text != told) {
            if (gap) out += "\r\n";
            gap = false;
            out += text + "\r\n";
        }
        told = std::move(text);
    }
    return out;
}

void Teller::Forget() { std::fill(told_.begin(), told_.end(), std::string(1, '\x01')); }

}  // namespace termplain
