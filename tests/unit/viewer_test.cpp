// The text viewer, driven key by key on the memory console. Most tests queue
// keys and let the viewer run until it asks for one more: the memory console
// then throws InputExhausted, and the screen shows the page as it stood after
// the last key.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <map>
#include <string>

#include "app_fixture.h"
#include "sys/fault_counter.h"
#include "console/conapi.h"
#include "console_fixture.h"
#include "key_script.h"
#include "viewer/text_viewer.h"

namespace {

using apptest::FillScreen;
using apptest::ReadFile;
using apptest::WriteFile;

// The window most tests use: columns 12..31 (31 holds the scroll bar), rows
// 3..7 (a Height of 4 counts the rows below the first).
constexpr int X = 12, Y = 3, W = 20, H = 4;
constexpr int BarCol = X + W - 1;

constexpr Byte KeyUp = 72, KeyDown = 80, KeyPgUp = 73, KeyPgDn = 81, KeyLeft = 75, KeyRight = 77, KeyHome = 71,
               KeyEnd = 79, KeyIns = 82;

// Outside the window: no drawing of the viewer may reach these cells.
constexpr char Bg = '#';
constexpr Byte BgAttr = 0x22;

// "line00\nline01\n..." with N lines.
std::string Numbered(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "line" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "\n";
    return text;
}

std::string LineName(int i) { return "line" + std::string(i < 10 ? "0" : "") + std::to_string(i); }

// N numbered lines, some of them replaced by other texts.
std::string Lines(int n, const std::map<int, std::string>& special) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        const auto it = special.find(i);
        text += (it == special.end() ? LineName(i) : it->second) + "\n";
    }
    return text;
}

class Viewer : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        FillScreen(Bg, BgAttr);
        file_ = dir_ / "text.txt";
    }

    void Load(const std::string& bytes) { WriteFile(file_, bytes); }

    // Runs the viewer on the file until the queued keys are used up.
    void ViewUntilOutOfKeys(int x = X, int y = Y, int w = W, int h = H) {
        EXPECT_THROW(
            ViewTextFile(file_, static_cast<Byte>(x), static_cast<Byte>(y), static_cast<Byte>(w), static_cast<Byte>(h)),
            memcon::InputExhausted);
    }

    static void Keys(std::initializer_list<Byte> codes) {
        for (Byte c : codes) memcon::PressExtended(c);
    }
    static void Repeat(Byte code, int n) {
        for (int i = 0; i < n; ++i) memcon::PressExtended(code);
    }
    static void Type(const std::string& text) { memcon::TypeText(text); }

    // Ctrl+F with Word typed over the previous one, then Enter and YES.
    static void Find(const std::string& word) {
        memcon::PressCtrl('f');
        memcon::PressCtrl('y');
        Type(word);
        memcon::PressEnter();
        memcon::PressEnter();
    }

    // The text part of window row I (0-based), trailing blanks removed.
    static std::string TextRow(int i, int x = X, int w = W) {
        std::string s =
            memcon::RowText(Y + i - 1).substr(static_cast<std::size_t>(x - 1), static_cast<std::size_t>(w - 1));
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    }

    apptest::TempDir dir_;
    std::string file_;
};

// --- Loading -----------------------------------------------------------------------

TEST_F(Viewer, SplitsAtCrLfLoneCrAndLoneLfWithoutAnEmptyLastLine) {
    Load("one\r\ntwo\rthree\n\r\n\rsix\n");  // the fourth and fifth lines are empty
    ViewUntilOutOfKeys(X, Y, W, 6);
    const char* expected[] = {"one", "two", "three", "", "", "six"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(TextRow(i), expected[i]) << i;
        EXPECT_EQ(At(X, Y + i), 0x07) << i << ": drawn in the text colour";
    }
    EXPECT_EQ(At(X, Y + 6), 0x00) << "no seventh line: the row was only blanked";
    EXPECT_EQ(Ch(X, Y + 6), ' ');
}

TEST_F(Viewer, EmptyFileBlanksTheWindowAndReturnsWithoutAKey) {
    Load("");
    ViewTextFile(file_, X, Y, W, H);  // no key queued: must not wait
    for (int y = Y; y <= Y + H; ++y)
        for (int x = X; x < X + W; ++x) {
            ASSERT_EQ(Ch(x, y), ' ') << x << "," << y;
            ASSERT_EQ(At(x, y), 0x00) << x << "," << y;
        }
    EXPECT_EQ(Ch(X - 1, Y), Bg);
    EXPECT_EQ(Ch(X + W, Y), Bg);
    EXPECT_EQ(Ch(X, Y + H + 1), Bg);
    EXPECT_EQ(Ch(X, Y - 1), Bg);
}

TEST_F(Viewer, TextInMemorySplitsAndScrollsAsItsFileWould) {
    const std::string text = "one\r\ntwo\rthree\n\r\n\rsix\n|15seven\neight";
    Load(text);
    Keys({80});  // Down: one line on
    ViewUntilOutOfKeys(X, Y, W, 4);
    std::vector<std::string> fromFile;
    for (int y = 1; y <= 25; ++y) fromFile.push_back(Row(y));

    FillScreen(Bg, BgAttr);
    Keys({80});
    EXPECT_THROW(ViewText(text, X, Y, W, 4), memcon::InputExhausted);
    const char* expected[] = {"two", "three", "", "", "six"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(TextRow(i), expected[i]) << i;
    for (int y = 1; y <= 25; ++y) EXPECT_EQ(Row(y), fromFile[static_cast<std::size_t>(y - 1)]) << "row " << y;

    // An empty text blanks the window and needs no key.
    FillScreen(Bg, BgAttr);
    ViewText("", X, Y, W, H);
    EXPECT_EQ(Ch(X, Y), ' ');
    EXPECT_EQ(At(X, Y), 0x00);
}

TEST_F(Viewer, MissingFileShowsOneBlankLine) {
    ViewUntilOutOfKeys();  // the file was never written
    EXPECT_EQ(TextRow(0), "");
    EXPECT_EQ(At(X, Y), 0x07) << "one line is drawn";
    EXPECT_EQ(At(X, Y + 1), 0x00) << "and only one";
}

TEST_F(Viewer, TabEnterAndEscLeaveAndLeaveLaterKeysQueued) {
    Load(Numbered(3));
    for (char leave : {'\t', '\r', '\x1b'}) {
        if (leave == '\t') memcon::PressTab();
        if (leave == '\r') memcon::PressEnter();
        if (leave == '\x1b') memcon::PressEsc();
        Type("x");
        ViewTextFile(file_, X, Y, W, H);
        EXPECT_EQ(ReadKey(), 'x') << "the key after the leave key is still there";
    }
}

// --- Page layout and the scroll bar ---------------------------------------------------

TEST_F(Viewer, WindowHasHeightPlusOneRowsAndNothingOutsideIsTouched) {
    Load(Numbered(20));
    ViewUntilOutOfKeys();
    for (int i = 0; i <= H; ++i) EXPECT_EQ(TextRow(i), LineName(i));
    EXPECT_EQ(Ch(X, Y + H + 1), Bg) << "the row below the window is not drawn";
    EXPECT_EQ(At(X, Y + H + 1), BgAttr);
    EXPECT_EQ(Ch(X - 1, Y), Bg);
    EXPECT_EQ(Ch(X + W, Y + H), Bg);
    EXPECT_EQ(Ch(X, Y - 1), Bg);
}

TEST_F(Viewer, ScrollBarTrackAndThumb) {
    // 20 lines, Height 4: size trunc(16/20) = 0 -> 1, so the thumb covers two
    // cells; the track covers Height cells, the last row gets none.
    Load(Numbered(20));
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(BarCol, Y), 0x70);
    EXPECT_EQ(At(BarCol, Y + 1), 0x70);
    EXPECT_EQ(At(BarCol, Y + 2), 0x07);
    EXPECT_EQ(At(BarCol, Y + 3), 0x07);
    for (int y = Y; y < Y + H; ++y) EXPECT_EQ(Ch(BarCol, y), ' ');

    // At the bottom: TopLine 15, position trunc(15 / 20 * 4) = 3.
    Repeat(KeyPgDn, 5);
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line15");
    EXPECT_EQ(At(BarCol, Y + 2), 0x07);
    EXPECT_EQ(At(BarCol, Y + 3), 0x70);
    EXPECT_EQ(At(BarCol, Y + 4), 0x70);

    // The last row gets no track cell: in white on blue it keeps the text's
    // colour there.
    memcon::PressCtrl('r');
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(BarCol, Y + H - 1), 0x07);
    EXPECT_EQ(At(BarCol, Y + H), 0x1F);
}

TEST_F(Viewer, ScrollBarThumbSizeFollowsTheTextLength) {
    // Height 10 and 25 lines: size trunc(100 / 25) = 4, so five thumb cells.
    Load(Numbered(25));
    ViewUntilOutOfKeys(X, Y, W, 10);
    for (int y = Y; y <= Y + 4; ++y) EXPECT_EQ(At(BarCol, y), 0x70) << y;
    for (int y = Y + 5; y < Y + 10; ++y) EXPECT_EQ(At(BarCol, y), 0x07) << y;

    // Three lines: trunc(16 / 3) = 5 is cut to Height, Height + 1 cells.
    Load(Numbered(3));
    FillScreen(Bg, BgAttr);
    ViewUntilOutOfKeys();
    for (int y = Y; y <= Y + H; ++y) EXPECT_EQ(At(BarCol, y), 0x70) << y;
    EXPECT_EQ(Ch(BarCol, Y + H + 1), Bg);
}

// --- Vertical movement ----------------------------------------------------------------

TEST_F(Viewer, ShortTextDoesNotMove) {
    Load(Numbered(3));
    Keys({KeyDown, KeyPgDn, KeyDown, KeyUp, KeyPgUp, KeyUp});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line00");
    EXPECT_EQ(TextRow(2), "line02");
}

TEST_F(Viewer, OneLineMoreThanTheWindowScrollsOnce) {
    Load(Numbered(H + 2));
    Keys({KeyDown});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line01");
    EXPECT_EQ(TextRow(H), LineName(H + 1)) << "the last line reaches the bottom row";

    Keys({KeyDown, KeyDown, KeyDown, KeyPgDn});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line01") << "further Down presses change nothing";
    EXPECT_EQ(TextRow(H), LineName(H + 1));

    // One Up after many Downs moves at once: the line index was clamped.
    Keys({KeyDown, KeyDown, KeyDown, KeyUp});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line00");
}

TEST_F(Viewer, PagesMoveByHeightAndNeverAboveTheFirstLine) {
    Load(Numbered(20));
    Keys({KeyPgDn});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line04");

    Keys({KeyPgDn, KeyPgDn, KeyUp, KeyPgUp});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line03");

    Keys({KeyPgDn, KeyPgUp, KeyPgUp, KeyUp, KeyUp});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line00");
    Keys({KeyUp, KeyDown});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line01") << "Up at the top did not go below 0";
}

// --- Horizontal movement --------------------------------------------------------------

TEST_F(Viewer, LongLinesAreCutAtWidthMinusOne) {
    const std::string longLine = "abcdefghijklmnopqrstuvwxyz0123";  // 30 characters
    Load(longLine + "\nshort\n");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), longLine.substr(0, W - 1));
    EXPECT_EQ(Ch(BarCol, Y), ' ') << "the scroll bar column shows no text";

    Keys({KeyRight, KeyRight});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), longLine.substr(2, W - 1));
    EXPECT_EQ(TextRow(1), "ort");

    // End: the longest line's last character stands in the last text
    // column, the one left of the scroll bar.
    Keys({KeyEnd});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "lmnopqrstuvwxyz0123");
    EXPECT_EQ(Ch(BarCol - 1, Y), '3');
    EXPECT_EQ(TextRow(1), "");

    Keys({KeyEnd, KeyLeft});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "klmnopqrstuvwxyz012");

    Keys({KeyEnd, KeyHome});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), longLine.substr(0, W - 1));

    Keys({KeyLeft, KeyLeft, KeyRight});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), longLine.substr(1, W - 1)) << "Left stops at the first character";
}

TEST_F(Viewer, RightGoesOnPastEveryLineEnd) {
    Load("abc\ndefgh\n");
    Repeat(KeyRight, 40);
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "");
    EXPECT_EQ(TextRow(1), "");
    EXPECT_EQ(At(X, Y), 0x07) << "the rows are still drawn, blank";

    Repeat(KeyRight, 40);
    Keys({KeyHome});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(1), "defgh");

    // The offset is not bounded by the longest line: two steps back from 7
    // still show nothing.
    Repeat(KeyRight, 7);
    Repeat(KeyLeft, 2);
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(1), "");
    Repeat(KeyLeft, 2);
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(1), "defgh");
}

TEST_F(Viewer, EndLeavesFittingLinesAlone) {
    Load("short\nlines only\n");
    Keys({KeyEnd});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(1), "lines only");
}

TEST_F(Viewer, PipeCodesColourTheRowAndCountAsThreeCharacters) {
    Load("|15abc\n|15" + std::string(19, 'x') + "\n");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "abc");
    EXPECT_EQ(At(X, Y), 0x0F);
    EXPECT_EQ(TextRow(1), std::string(16, 'x')) << "the code uses three of the 19 characters";
    EXPECT_EQ(At(X + 15, Y + 1), 0x0F);
    EXPECT_EQ(Ch(X + 16, Y + 1), ' ');
    EXPECT_EQ(Ch(X + W, Y + 1), Bg) << "padding hides the code's width exactly";

    // A code cut by the left edge shows what remains of it as text.
    Keys({KeyRight});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "15abc");
    EXPECT_EQ(At(X, Y), 0x07);
    Keys({KeyRight, KeyRight});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "5abc");
}

// --- Colours --------------------------------------------------------------------------

TEST_F(Viewer, SlashAndStarFromTheStartGiveAWhiteBackground) {
    Load("text\n");
    Type("/");
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(X, Y), 0xF7);
    Type("*");
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(X, Y), 0xF7);
}

TEST_F(Viewer, StarFromALowBackgroundGivesNine) {
    Load("text\n");
    memcon::PressCtrl('r');  // background 1
    Type("*");
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(X, Y), 0x9F);

    memcon::PressCtrl('r');
    Type("////*");  // 5, then 4 -> 9
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(X, Y), 0x9F);

    memcon::PressCtrl('r');
    Type("////////////////");  // up to 15, not beyond
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(X, Y), 0xFF);
    Type("/////////////////*");
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(X, Y), 0xE7) << "15 - 1 = 14 is kept";
}

TEST_F(Viewer, ForegroundStopsAtFifteenAndAtZero) {
    Load("text\n");
    Type("++++++++++");
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(X, Y), 0x0F);

    Type("----------");
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(X, Y), 0x00);

    Type("---------+");  // stopped at 0, so one "+" gives 1
    ViewUntilOutOfKeys();
    EXPECT_EQ(At(X, Y), 0x01);
}

TEST_F(Viewer, CtrlRResetsColoursAndPosition) {
    Load(Numbered(20));
    Keys({KeyPgDn, KeyRight, KeyRight});
    Type("--/");
    memcon::PressCtrl('r');
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line00");
    EXPECT_EQ(At(X, Y), 0x1F);
    EXPECT_EQ(At(X + 10, Y + H), 0x1F);
}

// --- Search ---------------------------------------------------------------------------

TEST_F(Viewer, FindPutsTheMatchOnTopAndHighlightsIt) {
    Load(Lines(25, {{12, "a Needle here"}}));
    Find("needle");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "a Needle here");
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(At(X + 2 + i, Y), 0x47) << i;
        EXPECT_EQ(Ch(X + 2 + i, Y), "Needle"[i]);
    }
    EXPECT_EQ(At(X + 1, Y), 0x07);
    EXPECT_EQ(At(X + 8, Y), 0x07);
    EXPECT_EQ(At(X + 2, Y + 1), 0x07) << "only the first row is highlighted";
}

TEST_F(Viewer, MatchNearTheEndShowsAFullLastPage) {
    Load(Lines(20, {{18, "needle"}}));
    Find("needle");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line15") << "the line index is clamped before drawing";
    EXPECT_EQ(TextRow(H), "line19");
    // The match is highlighted where it stands, on the fourth row.
    EXPECT_EQ(TextRow(3), "needle");
    for (int i = 0; i < 6; ++i) EXPECT_EQ(At(X + i, Y + 3), 0x47) << i;
    for (int row : {0, 1, 2, 4}) EXPECT_EQ(At(X, Y + row), 0x07) << "row " << row;
}

TEST_F(Viewer, HighlightKeepsTheForegroundOfTheColoursInForce) {
    Load(Lines(10, {{3, "the word"}}));
    memcon::PressCtrl('r');  // white on blue 0x1F; highlight 0x1F - 16 + 64
    Find("WORD");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "the word");
    EXPECT_EQ(At(X + 4, Y), 0x4F);
    EXPECT_EQ(At(X + 3, Y), 0x1F);
}

TEST_F(Viewer, SearchFoldsOnlyLettersAToZ) {
    const std::string text = Lines(12, {{0, "zero"}, {1, "line [one]"}, {2, "at @two"}, {3, "MiXeD Case"}});
    Load(text);
    Find("mixed case");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "MiXeD Case");

    // "{" and "`" are "[" and "@" plus 32, yet neither matches them.
    Find("{one");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "zero");
    EXPECT_EQ(At(X, Y), 0x07);
    Find("`two");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "zero");
    Find("[ONE");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line [one]");
}

TEST_F(Viewer, NoMatchLeavesThePageAndTurnsTheHighlightOff) {
    Load(Lines(20, {{3, "needle"}}));
    Find("needle");
    Find("haystack");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "needle");
    EXPECT_EQ(At(X, Y), 0x07);
}

TEST_F(Viewer, MovingTurnsTheHighlightOff) {
    Load(Lines(20, {{3, "needle"}}));
    Find("needle");
    Keys({KeyRight, KeyLeft});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "needle");
    EXPECT_EQ(At(X, Y), 0x07);
}

TEST_F(Viewer, FarMatchScrollsItToTheFirstColumn) {
    // The match starts at character 21, beyond Width 20.
    Load(Lines(20, {{5, std::string(20, '.') + "needle"}}));
    Find("needle");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "needle");
    EXPECT_EQ(At(X, Y), 0x47);
    EXPECT_EQ(At(X + 5, Y), 0x47);
    EXPECT_EQ(At(X + 6, Y), 0x07);
}

TEST_F(Viewer, NearMatchKeepsTheOffsetAndIsClippedToTheWindow) {
    // The match starts at character 20 = Width: no scrolling. It begins in
    // the scroll bar's column (a track cell here) and runs out of the window.
    Load(Lines(20, {{5, std::string(19, '.') + "needle"}}));
    Find("needle");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), std::string(19, '.'));
    EXPECT_EQ(At(BarCol, Y), 0x47);
    EXPECT_EQ(At(X + 18, Y), 0x07);
    for (int x = BarCol + 1; x <= BarCol + 5; ++x) {
        EXPECT_EQ(Ch(x, Y), Bg) << x;
        EXPECT_EQ(At(x, Y), BgAttr) << x;
    }
}

TEST_F(Viewer, NearMatchLeftOfTheViewIsClipped) {
    Load(Lines(20, {{5, "abcdneedle"}}));
    Repeat(KeyRight, 12);
    Find("needle");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "") << "the offset of 12 stays";
    for (int x = 1; x < X; ++x) {
        EXPECT_EQ(Ch(x, Y), Bg) << x;
        EXPECT_EQ(At(x, Y), BgAttr) << x;
    }

    Repeat(KeyRight, 2);
    Find("needle");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "cdneedle");
    EXPECT_EQ(At(X + 1, Y), 0x07);
    EXPECT_EQ(At(X + 2, Y), 0x47) << "found at 5, offset 2: the third cell";
}

TEST_F(Viewer, PipeCodesBeforeTheMatchShiftTheHighlight) {
    Load(Lines(20, {{5, "|15ab needle"}}));
    Find("needle");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "ab needle");
    // The visible word starts at X + 3; its raw position 7 puts the
    // highlight at X + 6, three cells to the right.
    EXPECT_EQ(At(X + 3, Y), 0x0F);
    EXPECT_EQ(At(X + 5, Y), 0x0F);
    for (int x = X + 6; x <= X + 11; ++x) EXPECT_EQ(At(x, Y), 0x4F) << x;
    EXPECT_EQ(Ch(X + 6, Y), 'd');
    EXPECT_EQ(At(X + 12, Y), 0x0F);
}

TEST_F(Viewer, FindAgainGoesToTheNextMatch) {
    Load(Lines(20, {{2, "needle one"}, {7, "needle two"}}));
    Find("needle");
    memcon::PressCtrl('g');
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "needle two");
    EXPECT_EQ(At(X, Y), 0x47);
}

TEST_F(Viewer, FindAgainWalksEveryMatchOnTheLastPage) {
    // Matches on lines 16, 17 and 19 of 20: the last page (lines 15..19)
    // holds them all, so each stands below the first row.
    Load(Lines(20, {{16, "a needle"}, {17, "b needle"}, {19, "c needle"}}));
    const std::pair<int, std::string> expected[] = {{1, "a needle"}, {2, "b needle"}, {4, "c needle"}};
    for (int presses = 0; presses < 3; ++presses) {
        const auto& [row, text] = expected[presses];
        Find("needle");
        for (int i = 0; i < presses; ++i) memcon::PressCtrl('g');
        ViewUntilOutOfKeys();
        EXPECT_EQ(TextRow(0), "line15");
        EXPECT_EQ(TextRow(row), text);
        for (int r = 0; r <= H; ++r) EXPECT_EQ(At(X + 2, Y + r), r == row ? 0x47 : 0x07) << text << " row " << r;
    }
}

TEST_F(Viewer, FindAgainAtTheEndAndWithoutAWordDoesNothing) {
    // The only match is on the last line: Ctrl+G shows nothing new.
    Load(Lines(11, {{10, "needle"}}));
    Find("needle");
    ViewUntilOutOfKeys();
    const std::string after = TextRow(0);
    const int attr = At(X, Y);
    Find("needle");
    memcon::PressCtrl('g');
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), after);
    EXPECT_EQ(At(X, Y), attr);

    // A one-row window keeps the last line on top: Ctrl+G searches no line
    // and the highlight stays.
    Find("needle");
    memcon::PressCtrl('g');
    ViewUntilOutOfKeys(X, Y, W, 0);
    EXPECT_EQ(TextRow(0), "needle");
    EXPECT_EQ(At(X, Y), 0x47);

    // No word yet: nothing happens.
    Load(Lines(13, {{2, "needle"}}));
    memcon::PressCtrl('g');
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line00");
}

TEST_F(Viewer, CtrlYForgetsTheWord) {
    Load(Lines(20, {{2, "needle"}, {6, "needle"}}));
    Find("needle");
    memcon::PressCtrl('y');
    memcon::PressCtrl('g');
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "needle") << "Ctrl+G had no word to look for";
    EXPECT_EQ(At(X, Y), 0x07) << "and the highlight is off";
}

TEST_F(Viewer, FindAnsweredNoKeepsTheWordAndTurnsTheHighlightOff) {
    Load(Lines(13, {{2, "needle"}}));
    Find("needle");
    memcon::PressCtrl('f');
    memcon::PressEnter();
    Type("n");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "needle");
    EXPECT_EQ(At(X, Y), 0x07);

    // The dialog opens with the last word, whatever the answer was.
    memcon::PressCtrl('f');
    Type("needle");
    memcon::PressEnter();
    Type("n");
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line00") << "NO does not search";
    memcon::PressCtrl('f');
    Type("needle");
    memcon::PressEnter();
    Type("n");
    memcon::PressCtrl('f');
    memcon::PressEnter();
    memcon::PressEnter();
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "needle");
}

TEST_F(Viewer, UnknownKeysKeepTheHighlight) {
    Load(Lines(13, {{2, "needle"}}));
    Find("needle");
    Keys({KeyIns});
    Type("q");
    memcon::PressFunction(5);
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "needle");
    EXPECT_EQ(At(X, Y), 0x47);
}

// --- Pasted text -------------------------------------------------------------------------

// Pasted into the search field, several lines with keys of the viewer in
// them are one search word; nothing of them acts on the viewer.
TEST_F(Viewer, APasteInTheFindBoxIsTheSearchWord) {
    Load(Lines(25, {{12, "see a-h /t x here"}}));
    memcon::PressCtrl('f');
    QueuePaste("a-h\r\n/t\tx");
    memcon::PressEnter();
    memcon::PressEnter();
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "see a-h /t x here") << "found the pasted word";
    EXPECT_EQ(At(X + 4, Y), 0x47);
    EXPECT_EQ(At(X, Y + 1), 0x07) << "the colour keys of the paste did nothing";
}

TEST_F(Viewer, APasteWithoutAFieldDoesNothing) {
    Load(Numbered(20));
    QueuePaste("+/\r\t\x1b\nq");
    Keys({KeyPgDn});
    QueuePaste("--");
    ViewUntilOutOfKeys();  // neither Enter, Tab nor Esc of the paste left
    EXPECT_EQ(TextRow(0), "line04");
    EXPECT_EQ(At(X, Y), 0x07);
}

// --- Saving ---------------------------------------------------------------------------

class ViewerSave : public Viewer {
protected:
    static void Save(const std::string& name, bool yes = true) {
        memcon::PressCtrl('s');
        Type(name);
        memcon::PressEnter();
        Type(yes ? "y" : "n");
    }
};

#ifndef _WIN32  // POSIX file semantics: links, file size limits, /proc
TEST_F(ViewerSave, WritesEveryLineWithCrLfReplacingAFile) {
    WriteFile(dir_ / "out.txt", std::string(500, 'z'));
    // The reader's own files beside the target, one under the name a fixed
    // temporary name would take, one a link: neither is touched.
    WriteFile(dir_ / "out.txt.part", "mine");
    WriteFile(dir_ / "victim", "kept");
    std::filesystem::create_symlink(dir_ / "victim", dir_ / "linked.txt");
    Load("first |15line\nsecond\r\n\nlast");
    Find("second");  // the highlight plays no part
    Save(dir_ / "out.txt");
    Save(dir_ / "linked.txt");
    ViewUntilOutOfKeys();
    EXPECT_EQ(ReadFile(dir_ / "out.txt"), "first |15line\r\nsecond\r\n\r\nlast\r\n");
    EXPECT_EQ(At(X, Y + 1), 0x47) << "the highlight is left as it was, on the second line";
    EXPECT_EQ(ReadFile(dir_ / "out.txt.part"), "mine");
    EXPECT_EQ(ReadFile(dir_ / "victim"), "kept") << "the link is replaced, not followed";
    EXPECT_EQ(ReadFile(dir_ / "linked.txt"), ReadFile(dir_ / "out.txt"));
    EXPECT_EQ(dir_.Files(), (std::vector<std::string>{"linked.txt", "out.txt", "out.txt.part", "text.txt", "victim"}))
        << "no temporary file is left";
}
#endif

#ifndef _WIN32  // POSIX file semantics: links, file size limits, /proc
TEST_F(ViewerSave, TheRunningProgramIsRefusedUnderAnyName) {
    // A link and a hard link to the test's own executable: saving over
    // either would replace (or, through the link, rewrite) a running program.
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    std::filesystem::create_symlink(self, dir_ / "prog");
    std::error_code noHardLink;
    std::filesystem::create_hard_link(self, dir_ / "hard", noHardLink);
    const auto size = std::filesystem::file_size(self);
    Load("ab\n");
    Save(dir_ / "prog");
    ViewUntilOutOfKeys();
    EXPECT_NE(memcon::RowText(12).find("not saved: that is the running program"), std::string::npos)
        << memcon::RowText(12);
    Type("x");
    if (!noHardLink) Save(dir_ / "hard");
    ViewUntilOutOfKeys();
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "prog"));
    EXPECT_EQ(std::filesystem::file_size(self), size);
    if (!noHardLink) {
        EXPECT_NE(memcon::RowText(12).find("not saved: that is the running program"), std::string::npos);
        EXPECT_EQ(std::filesystem::file_size(dir_ / "hard"), size);
    }
}
#endif

#ifndef _WIN32  // POSIX file semantics: links, file size limits, /proc
TEST_F(ViewerSave, WriteFailurePartWayKeepsTheTargetAndLeavesNoTemporaryFile) {
    // Writes past 64 KiB fail in this process, as on a full disk.
    class FileSizeLimit {
    public:
        explicit FileSizeLimit(rlim_t bytes) {
            getrlimit(RLIMIT_FSIZE, &old_);
            oldHandler_ = signal(SIGXFSZ, SIG_IGN);
            rlimit limit = old_;
            limit.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        ~FileSizeLimit() {
            setrlimit(RLIMIT_FSIZE, &old_);
            signal(SIGXFSZ, oldHandler_);
        }

    private:
        rlimit old_{};
        sighandler_t oldHandler_;
    };
    WriteFile(dir_ / "out.txt", "old");
    Load(std::string(100000, 'a') + "\n");
    {
        FileSizeLimit limit(64 * 1024);
        Save(dir_ / "out.txt");
        ViewUntilOutOfKeys();
    }
    EXPECT_NE(memcon::RowText(12).find("not saved: File too large"), std::string::npos) << memcon::RowText(12);
    EXPECT_EQ(ReadFile(dir_ / "out.txt"), "old");
    EXPECT_EQ(dir_.Files(), (std::vector<std::string>{"out.txt", "text.txt"}));
}
#endif

TEST_F(ViewerSave, ATextThatCouldNotBeReadIsNeverSavedInItsPlace) {
    WriteFile(dir_ / "out.txt", "the reader's own");
    Load("the article\n");
    Save(dir_ / "out.txt");
    {
        // The viewer opens its file (call 1) and reads it (call 2): the read fails.
        struct FaultPlan {
            FaultPlan() { faults::Plan(2, EIO, faults::Mode::Once); }
            ~FaultPlan() { faults::Clear(); }
        } plan;
        ViewUntilOutOfKeys();
    }
    EXPECT_NE(memcon::RowText(12).find("not saved: the text could not be read"), std::string::npos)
        << memcon::RowText(12);
    EXPECT_EQ(ReadFile(dir_ / "out.txt"), "the reader's own");
    EXPECT_EQ(dir_.Files(), (std::vector<std::string>{"out.txt", "text.txt"}));
}

TEST_F(ViewerSave, MissingFileSavesOneSpace) {
    Save(dir_ / "out.txt");
    ViewUntilOutOfKeys();
    EXPECT_EQ(ReadFile(dir_ / "out.txt"), " \r\n");
}

TEST_F(ViewerSave, NoOrAnEmptyNameSavesNothing) {
    Load("ab\n");
    Save(dir_ / "out.txt", false);
    Save("");
    ViewUntilOutOfKeys();
    EXPECT_EQ(dir_.Files(), std::vector<std::string>{"text.txt"});
}

TEST_F(ViewerSave, ImpossibleNameKeepsTheViewerOpen) {
    Load(Numbered(20));
    Save(dir_ / "no/such/folder.txt");
    ViewUntilOutOfKeys();
    // A framed box in the dialog's place waits for a key.
    EXPECT_EQ(static_cast<Byte>(Ch(15, 12)), 0xDA);
    EXPECT_EQ(static_cast<Byte>(Ch(67, 16)), 0xD9);

    Save(dir_ / "no/such/folder.txt");
    Type("x");  // closes the box
    Keys({KeyDown});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line01") << "the viewer went on";
    EXPECT_EQ(dir_.Files(), std::vector<std::string>{"text.txt"});
}

TEST_F(ViewerSave, FailedSaveLeavesAnExistingFileAlone) {
    // A file the program may not replace, even as root.
    const std::string target = "/proc/version";
    if (!apptest::Exists(target)) GTEST_SKIP() << "no /proc here";
    const std::string before = ReadFile(target);
    Load("ab\n");
    Save(target);
    Type("x");
    ViewUntilOutOfKeys();
    EXPECT_EQ(ReadFile(target), before);
    EXPECT_EQ(TextRow(0), "ab");
}

// --- Help box and full-screen mode ----------------------------------------------------

TEST_F(Viewer, HelpBoxCells) {
    constexpr int HX = 3, HY = 2, HW = 60, HH = 18;
    Load(Numbered(30));
    memcon::PressFunction(1);
    ViewUntilOutOfKeys(HX, HY, HW, HH);  // stops in the box's wait
    EXPECT_EQ(Row(HY + 3).substr(HX + 6, 4), "Help");
    EXPECT_EQ(At(HX + 7, HY + 3), 0x1F);
    const char* lines[] = {"+-       : Change Font Color", "/*       : Change Background Color",
                           "CTRL + R : Resets Viewer",     "CTRL + F : Search",
                           "CTRL + G : Repeat Search",     "CTRL + S : Save file to disk"};
    for (int i = 0; i < 6; ++i) {
        const std::string text = lines[i];
        EXPECT_EQ(Row(HY + 5 + i).substr(HX + 8, text.size()), text);
        EXPECT_EQ(At(HX + 9, HY + 5 + i), 0x70);
        EXPECT_EQ(At(HX + 8 + static_cast<int>(text.size()), HY + 5 + i), 0x70);
    }
    EXPECT_EQ(Row(HY + 12).substr(HX + 8, 16), "Press any key...");
    // The sunken single frame.
    EXPECT_EQ(static_cast<Byte>(Ch(HX + 6, HY + 4)), 0xDA);
    EXPECT_EQ(static_cast<Byte>(Ch(HX + HW - 11, HY + 13)), 0xD9);
}

TEST_F(Viewer, HelpBoxEatsOnlyTheFirstByteOfAnExtendedKey) {
    constexpr int HX = 3, HY = 2, HW = 60, HH = 18;
    Load(Numbered(30));
    memcon::PressFunction(1);
    memcon::PushKeyPress('X', 45, 0, conapi::LeftAltPressed);  // Alt+X: 0, 45
    ViewUntilOutOfKeys(HX, HY, HW, HH);
    EXPECT_EQ(At(HX, HY), 0x06) << "45 acted as \"-\"";
    EXPECT_EQ(Row(HY + 5).substr(HX - 1, 20), "line05" + std::string(14, ' ')) << "the rows cover the box again";

    memcon::PressFunction(1);
    Keys({KeyDown});  // 0 closes the box, 80 is "P": nothing
    ViewUntilOutOfKeys(HX, HY, HW, HH);
    EXPECT_EQ(Row(HY).substr(HX - 1, 6), "line00");
}

TEST_F(Viewer, FullScreenPagesBy24AndLeavingRestoresTheScreen) {
    Load(Numbered(60));
    memcon::PressFunction(10);
    Keys({KeyPgDn});
    ViewUntilOutOfKeys();
    EXPECT_EQ(Row(1), "line24");
    EXPECT_EQ(Row(25), "line48");
    // The bar in column 80: 60 lines, Height 24: thumb of 9 + 1 cells from
    // row 1 + trunc(24 / 60 * 24) = 10.
    EXPECT_EQ(At(80, 1), 0x07);
    EXPECT_EQ(At(80, 10), 0x70);
    EXPECT_EQ(At(80, 19), 0x70);
    EXPECT_EQ(At(80, 20), 0x07);

    FillScreen(Bg, BgAttr);
    memcon::PressFunction(10);
    Keys({KeyPgDn});
    memcon::PressFunction(10);
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line24") << "the page stays, in the caller's window";
    EXPECT_EQ(TextRow(H), "line28");
    for (int y = 1; y <= 25; ++y) {
        if (y >= Y && y <= Y + H) continue;
        ASSERT_EQ(Row(y), std::string(80, Bg)) << "row " << y;
        ASSERT_EQ(At(40, y), BgAttr) << "row " << y;
    }
    EXPECT_EQ(Ch(X - 1, Y), Bg);
    EXPECT_EQ(Ch(X + W, Y + H), Bg);

    // PgDn in the caller's window moves by its Height again.
    memcon::PressFunction(10);
    memcon::PressFunction(10);
    Keys({KeyPgDn});
    ViewUntilOutOfKeys();
    EXPECT_EQ(TextRow(0), "line04");
}

}  // namespace
