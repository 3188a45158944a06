// Pieces larger than the screen: drawn whole on a page as tall and as wide
// as they are, and read through a window of 24 rows and 80 columns.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ansi/ansi_renderer.h"
#include "ansi/canvas.h"
#include "console/key_codes.h"
#include "console_fixture.h"
#include "viewer/canvas_viewer.h"

namespace {

// Text of row Row of the page, columns From..To (1-based), as characters.
std::string PageText(const TCanvas& page, int row, int from = 1, int to = 80) {
    std::string out;
    for (int col = from; col <= to; ++col) out += static_cast<char>(page.At(col, row).Char);
    return out;
}

// N rows, each "row NNNN" and CR LF: the row's number tells where it landed.
std::string NumberedRows(int n) {
    std::string art;
    char line[16];
    for (int i = 1; i <= n; ++i) {
        std::snprintf(line, sizeof line, "row %04d\r\n", i);
        art += line;
    }
    return art;
}

TEST(Canvas, ATallPieceKeepsEveryRowWhereItWasDrawn) {
    TCanvas page;
    DrawAnsiOnCanvas(NumberedRows(1000), page);
    EXPECT_EQ(page.Rows(), 1000);
    EXPECT_EQ(PageText(page, 1, 1, 8), "row 0001");
    EXPECT_EQ(PageText(page, 500, 1, 8), "row 0500");
    EXPECT_EQ(PageText(page, 1000, 1, 8), "row 1000");
}

TEST(Canvas, RowsPlacedByTheCursorPastTheScreenStayApart) {
    // Rows 26 to 60 placed with ESC[row;1H: on the screen they all land on
    // row 25; the page keeps each on its own row.
    std::string art;
    for (int row = 1; row <= 60; ++row) art += "\x1b[" + std::to_string(row) + ";1Hplaced " + std::to_string(row);
    TCanvas page;
    DrawAnsiOnCanvas(art, page);
    EXPECT_EQ(page.Rows(), 60);
    EXPECT_EQ(PageText(page, 26, 1, 9), "placed 26");
    EXPECT_EQ(PageText(page, 60, 1, 9), "placed 60");
}

TEST(Canvas, AWidePieceIsLaidOutAtItsWidth) {
    // 160 columns in one row, then a second row: no wrap at 80.
    const std::string wide = std::string(80, 'a') + std::string(80, 'b');
    TCanvas page(160);
    DrawAnsiOnCanvas(wide + "second", page);
    EXPECT_EQ(page.Width(), 160);
    EXPECT_EQ(PageText(page, 1, 79, 82), "aabb");
    EXPECT_EQ(PageText(page, 1, 160, 160), "b");
    EXPECT_EQ(PageText(page, 2, 1, 6), "second") << "the 161st character begins the next row";
    EXPECT_EQ(page.WidestColumn(), 160);

    // The same bytes on a page of the screen's width wrap at 80, as the
    // screen does.
    TCanvas narrow;
    DrawAnsiOnCanvas(wide, narrow);
    EXPECT_EQ(PageText(narrow, 2, 1, 2), "bb");
    EXPECT_EQ(narrow.Rows(), 2);
}

TEST(Canvas, WidthsOutsideTheRangeAreKeptWithinIt) {
    EXPECT_EQ(TCanvas(0).Width(), 80);
    EXPECT_EQ(TCanvas(-5).Width(), 80);
    EXPECT_EQ(TCanvas(1000).Width(), 160);
    EXPECT_EQ(TCanvas(120).Width(), 120);
}

TEST(Canvas, MovesAndColoursAreTheScreensOnes) {
    // Cursor forward, erase to the end of the row (at the page's width),
    // colours by sequence and by pipe code, a form feed that starts again.
    TCanvas page(100);
    DrawAnsiOnCanvas("junk\x0c\x1b[1;31mred\x1b[5C|09blue\x1b[K|", page);
    EXPECT_EQ(PageText(page, 1, 1, 3), "red");
    EXPECT_EQ(page.At(1, 1).Attr, 0x0C);
    EXPECT_EQ(PageText(page, 1, 9, 12), "blue");
    EXPECT_EQ(page.At(9, 1).Attr, 0x09);
    // The erase stops short of the last column, as the screen's does; a bar
    // that ends the file is drawn there.
    EXPECT_EQ(page.At(99, 1).Char, ' ');
    EXPECT_EQ(page.At(100, 1).Char, '|');
    EXPECT_EQ(page.Rows(), 1);
}

TEST(Canvas, DrawingStopsAtTheEndMark) {
    TCanvas page;
    DrawAnsiOnCanvas(std::string("art\x1a") + "SAUCE00 credits that are no art", page);
    EXPECT_EQ(PageText(page, 1, 1, 4), "art ");
    EXPECT_EQ(page.Rows(), 1);
}

TEST(Canvas, AHostileMoveIsKeptWithinThePage) {
    TCanvas page;
    std::string art = "\x1b[99999;99999Hx";
    for (int i = 0; i < 12; ++i) art += "\x1b[3000B";  // each moves at most 1,000 rows
    DrawAnsiOnCanvas(art + "deep", page);
    EXPECT_LE(page.Rows(), TCanvas::MaxRows) << "nothing is drawn below the last row";
    EXPECT_GT(page.RowsAskedFor(), TCanvas::MaxRows) << "but the rows asked for are counted";
    EXPECT_LE(page.WidestColumn(), 80);
}

// --- The window on the page ------------------------------------------------------

class CanvasWindow : public ConsoleTest {
protected:
    TCanvas tall_;
    TCanvas wide_{160};
    void SetUp() override {
        ConsoleTest::SetUp();
        DrawAnsiOnCanvas(NumberedRows(300), tall_);
        std::string art;
        for (int row = 1; row <= 30; ++row) {
            std::string line;
            for (int col = 1; col <= 160; col += 10) {
                char cell[16];
                std::snprintf(cell, sizeof cell, "r%02dc%03d   ", row, col);
                line += cell;
            }
            art += line;  // 160 columns: the row wraps by itself
        }
        DrawAnsiOnCanvas(art, wide_);
    }
    // Moves by Code and draws, as the gallery does.
    void Press(TCanvas& page, CanvasView& view, Byte code) {
        ASSERT_TRUE(MoveCanvasView(page, view, code));
        DrawCanvasView(page, view);
    }
};

TEST_F(CanvasWindow, ATallPieceIsReadFromItsLastRowsToItsFirstAndBack) {
    ASSERT_TRUE(CanvasMoves(tall_));
    CanvasView view = LastRowsView(tall_);
    DrawCanvasView(tall_, view);
    EXPECT_EQ(Row(1), "row 0277") << "the last 24 rows, as drawing leaves them";
    EXPECT_EQ(Row(24), "row 0300");
    EXPECT_EQ(Row(25), "") << "row 25 is the prompt's";

    Press(tall_, view, KeyUp);
    EXPECT_EQ(Row(1), "row 0276");
    Press(tall_, view, KeyDown);
    Press(tall_, view, KeyDown);
    EXPECT_EQ(Row(24), "row 0300") << "no further than the last row";

    // PgUp to the first row, a page of 24 rows at a time.
    Press(tall_, view, KeyPgUp);
    EXPECT_EQ(Row(1), "row 0253");
    EXPECT_EQ(Row(24), "row 0276") << "the page above, to the row before the one that was on top";
    int presses = 1;
    while (Row(1) != "row 0001" && presses < 100) {
        Press(tall_, view, KeyPgUp);
        ++presses;
    }
    EXPECT_EQ(presses, 12) << "276 rows above, 24 a page";
    Press(tall_, view, KeyPgUp);
    EXPECT_EQ(Row(1), "row 0001");
    Press(tall_, view, KeyPgDn);
    EXPECT_EQ(Row(1), "row 0025");
    Press(tall_, view, KeyEnd);
    EXPECT_EQ(Row(24), "row 0300");
    Press(tall_, view, KeyHome);
    EXPECT_EQ(Row(1), "row 0001");
    EXPECT_FALSE(MoveCanvasView(tall_, view, KeyF1)) << "other keys are the caller's";
}

TEST_F(CanvasWindow, AWidePiecePansToItsRightEdgeEightColumnsAtATime) {
    ASSERT_TRUE(CanvasMoves(wide_));
    CanvasView view;
    DrawCanvasView(wide_, view);
    EXPECT_EQ(Row(1).substr(0, 7), "r01c001");
    EXPECT_EQ(Row(24).substr(0, 7), "r24c001");
    Press(wide_, view, KeyRight);
    EXPECT_EQ(Row(1).substr(0, 10), "  r01c011 ") << "eight columns on: column 9 first";
    for (int i = 0; i < 20; ++i) Press(wide_, view, KeyRight);
    EXPECT_EQ(view.Left, 81) << "the page's column 160 on the screen's column 80";
    EXPECT_EQ(Row(1).substr(70), "r01c151");
    Press(wide_, view, KeyLeft);
    EXPECT_EQ(view.Left, 73);
    Press(wide_, view, KeyHome);
    EXPECT_EQ(view.Left, 1) << "Home: the left edge";
    EXPECT_EQ(view.Top, 1);
    Press(wide_, view, KeyEnd);
    EXPECT_EQ(view.Top, 7) << "30 rows are taller than the screen: End goes to the last rows";
}

TEST_F(CanvasWindow, APieceThatFitsTheScreenDoesNotMove) {
    TCanvas page;
    DrawAnsiOnCanvas(NumberedRows(25), page);
    EXPECT_FALSE(CanvasMoves(page)) << "25 rows fit: the last one under the prompt";
    TCanvas taller;
    DrawAnsiOnCanvas(NumberedRows(26), taller);
    EXPECT_TRUE(CanvasMoves(taller));
    EXPECT_EQ(LastRowsView(taller).Top, 3);
}

}  // namespace
