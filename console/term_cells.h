// The console's cells as a terminal back-end keeps them: 80 columns by up to
// 50 rows, with the rectangle, fill and scroll operations of a text-mode
// console. Everything is clipped to the buffer; nothing outside it is read
// or written.
#pragma once

#include <array>
#include <cstdint>

#include "console/conapi.h"

namespace termcells {

class CellBuffer {
public:
    static constexpr int kCols = conapi::MaxCols;
    static constexpr int kMaxRows = conapi::MaxRows;

    int Rows() const { return rows_; }
    // Rows is clamped to 1..50. Rows that come into use keep what they held.
    void SetRows(int rows);
    // Every cell of all 50 rows becomes Cell.
    void Clear(conapi::Cell cell) { cells_.fill(cell); }
    // All 50 rows, row-major.
    const conapi::Cell* Data() const { return cells_.data(); }
    conapi::Cell At(int col, int row) const { return cells_[row * kCols + col]; }

    // Cells is Size.X * Size.Y cells, row-major; its top-left cell goes to
    // Region's top-left corner. A piece of one row inside the buffer, which
    // is how text is drawn, is copied here without a call: the pieces are a
    // few cells long, and a call would cost more than the copy.
    void Write(const conapi::Cell* cells, conapi::Coord size, conapi::Rect region) {
        const int width = region.Right - region.Left + 1;
        if (region.Top == region.Bottom && width >= 1 && width <= size.X && size.Y >= 1 &&
            Inside(region.Left, region.Top) && Inside(region.Right, region.Top)) {
            conapi::Cell* to = cells_.data() + region.Top * kCols + region.Left;
            for (int i = 0; i < width; ++i) to[i] = cells[i];
            return;
        }
        WriteRect(cells, size, region);
    }
    // Reads Region into Cells (Size.X * Size.Y, row-major); cells whose
    // place lies outside the buffer are left as they are.
    void Read(conapi::Cell* cells, conapi::Coord size, conapi::Rect region) const;
    // The attribute at Pos, 0 outside the buffer.
    uint16_t Attribute(conapi::Coord pos) const;
    // Count cells of Pos's row from Pos, clipped at the row's end.
    void FillAttribute(uint16_t attr, int count, conapi::Coord pos);
    void FillCharacter(uint8_t ch, int count, conapi::Coord pos);
    // Moves the cells of Scroll so that its top-left lands on Dest. Only
    // cells inside Clip (and the buffer) change; cells of Scroll that the
    // moved cells do not cover get Fill. The source is read whole before
    // anything is written, so overlapping moves work.
    void Scroll(conapi::Rect scroll, conapi::Rect clip, conapi::Coord dest, conapi::Cell fill);

private:
    void WriteRect(const conapi::Cell* cells, conapi::Coord size, conapi::Rect region);
    bool Inside(int col, int row) const { return col >= 0 && col < kCols && row >= 0 && row < rows_; }

    std::array<conapi::Cell, kCols * kMaxRows> cells_{};
    int rows_ = 25;
};

}  // namespace termcells
