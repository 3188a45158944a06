#include "console/term_cells.h"

#include <algorithm>
#include <vector>

namespace termcells {

using conapi::Cell;
using conapi::Coord;
using conapi::Rect;

void CellBuffer::SetRows(int rows) { rows_ = std::clamp(rows, 1, kMaxRows); }

void CellBuffer::WriteRect(const Cell* cells, Coord size, Rect region) {
    for (int y = region.Top; y <= region.Bottom; ++y) {
        const int sy = y - region.Top;
        if (sy >= size.Y) break;
        for (int x = region.Left; x <= region.Right; ++x) {
            const int sx = x - region.Left;
            if (sx >= size.X) break;
            if (Inside(x, y)) cells_[y * kCols + x] = cells[sy * size.X + sx];
        }
    }
}

void CellBuffer::Read(Cell* cells, Coord size, Rect region) const {
    for (int y = region.Top; y <= region.Bottom; ++y) {
        const int sy = y - region.Top;
        if (sy >= size.Y) break;
        for (int x = region.Left; x <= region.Right; ++x) {
            const int sx = x - region.Left;
            if (sx >= size.X) break;
            if (Inside(x, y)) cells[sy * size.X + sx] = cells_[y * kCols + x];
        }
    }
}

uint16_t CellBuffer::Attribute(Coord pos) const {
    return Inside(pos.X, pos.Y) ? cells_[pos.Y * kCols + pos.X].Attr : 0;
}

void CellBuffer::FillAttribute(uint16_t attr, int count, Coord pos) {
    if (!Inside(pos.X, pos.Y)) return;
    const int end = std::min(kCols, pos.X + std::max(count, 0));
    for (int x = pos.X; x < end; ++x) cells_[pos.Y * kCols + x].Attr = attr;
}

void CellBuffer::FillCharacter(uint8_t ch, int count, Coord pos) {
    if (!Inside(pos.X, pos.Y)) return;
    const int end = std::min(kCols, pos.X + std::max(count, 0));
    for (int x = pos.X; x < end; ++x) cells_[pos.Y * kCols + x].Char = ch;
}

void CellBuffer::Scroll(Rect scroll, Rect clip, Coord dest, Cell fill) {
    // The source is the part of Scroll inside the buffer.
    const int left = std::max<int>(scroll.Left, 0);
    const int top = std::max<int>(scroll.Top, 0);
    const int right = std::min<int>(scroll.Right, kCols - 1);
    const int bottom = std::min<int>(scroll.Bottom, rows_ - 1);
    if (left > right || top > bottom) return;
    // Only cells inside both the buffer and Clip change; each row's share
    // of that is one run of columns, so whole runs are moved at a time (a
    // scroll of the screen is one per line feed on the last row).
    const int clipLeft = std::max<int>(clip.Left, 0);
    const int clipRight = std::min<int>(clip.Right, kCols - 1);
    const int clipTop = std::max<int>(clip.Top, 0);
    const int clipBottom = std::min<int>(clip.Bottom, rows_ - 1);
    const int w = right - left + 1;
    const int h = bottom - top + 1;
    std::vector<Cell> source(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) std::copy_n(&cells_[(top + y) * kCols + left], w, &source[y * w]);
    for (int y = std::max(top, clipTop); y <= std::min(bottom, clipBottom); ++y) {
        const int from = std::max(left, clipLeft);
        const int to = std::min(right, clipRight);
        if (from <= to) std::fill_n(&cells_[y * kCols + from], to - from + 1, fill);
    }
    // The source keeps its offset from Scroll's corner when it was clipped.
    const int dx = dest.X + (left - scroll.Left);
    const int dy = dest.Y + (top - scroll.Top);
    const int from = std::max(dx, clipLeft);
    const int to = std::min(dx + w - 1, clipRight);
    if (from > to) return;
    for (int y = 0; y < h; ++y) {
        const int row = dy + y;
        if (row < clipTop || row > clipBottom) continue;
        std::copy_n(&source[y * w + (from - dx)], to - from + 1, &cells_[row * kCols + from]);
    }
}

}  // namespace termcells
