// A terminal smaller than the console: what fits is drawn from the top-left
// corner, and a one-line notice says that the rest is cut off. The notice
// comes when the terminal is (or becomes) too small, goes away by itself
// after a few seconds or at the first key, and comes back only when the
// size changes again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/conapi.h"

namespace termsize {

// How long the notice stays up unless a key hides it, in milliseconds.
constexpr int kNoticeMs = 5000;
// The notice's colours: yellow on red.
constexpr uint16_t kNoticeAttr = 0x4E;

bool TooSmall(int cols, int rows, int consoleRows);

// The notice's text for a terminal of Cols x Rows, its most useful words
// first, for a terminal too narrow for the rest.
std::string NoticeText(int cols, int rows, int consoleRows);

// Cells (80 a row, Rows rows) with the notice written across the last row
// the terminal shows.
void DrawNotice(std::vector<conapi::Cell>& cells, int rows, int termCols, int termRows);

// When the notice shows. Times are a monotonic clock in nanoseconds.
class Notice {
public:
    // The terminal is Cols x Rows at NowNs (at start and after each resize).
    void SizeIs(int cols, int rows, int consoleRows, uint64_t nowNs);
    // A key came: the notice, if up, goes.
    // Answers whether it was up (the key was spent on hiding it).
    bool KeyPressed(uint64_t nowNs);
    bool Visible(uint64_t nowNs) const { return untilNs_ != 0 && nowNs < untilNs_; }
    // Milliseconds (rounded up) until the notice goes by itself; -1 when it
    // is not up.
    int MsUntilHidden(uint64_t nowNs) const;

private:
    int cols_ = -1;
    int rows_ = -1;
    uint64_t untilNs_ = 0;
};

}  // namespace termsize
