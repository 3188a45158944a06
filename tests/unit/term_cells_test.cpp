// The terminal back-end's own cells: rectangle writes and reads, fills and
// scrolls, each clipped to the buffer the way a text-mode console clips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/term_cells.h"

using conapi::Cell;
using conapi::Coord;
using conapi::Rect;
using termcells::CellBuffer;

namespace {

// Writes Text at Col, Row in attribute Attr.
void Put(CellBuffer& b, int col, int row, const std::string& text, uint16_t attr = 7) {
    std::vector<Cell> cells;
    for (char c : text) cells.push_back(Cell{static_cast<uint8_t>(c), attr});
    const auto n = static_cast<int16_t>(cells.size());
    b.Write(cells.data(), Coord{n, 1}, Rect{int16_t(col), int16_t(row), int16_t(col + n - 1), int16_t(row)});
}

std::string Text(const CellBuffer& b, int col, int row, int len) {
    std::string s;
    for (int c = col; c < col + len; ++c) s += static_cast<char>(b.At(c, row).Char);
    return s;
}

// Each row starts with its own letter: row 0 "aaaa...", row 1 "bbbb...".
CellBuffer Lettered() {
    CellBuffer b;
    for (int r = 0; r < 25; ++r) Put(b, 0, r, std::string(80, static_cast<char>('a' + r % 26)));
    return b;
}

}  // namespace

TEST(TermCells, WriteIsClippedAtTheBufferEdges) {
    CellBuffer b;
    b.Clear(Cell{' ', 7});
    Put(b, 75, 0, "0123456789");
    EXPECT_EQ(Text(b, 75, 0, 5), "01234");
    EXPECT_EQ(Text(b, 0, 1, 5), "     ") << "nothing spills into the next row";
    Put(b, 0, 25, "hidden");  // below a 25-row buffer
    b.SetRows(50);
    EXPECT_EQ(Text(b, 0, 25, 6), "      ");
}

TEST(TermCells, WriteTakesTheSourceRowByRow) {
    CellBuffer b;
    std::vector<Cell> src;
    for (char c : std::string("abcdefghijkl")) src.push_back(Cell{static_cast<uint8_t>(c), 0x1F});
    // A 4x3 source into a 3x2 region: each row of the region starts at the
    // next source row.
    b.Write(src.data(), Coord{4, 3}, Rect{10, 5, 12, 6});
    EXPECT_EQ(Text(b, 10, 5, 3), "abc");
    EXPECT_EQ(Text(b, 10, 6, 3), "efg");
    EXPECT_EQ(b.Attribute(Coord{11, 6}), 0x1F);
    EXPECT_EQ(b.At(13, 5).Char, 0) << "the region's right edge holds";
}

TEST(TermCells, ReadLeavesCellsOutsideTheBufferAlone) {
    CellBuffer b = Lettered();
    std::vector<Cell> out(6, Cell{'?', 0});
    b.Read(out.data(), Coord{3, 2}, Rect{78, 24, 80, 25});
    EXPECT_EQ(out[0].Char, 'y');
    EXPECT_EQ(out[1].Char, 'y');
    EXPECT_EQ(out[2].Char, '?') << "column 80 is outside";
    EXPECT_EQ(out[3].Char, '?') << "row 25 is outside";
    EXPECT_EQ(b.Attribute(Coord{80, 0}), 0);
    EXPECT_EQ(b.Attribute(Coord{0, -1}), 0);
}

TEST(TermCells, FillsStopAtTheRowsEnd) {
    CellBuffer b = Lettered();
    b.FillAttribute(0x4E, 500, Coord{70, 3});
    b.FillCharacter('#', 500, Coord{70, 3});
    EXPECT_EQ(Text(b, 68, 3, 12), "dd##########");
    EXPECT_EQ(b.Attribute(Coord{79, 3}), 0x4E);
    EXPECT_EQ(b.Attribute(Coord{0, 4}), 7) << "the next row is untouched";
    EXPECT_EQ(Text(b, 0, 4, 3), "eee");
    b.FillCharacter('!', -5, Coord{0, 0});
    b.FillCharacter('!', 3, Coord{0, 25});
    EXPECT_EQ(Text(b, 0, 0, 3), "aaa");
}

TEST(TermCells, ScrollUpOneLineLikeTheScreenDoes) {
    CellBuffer b = Lettered();
    const Rect window{0, 0, 79, 24};
    b.Scroll(window, window, Coord{0, -1}, Cell{' ', 0x17});
    EXPECT_EQ(Text(b, 0, 0, 3), "bbb");
    EXPECT_EQ(Text(b, 77, 23, 3), "yyy");
    EXPECT_EQ(Text(b, 0, 24, 80), std::string(80, ' '));
    EXPECT_EQ(b.Attribute(Coord{40, 24}), 0x17);
}

TEST(TermCells, ScrollChangesOnlyCellsInsideTheClip) {
    CellBuffer b = Lettered();
    // Move rows 10..14, columns 20..29 down by two, clipped to rows 10..13.
    b.Scroll(Rect{20, 10, 29, 14}, Rect{0, 10, 79, 13}, Coord{20, 12}, Cell{'.', 7});
    EXPECT_EQ(Text(b, 20, 10, 10), "..........");
    EXPECT_EQ(Text(b, 20, 11, 10), "..........");
    EXPECT_EQ(Text(b, 20, 12, 10), "kkkkkkkkkk");
    EXPECT_EQ(Text(b, 20, 13, 10), "llllllllll");
    EXPECT_EQ(Text(b, 20, 14, 10), "oooooooooo") << "outside the clip";
    EXPECT_EQ(Text(b, 18, 12, 2), "mm") << "outside the scroll rectangle";
}

TEST(TermCells, ScrollSidewaysOverlapsAndLeavesTheBufferSafely) {
    CellBuffer b;
    Put(b, 0, 0, "0123456789");
    b.Scroll(Rect{0, 0, 9, 0}, Rect{0, 0, 79, 24}, Coord{3, 0}, Cell{'_', 7});
    EXPECT_EQ(Text(b, 0, 0, 13), "___0123456789");
    // Moved mostly past the right edge: only what lands inside is kept.
    b.Scroll(Rect{0, 0, 12, 0}, Rect{0, 0, 79, 24}, Coord{75, 0}, Cell{' ', 7});
    EXPECT_EQ(Text(b, 75, 0, 5), "___01");
    // A rectangle partly above the buffer keeps its offset.
    CellBuffer c = Lettered();
    c.Scroll(Rect{0, -2, 79, 3}, Rect{0, 0, 79, 24}, Coord{0, 0}, Cell{' ', 7});
    EXPECT_EQ(Text(c, 0, 2, 3), "aaa");
    EXPECT_EQ(Text(c, 0, 3, 3), "bbb");
}
