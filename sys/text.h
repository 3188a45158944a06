// Case folding of code page 437 byte strings: only a..z and A..Z have a
// case, every other byte matches only itself.
#pragma once

#include <string>
#include <string_view>

inline char UpperChar(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch; }
inline char LowerChar(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; }

// Text with a..z made capitals, whole however long it is.
inline std::string FoldCase(std::string_view text) {
    std::string out(text);
    for (char& ch : out) ch = UpperChar(ch);
    return out;
}

// Whether A and B are the same text ignoring case.
inline bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperChar(a[i]) != UpperChar(b[i])) return false;
    return true;
}
