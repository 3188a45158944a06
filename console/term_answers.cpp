#include "console/term_answers.h"

#include <algorithm>
#include <cstddef>

namespace termanswers {

namespace {

constexpr std::size_t kLongest = 32;  // no answer of these is longer
constexpr int kLargest = 1'000'000;   // no row or column is this far

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The first ESC [ row ; col R in Bytes, taken out: its column.
std::optional<int> TakePosition(std::string& bytes) {
    for (std::size_t at = bytes.find("\x1b["); at != std::string::npos; at = bytes.find("\x1b[", at + 1)) {
        std::size_t i = at + 2;
        int numbers[2] = {0, 0};
        int which = 0;
        bool digits = false;
        for (; i < bytes.size() && i < at + kLongest; ++i) {
            const char c = bytes[i];
            if (IsDigit(c)) {
                // Held at a bound far past any terminal's size, never overflowing.
                numbers[which] = std::min(numbers[which] * 10 + (c - '0'), kLargest);
                digits = true;
            } else if (c == ';' && which == 0 && digits) {
                which = 1;
                digits = false;
            } else {
                break;
            }
        }
        if (which == 1 && digits && i < bytes.size() && bytes[i] == 'R') {
            bytes.erase(at, i + 1 - at);
            return numbers[1];
        }
    }
    return std::nullopt;
}

// DCS 0 or 1 $ r Pt ST: the reply to a status request. Pt names the shape
// as "N q" (terminals differ in whether 0 or 1 marks a valid request; the
// text tells).
// Answers whether a reply was found; Shape gets the shape it named.
bool TakeShape(std::string& bytes, std::optional<int>& shape) {
    for (std::size_t at = bytes.find("\x1bP"); at != std::string::npos; at = bytes.find("\x1bP", at + 1)) {
        std::size_t i = at + 2;
        if (i < bytes.size() && (bytes[i] == '0' || bytes[i] == '1')) ++i;
        if (bytes.compare(i, 2, "$r") != 0) continue;
        i += 2;
        const std::size_t end = bytes.find("\x1b\\", i);
        if (end == std::string::npos || end > at + kLongest) continue;
        const std::string text = bytes.substr(i, end - i);
        bytes.erase(at, end + 2 - at);
        std::size_t d = 0;
        int named = 0;
        while (d < text.size() && IsDigit(text[d]) && d < 2) named = named * 10 + (text[d++] - '0');
        if (d > 0 && text.substr(d) == " q" && named <= 6) shape = named;
        return true;
    }
    return false;
}

}  // namespace

Answers Take(std::string& bytes) {
    Answers found;
    found.shapeAnswered = TakeShape(bytes, found.cursorShape);
    found.column = TakePosition(bytes);
    return found;
}

}  // namespace termanswers
