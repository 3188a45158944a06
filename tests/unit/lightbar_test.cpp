// The light-bar menu, driven key by key on the memory console. Keys queued at
// time 0 are waiting before the menu looks, so no animation step runs and
// the cells show exactly what the drawing code left.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_fixture.h"
#include "key_script.h"
#include "widgets/lightbar.h"

namespace {

constexpr int BoxX = 10, BoxY = 5, BoxW = 12;
// The default colours: the bar black on grey, other items grey on black.
constexpr int BarAttr = 0x70, ItemAttr = 0x07;

const char* const Names[] = {"alpha",   "bravo", "charlie", "delta", "echo",
                             "foxtrot", "golf",  "hotel",   "india", "juliet"};

class LightBar : public ConsoleTest {
protected:
    // A menu of the first Count names.
    static TBar Menu(int count) {
        TBar bar;
        for (int i = 0; i < count; ++i) bar.Add(Names[i]);
        return bar;
    }

    static int32_t Run(TBar& bar, const std::string& keys, int rows, int32_t start) {
        QueueKeys(keys);
        return bar.Run(BoxX, BoxY, BoxW, static_cast<Byte>(rows), start);
    }

    // The box's rows, trailing blanks removed, with "*" after the bar's item
    // (the row whose last cell has the bar's colour).
    static std::vector<std::string> Box(int rows) {
        std::vector<std::string> out;
        for (int r = 0; r < rows; ++r) {
            std::string s = memcon::RowText(BoxY + r - 1).substr(BoxX - 1, BoxW);
            s.erase(s.find_last_not_of(' ') + 1);
            if (At(BoxX + BoxW - 1, BoxY + r) == BarAttr) s += "*";
            out.push_back(s);
        }
        return out;
    }
    using Rows = std::vector<std::string>;
};

TEST_F(LightBar, StartRule) {
    struct Case {
        int32_t start;
        Rows box;
    };
    const Case cases[] = {
        {8, {"golf", "hotel", "india*", "juliet"}},     // near the end: the last page
        {2, {"charlie*", "delta", "echo", "foxtrot"}},  // room below: top row
        {12, {"alpha*", "bravo", "charlie", "delta"}},  // beyond the end: item 0
    };
    for (const auto& c : cases) {
        TBar bar = Menu(10);
        EXPECT_EQ(Run(bar, "<Esc>", 4, c.start), BarEsc);
        EXPECT_EQ(Box(4), c.box) << "start " << c.start;
    }
}

TEST_F(LightBar, MovingTheBar) {
    struct Case {
        std::string keys;
        int count, rows, start, result;
        Rows box;
    };
    const Case cases[] = {
        // No wrap-around at either end.
        {"<Up><Enter>", 10, 4, 0, 0, {"alpha*", "bravo", "charlie", "delta"}},
        {"<Down><Enter>", 10, 4, 9, 9, {"golf", "hotel", "india", "juliet*"}},
        // The fourth Down scrolls the box by one.
        {"<Down><Down><Down><Down><Up><Enter>", 10, 4, 0, 3, {"bravo", "charlie", "delta*", "echo"}},
        // Fewer items than rows: End does not scroll, PgDn does nothing,
        // PgUp goes to item 0; a row without an item is blank.
        {"<End><Enter>", 6, 7, 0, 5, {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot*", ""}},
        {"<PgDn><Enter>", 6, 7, 2, 2, {"alpha", "bravo", "charlie*", "delta", "echo", "foxtrot", ""}},
        {"<PgUp><Enter>", 6, 7, 3, 0, {"alpha*", "bravo", "charlie", "delta", "echo", "foxtrot", ""}},
        // Paging a long list: the last page may be short, and a PgDn with no
        // full page left shows the last page on the last item.
        {"<PgDn><PgDn><Enter>", 10, 4, 0, 8, {"india*", "juliet", "", ""}},
        {"<PgDn><Enter>", 10, 4, 8, 9, {"golf", "hotel", "india", "juliet*"}},
        {"<PgUp><Enter>", 10, 4, 9, 5, {"charlie", "delta", "echo", "foxtrot*"}},
        {"<Home><Enter>", 10, 4, 7, 0, {"alpha*", "bravo", "charlie", "delta"}},
    };
    for (const auto& c : cases) {
        TBar bar = Menu(c.count);
        EXPECT_EQ(Run(bar, c.keys, c.rows, c.start), c.result) << c.keys << " from " << c.start;
        EXPECT_EQ(Box(c.rows), c.box) << c.keys << " from " << c.start;
        if (c.box.back().empty()) {
            EXPECT_EQ(At(BoxX, BoxY + c.rows - 1), 7) << "a blank row is in attribute 7";
        }
    }
}

TEST_F(LightBar, ResultCodesAndTheOwnersProcedures) {
    TBar bar = Menu(10);
    std::vector<std::pair<char, int32_t>> seen;
    std::vector<int32_t> selected, lit;
    bar.OnKey = [&](char key, int32_t index) { seen.emplace_back(key, index); };
    bar.OnSelect = [&](int32_t index) { selected.push_back(index); };
    bar.OnHighlight = [&](int32_t index) { lit.push_back(index); };

    EXPECT_EQ(Run(bar, "<Down><Esc>", 4, 0), BarEsc);
    EXPECT_EQ(bar.Index, BarEsc);
    EXPECT_EQ(seen, (std::vector<std::pair<char, int32_t>>{{'\x1b', 1}})) << "extended keys do not reach OnKey";
    EXPECT_TRUE(selected.empty());

    seen.clear();
    lit.clear();
    EXPECT_EQ(Run(bar, "<Down><Down><Down><Enter>", 4, 0), 3);
    EXPECT_EQ(bar.Index, 3);
    EXPECT_EQ(selected, std::vector<int32_t>{3});
    EXPECT_EQ(seen, (std::vector<std::pair<char, int32_t>>{{'\r', 3}}));
    EXPECT_EQ(lit.front(), 0);
    EXPECT_EQ(lit[3], 3) << "each drawing of the bar is reported";

    bar.SearchFrom = 2;
    EXPECT_EQ(Run(bar, "<Left>", 4, 1), BarLeft);
    EXPECT_EQ(bar.SearchFrom, 0);
    EXPECT_EQ(Run(bar, "<Right>", 4, 1), BarRight);
}

TEST_F(LightBar, EveryPlainKeyGoesToOnKeyAndTheBoxIsRedrawn) {
    TBar bar = Menu(4);
    std::string keys;
    // The handler draws over the box, as the help screen would.
    bar.OnKey = [&](char key, int32_t) {
        keys += key;
        WriteXY(BoxX, BoxY + 1, 0x4E, "XXXXXXXXXXXX");
    };
    Run(bar, "q7<C-a><Esc>", 4, 0);
    EXPECT_EQ(keys, std::string("q7\x01\x1b"));
    EXPECT_EQ(Box(4), (Rows{"alpha*", "bravo", "charlie", "delta"})) << "drawn again after the procedure";
    EXPECT_EQ(At(BoxX, BoxY + 1), ItemAttr);
}

// A key the owner's procedure acts on (a hot key) is not searched for as
// well: "d" would put "delta" in the top row.
TEST_F(LightBar, AHotKeyIsNotSearchedAndCtrlLRedrawsTheScreen) {
    TBar bar = Menu(5);
    std::string keys;
    bar.OnKey = [&](char key, int32_t) { keys += key; };
    bar.IsHotKey = [](char key) { return key == 'd' || key == '+'; };
    EXPECT_EQ(Run(bar, "d+<Enter>", 5, 0), 0);
    EXPECT_EQ(keys, "d+\r") << "the procedure saw the keys";
    EXPECT_EQ(bar.SearchText, "");
    EXPECT_EQ(Box(5), (Rows{"alpha*", "bravo", "charlie", "delta", "echo"}));

    EXPECT_EQ(Run(bar, "v<Enter>", 5, 0), 1) << "other letters are searched";
    EXPECT_EQ(memcon::Redraws(), 0u);
    keys.clear();
    EXPECT_EQ(Run(bar, "<C-l><Enter>", 5, 0), 0);
    EXPECT_EQ(memcon::Redraws(), 1u);
    EXPECT_EQ(keys, "\r") << "Ctrl+L is the menu's own key";
}

TEST_F(LightBar, TypeAheadPutsTheMatchInTheTopRow) {
    TBar small = Menu(5);
    // A box that needs no scrolling still moves the match to the top.
    EXPECT_EQ(Run(small, "D<Enter>", 5, 0), 3);
    EXPECT_EQ(small.SearchText, "D");
    EXPECT_EQ(Box(5), (Rows{"delta*", "echo", "", "", ""}));

    TBar bar = Menu(10);
    EXPECT_EQ(Run(bar, "tel<Enter>", 4, 0), 7) << "upper-cased, anywhere in the text: hoTEL";
    EXPECT_EQ(Box(4), (Rows{"hotel*", "india", "juliet", ""}));
}

TEST_F(LightBar, FailedSearchKeepsItsCharacter) {
    TBar bar = Menu(10);
    // No item holds a Q, so "U" is searched together with it and finds
    // nothing either, although juliet holds a U.
    EXPECT_EQ(Run(bar, "qu<Enter>", 4, 0), 0);
    EXPECT_EQ(bar.SearchText, "QU");
    // The text survives the run; Backspace takes its last character only.
    EXPECT_EQ(Run(bar, "<BS><Enter>", 4, 0), 0);
    EXPECT_EQ(bar.SearchText, "Q");
    EXPECT_EQ(Run(bar, "<BS>u<Enter>", 4, 0), 9);
    EXPECT_EQ(bar.SearchText, "U");
}

TEST_F(LightBar, CtrlAFindsTheNextMatchAndCtrlYForgets) {
    TBar bar = Menu(10);
    bar.SearchX = 40;
    bar.SearchY = 2;
    bar.SearchAttr = 0x1E;
    // "O": bravo; Ctrl-A from 2: echo; from 5: foxtrot.
    EXPECT_EQ(Run(bar, "o<C-a><C-a><Enter>", 4, 0), 5);
    EXPECT_EQ(bar.SearchFrom, 5);
    EXPECT_EQ(Ch(40, 2), 'O') << "the search field shows the search text";
    EXPECT_EQ(At(40, 2), 0x1E);

    EXPECT_EQ(Run(bar, "<C-y><Enter>", 4, 5), 5);
    EXPECT_EQ(bar.SearchText, "");
    EXPECT_EQ(bar.SearchFrom, 0);
    EXPECT_EQ(Ch(40, 2), ' ');
}

TEST_F(LightBar, BarAndItemsFillTheWidthWhateverTheirPipeCodes) {
    TBar bar;
    bar.Add("|12Red");
    bar.Add("|14Yel");
    bar.Add("plain");
    WriteXY(BoxX + BoxW, BoxY, 0x5A, "!");  // just right of the box
    Run(bar, "<Enter>", 3, 0);

    EXPECT_EQ(Box(3), (Rows{"Red", "Yel", "plain"}));
    for (int c = 0; c < BoxW; ++c) {
        EXPECT_EQ(At(BoxX + c, BoxY), 0x7C) << "bar cell " << c;
        EXPECT_EQ(At(BoxX + c, BoxY + 1), 0x0E) << "item cell " << c;
        EXPECT_EQ(At(BoxX + c, BoxY + 2), ItemAttr) << "item cell " << c;
    }
    EXPECT_EQ(Ch(BoxX + BoxW, BoxY), '!') << "nothing is written beyond the width";
    EXPECT_EQ(At(BoxX + BoxW, BoxY), 0x5A);
}

TEST_F(LightBar, AnimationRipplesOnTheBarsOwnRowInAScrolledBox) {
    TBar bar = Menu(10);
    bar.AnimLowerAttr = 0x0A;
    bar.AnimUpperAttr = 0x0C;
    memcon::PressEnter(500);
    EXPECT_EQ(bar.Run(BoxX, BoxY, BoxW, 4, 8), 8);

    // Steps at 0, 60, ... 480 ms: "india" once in lower case, then four
    // letters of the upper-case pass. The key ends the wait for the step
    // due at 540 ms the moment it comes.
    EXPECT_EQ(memcon::Now(), 500u) << "the key is answered at once";
    const int row = BoxY + 2;
    EXPECT_EQ(memcon::RowText(row - 1).substr(BoxX - 1, 6), "INDIa ");
    for (int c = 0; c < 4; ++c) EXPECT_EQ(At(BoxX + c, row), 0x0C);
    EXPECT_EQ(At(BoxX + 4, row), 0x0A);
    EXPECT_EQ(At(BoxX + 5, row), BarAttr) << "the rest of the bar keeps its colour";
    EXPECT_EQ(Box(4), (Rows{"golf", "hotel", "INDIa*", "juliet"})) << "the other rows are untouched";
    EXPECT_EQ(At(BoxX, row - 1), ItemAttr);
    EXPECT_EQ(At(BoxX, row + 1), ItemAttr);
}

TEST_F(LightBar, AnimationKeepsItsPaceThroughInputThatMakesNoKey) {
    TBar bar = Menu(10);
    bar.AnimUpperAttr = 0x0C;
    // Releases of keys pressed before the menu came, while it waits.
    conapi::InputRecord release{conapi::EventType::Key, false, 'Q', 16, 'q', 0};
    for (uint32_t at : {30u, 90u, 100u, 290u}) memcon::PushEvent(release, at);
    memcon::PressEnter(500);
    EXPECT_EQ(bar.Run(BoxX, BoxY, BoxW, 4, 0), 0);
    // Still one letter every 60 ms: "alpha" in lower case at 0..240 ms,
    // then "ALPH" at 300..480 ms.
    EXPECT_EQ(memcon::RowText(BoxY - 1).substr(BoxX - 1, 6), "ALPHa ");
    EXPECT_EQ(At(BoxX + 3, BoxY), 0x0C);
    EXPECT_EQ(memcon::Now(), 500u);
}

TEST_F(LightBar, AnimationStartsOverAfterEveryKey) {
    TBar bar = Menu(10);
    bar.AnimLowerAttr = 0x0A;
    QueueKeys("<Down>", 200);   // after four letters of "alpha"
    QueueKeys("<Enter>", 350);  // "bravo" from 200 ms: letters at 200, 260, 320
    EXPECT_EQ(bar.Run(BoxX, BoxY, BoxW, 4, 0), 1);
    EXPECT_EQ(At(BoxX, BoxY + 1), 0x0A);
    EXPECT_EQ(At(BoxX + 1, BoxY + 1), 0x0A);
    EXPECT_EQ(At(BoxX + 2, BoxY + 1), 0x0A);
    EXPECT_EQ(At(BoxX + 3, BoxY + 1), BarAttr);
    EXPECT_EQ(memcon::Now(), 350u);
    EXPECT_EQ(At(BoxX, BoxY), ItemAttr) << "the old bar was redrawn as a plain item";
}

TEST_F(LightBar, ScrollBarAndMoreIndicator) {
    TBar bar = Menu(10);
    bar.ShowScrollBar = true;
    bar.ShowMore = true;
    bar.MoreX = 30;
    bar.MoreY = 3;
    Run(bar, "<Up><Enter>", 4, 8);  // item 7: thumb on row 4 * 7 / 10 = 2

    const int col = BoxX + BoxW - 1;
    const char track = '\xB0', thumb = '\xB2';
    EXPECT_EQ(std::string({Ch(col, BoxY), Ch(col, BoxY + 1), Ch(col, BoxY + 2), Ch(col, BoxY + 3)}),
              std::string({track, track, thumb, track}));
    EXPECT_EQ(At(col, BoxY), 8);
    EXPECT_EQ(At(col, BoxY + 2), 15);
    // Items hidden above only: the upper arrow, a blank, " more".
    EXPECT_EQ(memcon::RowText(2).substr(29, 7), "\xF4  more");
    EXPECT_EQ(At(30, 3), 0x08);

    // The first and the last item put the thumb on the first and the last
    // row; items hidden below show the lower arrow, on both sides both.
    const struct {
        const char* keys;
        int32_t start;
        int thumbRow;
        const char* more;
    } cases[] = {{"<Home><Enter>", 5, 0, " \xF5 more"},
                 {"<End><Enter>", 0, 3, "\xF4  more"},
                 {"<Home><Down><Down><Down><Down><Down><Enter>", 0, 2, "\xF4\xF5 more"}};
    for (const auto& c : cases) {
        Run(bar, c.keys, 4, c.start);
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(Ch(col, BoxY + r), r == c.thumbRow ? thumb : track) << c.keys << " row " << r;
        EXPECT_EQ(memcon::RowText(2).substr(29, 7), c.more) << c.keys;
    }
}

TEST_F(LightBar, SpecialKeysEndTheRunAndPagingGoesToTheOwner) {
    TBar bar = Menu(10);
    bar.SpecialKeys = true;
    std::string keys;
    bar.OnKey = [&](char key, int32_t) { keys += key; };
    EXPECT_EQ(Run(bar, "<PgDn>x+", 4, 0), BarPlus);
    EXPECT_EQ(keys, "]x+");
    EXPECT_EQ(bar.SearchText, "") << "no type-ahead with SpecialKeys";
    EXPECT_EQ(Run(bar, "-", 4, 0), BarMinus);
    EXPECT_EQ(Run(bar, "*", 4, 0), BarStar);
    EXPECT_EQ(Run(bar, "/", 4, 0), BarSlash);
    EXPECT_EQ(Run(bar, "<BS>", 4, 0), BarBackspace);
}

}  // namespace
