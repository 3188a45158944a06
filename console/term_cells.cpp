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
    auto inClip = [&](int x, int y) {
        return Inside(x, y) && x >= clip.Left && x <= clip.Right && y >= clip.Top && y <= clip.Bottom;
    };
    const int w = right - left + 1;
    std::vector<Cell> source;
    source.reserve(static_cast<std::size_t>(w) * (bottom - top + 1));
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) source.push_back(cells_[y * kCols + x]);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if (inClip(x, y)) cells_[y * kCols + x] = fill;
    // The source keeps its offset from Scroll's corner when it was clipped.
    const int dx = dest.X + (left - scroll.Left);
    const int dy = dest.Y + (top - scroll.Top);
    for (int y = 0; y <= bottom - top; ++y)
        for (int x = 0; x < w; ++x)
            if (inClip(dx + x, dy + y)) cells_[(dy + y) * kCols + dx + x] = source[y * w + x];
}

}  // namespace termcells
