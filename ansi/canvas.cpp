#include "ansi/canvas.h"

#include <algorithm>

namespace {

// A cell nothing was drawn on: a blank in the default colours.
constexpr conapi::Cell Blank{' ', 7};

}  // namespace

TCanvas::TCanvas(int width) : width_(std::clamp(width, MinCols, MaxCols)) {}

conapi::Cell TCanvas::At(int col, int row) const {
    if (col < 1 || col > width_ || row < 1 || row > rows_) return Blank;
    const std::size_t i =
        static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col - 1);
    return i < cells_.size() ? cells_[i] : Blank;
}

void TCanvas::WriteText(std::string_view text) {
    for (const char ch : text) {
        switch (ch) {
        case 8:  // BS moves back without erasing
            x_ = std::max(0, x_ - 1);
            break;
        case 10:  // LF keeps the column
            NewRow();
            break;
        case 13: x_ = 0; break;
        default: Put(ch); break;
        }
    }
}

void TCanvas::Put(char ch) {
    const std::size_t need = static_cast<std::size_t>(y_ + 1) * static_cast<std::size_t>(width_);
    if (cells_.size() < need) cells_.resize(need, Blank);
    cells_[static_cast<std::size_t>(y_) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x_)] =
        conapi::Cell{static_cast<uint16_t>(static_cast<unsigned char>(ch)), TextAttr};
    rows_ = std::max(rows_, y_ + 1);
    widest_ = std::max(widest_, x_ + 1);
    // The last column wraps to the next row, as the screen's does.
    if (++x_ == width_) {
        x_ = 0;
        NewRow();
    }
}

// The page grows by a row; at its last row the cursor stays there.
void TCanvas::NewRow() { y_ = std::min(y_ + 1, MaxRows - 1); }

void TCanvas::GotoXY(int x, int y) {
    x_ = std::clamp(x, 1, width_) - 1;
    y_ = std::clamp(y, 1, MaxRows) - 1;
}

void TCanvas::ClearScreen() {
    cells_.clear();
    rows_ = 0;
    widest_ = 0;
    x_ = y_ = 0;
}
