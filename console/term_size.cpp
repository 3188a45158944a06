#include "console/term_size.h"

#include <algorithm>

namespace termsize {

bool TooSmall(int cols, int rows, int consoleRows) { return cols < conapi::MaxCols || rows < consoleRows; }

std::string NoticeText(int cols, int rows, int consoleRows) {
    const std::string need = std::to_string(conapi::MaxCols) + 'x' + std::to_string(consoleRows);
    return " Screen cut off: the terminal is " + std::to_string(cols) + 'x' + std::to_string(rows) + ", needs " + need +
           ". Any key hides this. ";
}

void DrawNotice(std::vector<conapi::Cell>& cells, int rows, int termCols, int termRows) {
    const int row = std::min(rows, termRows) - 1;
    const int width = std::min(termCols, static_cast<int>(conapi::MaxCols));
    if (row < 0 || width <= 0) return;
    const std::string text = NoticeText(termCols, termRows, rows);
    for (int col = 0; col < width; ++col) {
        const char ch = col < static_cast<int>(text.size()) ? text[col] : ' ';
        cells[static_cast<std::size_t>(row) * conapi::MaxCols + col] =
            conapi::Cell{static_cast<uint16_t>(static_cast<uint8_t>(ch)), kNoticeAttr};
    }
}

void Notice::SizeIs(int cols, int rows, int consoleRows, uint64_t nowNs) {
    const bool changed = cols != cols_ || rows != rows_;
    cols_ = cols;
    rows_ = rows;
    if (!TooSmall(cols, rows, consoleRows)) {
        untilNs_ = 0;
    } else if (changed) {
        untilNs_ = nowNs + static_cast<uint64_t>(kNoticeMs) * 1'000'000u;
    }
}

bool Notice::KeyPressed(uint64_t nowNs) {
    const bool up = Visible(nowNs);
    untilNs_ = 0;
    return up;
}

int Notice::MsUntilHidden(uint64_t nowNs) const {
    if (!Visible(nowNs)) return -1;
    return static_cast<int>((untilNs_ - nowNs + 999'999u) / 1'000'000u);
}

}  // namespace termsize
