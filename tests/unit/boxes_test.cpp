// Framed boxes and the raised panel: the cells they leave on the memory
// console.
#include <gtest/gtest.h>

#include <string>

#include "console_fixture.h"
#include "widgets/boxes.h"

namespace {

using Boxes = ConsoleTest;

constexpr int X1 = 10, Y1 = 5, X2 = 20, Y2 = 9;

// The eight frame sets, written out: top-left, top, top-right, left,
// right, bottom-left, bottom, bottom-right (index 0 unused).
const std::string kFrames[9] = {
    "",
    "\xDA\xC4\xBF\xB3\xB3\xC0\xC4\xD9",  // single line
    "\xC9\xCD\xBB\xBA\xBA\xC8\xCD\xBC",  // double line
    "\xD6\xC4\xB7\xBA\xBA\xD3\xC4\xBD",  // double vertical, single horizontal
    "\xD5\xCD\xB8\xB3\xB3\xD4\xCD\xBE",  // single vertical, double horizontal
    "\xDB\xDF\xDB\xDB\xDB\xDB\xDC\xDB",  // solid, half-block edges
    "\xDB\xDF\xDC\xDB\xDB\xDF\xDC\xDB",  // solid, half-block corners
    "        ",                          // blank
    ".-.||`-'",                          // plain ASCII
};

Byte Code(int x, int y) { return static_cast<Byte>(ConsoleTest::Ch(x, y)); }

// Expected character and attribute of every frame cell of the box above.
struct FrameLook {
    Byte topRun, topRight, left, inside, right, bottomLeft, bottomRun;
};

void ExpectFrame(const std::string& chars, const FrameLook& a, const std::string& what) {
    const auto c = [&](int i) { return static_cast<Byte>(chars[static_cast<std::size_t>(i)]); };
    SCOPED_TRACE(what);
    EXPECT_EQ(Code(X1, Y1), c(0));
    EXPECT_EQ(ConsoleTest::At(X1, Y1), a.topRun);
    for (int x = X1 + 1; x < X2; ++x) {
        EXPECT_EQ(Code(x, Y1), c(1));
        EXPECT_EQ(ConsoleTest::At(x, Y1), a.topRun);
    }
    EXPECT_EQ(Code(X2, Y1), c(2));
    EXPECT_EQ(ConsoleTest::At(X2, Y1), a.topRight);
    for (int y = Y1 + 1; y < Y2; ++y) {
        EXPECT_EQ(Code(X1, y), c(3));
        EXPECT_EQ(ConsoleTest::At(X1, y), a.left);
        EXPECT_EQ(Code(X1 + 1, y), ' ');
        EXPECT_EQ(ConsoleTest::At(X2 - 1, y), a.inside);
        EXPECT_EQ(Code(X2, y), c(4));
        EXPECT_EQ(ConsoleTest::At(X2, y), a.right);
    }
    EXPECT_EQ(Code(X1, Y2), c(5));
    EXPECT_EQ(ConsoleTest::At(X1, Y2), a.bottomLeft);
    for (int x = X1 + 1; x < X2; ++x) {
        EXPECT_EQ(Code(x, Y2), c(6));
        EXPECT_EQ(ConsoleTest::At(x, Y2), a.bottomRun);
    }
    EXPECT_EQ(Code(X2, Y2), c(7));
    EXPECT_EQ(ConsoleTest::At(X2, Y2), a.bottomRun);
}

TEST_F(Boxes, RaisedFramesInEveryStyle) {
    for (Byte style = 1; style <= 8; ++style) {
        TMenuBox box;
        box.FrameStyle = style;
        box.Shadow = false;
        box.Draw(X1, Y1, X2, Y2);
        ExpectFrame(kFrames[style], {0x7F, 0x78, 0x7F, 0x7F, 0x78, 0x7F, 0x78}, "style " + std::to_string(style));
    }
}

TEST_F(Boxes, SunkenFramesSwapLightAndDark) {
    for (Byte style : {Byte{1}, Byte{2}, Byte{6}}) {
        TMenuBox box;
        box.FrameStyle = style;
        box.Sunken = true;
        box.Shadow = false;
        box.Draw(X1, Y1, X2, Y2);
        ExpectFrame(kFrames[style], {0x78, 0x7F, 0x78, 0x78, 0x7F, 0x78, 0x7F}, "style " + std::to_string(style));
    }
}

TEST_F(Boxes, SunkenUsesEachColourFieldWhereItBelongs) {
    TMenuBox box;
    box.FrameStyle = 3;
    box.Sunken = true;
    box.Shadow = false;
    box.LightAttr = 0x1A;
    box.DarkAttr = 0x2B;
    box.BottomLeftAttr = 0x3C;
    box.TopRightAttr = 0x4D;
    box.Draw(X1, Y1, X2, Y2);
    ExpectFrame(kFrames[3], {0x4D, 0x1A, 0x2B, 0x2B, 0x1A, 0x2B, 0x3C}, "sunken");

    TMenuBox raised;
    raised.FrameStyle = 4;
    raised.Shadow = false;
    raised.LightAttr = 0x1A;
    raised.DarkAttr = 0x2B;
    raised.BottomLeftAttr = 0x3C;
    raised.TopRightAttr = 0x4D;
    raised.Draw(X1, Y1, X2, Y2);
    ExpectFrame(kFrames[4], {0x1A, 0x4D, 0x1A, 0x1A, 0x2B, 0x3C, 0x2B}, "raised");
}

TEST_F(Boxes, OneToneTurnsEveryEdgeLight) {
    TMenuBox box;
    box.TwoTone = false;
    box.Shadow = false;
    box.LightAttr = 0x5E;
    box.Draw(X1, Y1, X2, Y2);
    ExpectFrame(kFrames[6], {0x5E, 0x5E, 0x5E, 0x5E, 0x5E, 0x5E, 0x5E}, "one tone");
    EXPECT_EQ(box.DarkAttr, 0x5E) << "the colour fields themselves change";
    EXPECT_EQ(box.BottomLeftAttr, 0x5E);
    EXPECT_EQ(box.TopRightAttr, 0x5E);
}

TEST_F(Boxes, NarrowestBoxHasOnlyCornersAndEdges) {
    WriteXY(1, 6, 7, std::string(30, 'z'));
    TMenuBox box;
    box.FrameStyle = 1;
    box.Shadow = false;
    box.Draw(10, 5, 11, 7);
    EXPECT_EQ(Code(10, 5), 0xDA);
    EXPECT_EQ(Code(11, 5), 0xBF);
    EXPECT_EQ(Code(10, 6), 0xB3);
    EXPECT_EQ(Code(11, 6), 0xB3);
    EXPECT_EQ(Ch(12, 6), 'z') << "nothing right of the right edge";
    EXPECT_EQ(Code(10, 7), 0xC0);
    EXPECT_EQ(Code(11, 7), 0xD9);
}

// The title "AB" (or Long) over the box of InnerW 9: where it lands.
TEST_F(Boxes, TitlePlacements) {
    struct Case {
        Byte align;
        std::string title;
        int col;               // first column of the written text, 0 for none
        std::string expected;  // what the row shows from there
    };
    const std::string longTitle = "ABCDEFGHIJKLM";  // 13 > InnerW 9
    const std::vector<Case> cases = {
        {0, "AB", 14, "AB"},
        {0, longTitle, 9, longTitle},             // 11 + (9 - 13) / 2
        {0, "ABCDEFGHIJKL", 10, "ABCDEFGHIJKL"},  // (9 - 12) / 2 truncates to -1
        {1, "AB", 11, "AB"},
        {2, "AB", 18, "AB"},
        {3, "AB", 0, ""},
        {4, "AB", 10, "    AB     "},
        {5, "AB", 10, "AB         "},
        {6, "AB", 10, "         AB"},
        {4, longTitle, 10, "ABCDEFGHIJK"},
        {5, longTitle, 10, "ABCDEFGHIJK"},
        {6, longTitle, 10, "ABCDEFGHIJK"},
        {7, "AB", 0, ""},
    };
    for (const auto& c : cases) {
        DoneConsole();
        memcon::Reset();
        InitConsole();
        TMenuBox box;
        box.FrameStyle = 1;
        box.Shadow = false;
        box.Title = c.title;
        box.TitleAlign = c.align;
        box.Draw(X1, Y1, X2, Y2);
        const std::string row = memcon::RowText(Y1 - 1);
        const std::string what = "align " + std::to_string(c.align) + " title " + c.title;
        if (c.col == 0) {
            EXPECT_EQ(row.substr(X1 - 1, 11), "\xDA" + std::string(9, '\xC4') + "\xBF") << what;
            continue;
        }
        EXPECT_EQ(row.substr(static_cast<std::size_t>(c.col - 1), c.expected.size()), c.expected) << what;
        EXPECT_EQ(At(c.col, Y1), 0x1F) << what;
        EXPECT_EQ(At(c.col + static_cast<int>(c.expected.size()) - 1, Y1), 0x1F) << what;
        if (c.col > 1 && c.col - 1 >= X1) {
            EXPECT_NE(At(c.col - 1, Y1), 0x1F) << what << ": the title starts where expected";
        }
    }
}

TEST_F(Boxes, TitleStartingLeftOfTheScreenIsCut) {
    TMenuBox box;
    box.Shadow = false;
    box.Title = "0123456789";
    box.Draw(1, 1, 3, 3);  // 2 + (1 - 10) / 2 = -2: three characters fall off
    EXPECT_EQ(memcon::RowText(0).substr(0, 7), "3456789");
    EXPECT_EQ(At(1, 1), 0x1F);
}

TEST_F(Boxes, ShadowShowsWhatLiesUnderItInTheShadowColour) {
    for (int y = 1; y <= 12; ++y) {
        GotoXY(1, y);
        WriteStr(std::string(40, static_cast<char>('a' + y)));
    }
    TMenuBox box;
    box.Draw(X1, Y1, X2, Y2);
    for (int y = Y1 + 1; y <= Y2 + 1; ++y)
        for (int x = X2 + 1; x <= X2 + 2; ++x) {
            EXPECT_EQ(Ch(x, y), static_cast<char>('a' + y)) << x << "," << y;
            EXPECT_EQ(At(x, y), 0) << x << "," << y;
        }
    for (int x = X1 + 2; x <= X2 + 2; ++x) EXPECT_EQ(At(x, Y2 + 1), 0) << x;
    EXPECT_EQ(At(X1 + 1, Y2 + 1), 7) << "the shadow's bottom row starts two columns in";
    EXPECT_EQ(At(X2 + 1, Y1), 7) << "the shadow starts one row down";
    EXPECT_EQ(At(X2 + 3, Y1 + 1), 7);
}

TEST_F(Boxes, ShadowIsClippedAtTheRightEdge) {
    GotoXY(1, 2);
    WriteStr(std::string(80, 'q'));
    TMenuBox box;
    box.ShadowAttr = 0x40;
    box.Draw(70, 3, 79, 6);
    for (int y = 4; y <= 7; ++y) EXPECT_EQ(At(80, y), 0x40) << y;
    for (int x = 72; x <= 80; ++x) EXPECT_EQ(At(x, 7), 0x40) << x;
    // Column 81 would be column 1 of the next row if it wrapped.
    for (int y = 4; y <= 8; ++y) EXPECT_EQ(At(1, y), 7) << y;

    TMenuBox edge;
    edge.Draw(71, 10, 80, 12);
    EXPECT_EQ(Code(80, 11), 0xDB);
    EXPECT_EQ(At(80, 11), 0x78) << "the right edge is not shaded";
    for (int y = 11; y <= 13; ++y) EXPECT_EQ(At(1, y + 1), 7);
}

TEST_F(Boxes, OnlyTheFirstDrawSavesTheScreen) {
    WriteXY(X1, Y1, 0x2A, "before");
    TMenuBox box;
    EXPECT_FALSE(box.Saved);
    box.Draw(X1, Y1, X2, Y2);
    EXPECT_TRUE(box.Saved);
    const auto cell = [&](int x, int y) { return box.Background.Data[static_cast<std::size_t>((y - 1) * 80 + x - 1)]; };
    EXPECT_EQ(cell(X1, Y1).Char & 0xFF, 'b');
    EXPECT_EQ(cell(X1, Y1).Attr, 0x2A);

    box.Draw(X1, Y1, X2, Y2);  // over itself
    EXPECT_EQ(cell(X1, Y1).Char & 0xFF, 'b') << "the second drawing keeps the first save";
    EXPECT_EQ(box.Background.X2, 80);
    EXPECT_EQ(box.Background.Y2, 25);
}

TEST_F(Boxes, PanelCells) {
    DrawPanel(X1, Y1, X2, Y2, 1);
    for (int x = X1; x <= X2; ++x) {
        EXPECT_EQ(Code(x, Y1), 0xDC) << x;
        EXPECT_EQ(At(x, Y1), 0x1F) << x;
        EXPECT_EQ(Code(x, Y2), 0xDF) << x;
        EXPECT_EQ(At(x, Y2), 0x18) << x;
    }
    // The blue bar on the second row.
    EXPECT_EQ(Code(X1, Y1 + 1), 0xDD);
    EXPECT_EQ(At(X1, Y1 + 1), 0x1F);
    EXPECT_EQ(Code(X2, Y1 + 1), 0xDE);
    EXPECT_EQ(At(X2, Y1 + 1), 0x18);
    for (int x = X1 + 1; x < X2; ++x) EXPECT_EQ(At(x, Y1 + 1), 0x18) << x;
    // The grey body.
    for (int y = Y1 + 2; y < Y2; ++y) {
        EXPECT_EQ(Code(X1, y), 0xDD);
        EXPECT_EQ(At(X1, y), 0x7F);
        EXPECT_EQ(Code(X2, y), 0xDE);
        EXPECT_EQ(At(X2, y), 0x78);
        for (int x = X1 + 1; x < X2; ++x) {
            EXPECT_EQ(Ch(x, y), ' ');
            EXPECT_EQ(At(x, y), 0x70);
        }
    }
    EXPECT_EQ(GetTextAttr(), 7);
    EXPECT_EQ(WhereX(), X2) << "the cursor follows the blue bar's spaces";
    EXPECT_EQ(WhereY(), Y1 + 1);
    EXPECT_EQ(CharAt(X1, Y1), '\xDC') << "the panel goes through the character writer";
}

TEST_F(Boxes, PanelEdgeColourFollowsTheArgument) {
    DrawPanel(X1, Y1, X2, Y2, 4);
    EXPECT_EQ(At(X1, Y1), 0x4F);
    EXPECT_EQ(At(X1, Y2), 0x48);
}

}  // namespace
