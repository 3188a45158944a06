#include "ansi/canvas.h"

#include <algorithm>

namespace {

// A cell nothing was drawn on: a blank in the default colours.
constexpr conapi::Cell Blank{' ', 7};

bool BlankOnBlack(const conapi::Cell& c) {
    const auto ch = static_cast<uint8_t>(c.Char);
    return (ch == ' ' || ch == 0 || ch == 0xFF) && c.Char < 0x100 && (c.Attr & 0xF0) == 0 && c.Back == 0;
}

}  // namespace

TCanvas::TCanvas(int width, bool deferredWrap)
    : width_(std::clamp(width, MinCols, MaxCols)), deferredWrap_(deferredWrap) {}

conapi::Cell TCanvas::At(int col, int row) const {
    if (col < 1 || col > width_ || row < 1 || row > rows_) return Blank;
    const std::size_t i =
        static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col - 1);
    return i < cells_.size() ? cells_[i] : Blank;
}

int TCanvas::InkedWidth() const {
    int widest = 0;
    for (std::size_t i = 0; i < cells_.size(); ++i)
        if (!BlankOnBlack(cells_[i]))
            widest = std::max(widest, static_cast<int>(i % static_cast<std::size_t>(width_)) + 1);
    return widest;
}

void TCanvas::Put(int col, int row, conapi::Cell cell) {
    if (col < 1 || col > width_ || row < 1 || row > MaxRows) return;
    const std::size_t need = static_cast<std::size_t>(row) * static_cast<std::size_t>(width_);
    if (cells_.size() < need) cells_.resize(need, Blank);
    cells_[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(col - 1)] =
        cell;
    rows_ = std::max(rows_, row);
    widest_ = std::max(widest_, col);
}

void TCanvas::WriteText(std::string_view text) {
    for (const char ch : text) {
        switch (ch) {
        case 8:  // BS moves back without erasing
            wrapPending_ = false;
            x_ = std::max(0, x_ - 1);
            break;
        case 10:  // LF keeps the column
            wrapPending_ = false;
            NewRow();
            break;
        case 13:
            wrapPending_ = false;
            x_ = 0;
            break;
        default: PutChar(ch); break;
        }
    }
}

void TCanvas::PutChar(char ch) {
    if (wrapPending_) {
        // The row before was full: this character begins the next one.
        wrapPending_ = false;
        x_ = 0;
        NewRow();
    }
    if (below_ > 0) {
        // Below the page's last row: counted, not drawn.
        asked_ = std::max(asked_, MaxRows + below_);
        x_ = std::min(x_ + 1, width_ - 1);
        return;
    }
    Put(x_ + 1, y_ + 1, conapi::Cell{static_cast<uint16_t>(static_cast<unsigned char>(ch)), TextAttr, OwnFore, OwnBack});
    if (x_ + 1 < width_) {
        ++x_;
    } else if (deferredWrap_) {
        wrapPending_ = true;
    } else {
        // The last column wraps to the next row, as the screen's does.
        x_ = 0;
        NewRow();
    }
}

// The page grows by a row; past its last row the rows are only counted.
void TCanvas::NewRow() {
    if (y_ + 1 < MaxRows)
        ++y_;
    else
        ++below_;
}

void TCanvas::GotoXY(int x, int y) {
    wrapPending_ = false;
    x_ = std::clamp(x, 1, width_) - 1;
    y_ = std::clamp(y, 1, MaxRows) - 1;
    below_ = y > MaxRows ? y - MaxRows : 0;
}

void TCanvas::ClearScreen() {
    cells_.clear();
    rows_ = 0;
    widest_ = 0;
    x_ = y_ = 0;
    below_ = asked_ = 0;
    wrapPending_ = false;
}
