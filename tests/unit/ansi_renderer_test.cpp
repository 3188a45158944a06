// Drawing ANSI art files: colours, cursor movement, pipe codes, pacing and
// the keys that change it. Every case runs twice: through a file
// (ShowAnsiFile) and from memory (ShowAnsiBytes), which must draw alike.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ansi/ansi_renderer.h"
#include "console_fixture.h"

namespace {

class Renderer : public ConsoleTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        path_ =
            (std::filesystem::temp_directory_path() / ("quix_render_" + std::to_string(::getpid()) + ".ans")).string();
    }
    void TearDown() override {
        std::remove(path_.c_str());
        ConsoleTest::TearDown();
    }
    // Draws Bytes from (1,1) with attribute 7, no pauses unless asked:
    // from a file, or from memory when the parameter says so.
    void Draw(const std::string& bytes, int32_t pause = 0) {
        if (GetParam()) {
            ShowAnsiBytes(bytes, pause);
            return;
        }
        std::ofstream(path_, std::ios::binary) << bytes;
        ShowAnsiFile(path_, pause);
    }
    // Attribute after drawing a sequence from attribute 7.
    int AttrAfter(const std::string& bytes) {
        SetTextAttr(7);
        Draw(bytes);
        return GetTextAttr();
    }
    std::string path_;
};

const std::string E = "\x1b";

}  // namespace

INSTANTIATE_TEST_SUITE_P(Entries, Renderer, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FromMemory" : "FromFile"; });

TEST_P(Renderer, SelectGraphicRendition) {
    EXPECT_EQ(AttrAfter(E + "[1;33;44m"), 0x1E);
    EXPECT_EQ(AttrAfter(E + "[1;33;44m" + E + "[7m"), 0x61);
    EXPECT_EQ(AttrAfter(E + "[5m" + E + "[40m"), 0x07) << "a background clears the blink bit";
    EXPECT_EQ(AttrAfter(E + "[1;31m" + E + "[m"), 0x07);
    EXPECT_EQ(AttrAfter(E + "[1;31m" + E + "[0m"), 0x07);
    EXPECT_EQ(AttrAfter(E + "[39m" + E + "[22m"), 0x07);
    EXPECT_EQ(AttrAfter(E + "[5;7m"), 0xF0) << "inverse keeps bit 7";
    EXPECT_EQ(AttrAfter(E + "[36m"), 0x03) << "ANSI cyan is PC colour 3";
}

TEST_P(Renderer, ModeSequencesHaveNoEffect) {
    Draw(E + "[7h" + E + "[?33lA");
    EXPECT_EQ(Row(1), "A");
    EXPECT_EQ(At(1, 1), 7);
}

TEST_P(Renderer, CursorPositioning) {
    Draw("ab" + E + "[H");
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), 1);
    Draw(E + "[10H");
    EXPECT_EQ(WhereY(), 10);
    EXPECT_EQ(WhereX(), 1);
    Draw(E + "[;5H");
    EXPECT_EQ(WhereY(), 1);
    EXPECT_EQ(WhereX(), 5);
    Draw(E + "[5;10f");
    EXPECT_EQ(WhereY(), 5);
    EXPECT_EQ(WhereX(), 10);
    Draw(E + "[99;99H");
    EXPECT_EQ(WhereY(), 25);
    EXPECT_EQ(WhereX(), 80);
}

TEST_P(Renderer, RelativeMovesAreClamped) {
    GotoXY(78, 5);
    Draw(E + "[5C");
    EXPECT_EQ(WhereX(), 80);
    GotoXY(1, 5);
    Draw(E + "[D");
    EXPECT_EQ(WhereX(), 1);
    GotoXY(3, 2);
    Draw(E + "[3A");
    EXPECT_EQ(WhereY(), 1);
    GotoXY(3, 20);
    Draw(E + "[30B");
    EXPECT_EQ(WhereY(), 25);
    GotoXY(7, 3);
    Draw(E + "[2E");
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), 5);
    GotoXY(7, 3);
    Draw(E + "[G");
    EXPECT_EQ(WhereX(), 1);
    GotoXY(7, 3);
    Draw(E + "[s" + E + "[20;20H" + E + "[u");
    EXPECT_EQ(WhereX(), 7);
    EXPECT_EQ(WhereY(), 3);
}

TEST_P(Renderer, EraseToEndOfLine) {
    WriteXY(1, 1, 0x4F, std::string(80, 'x'));
    GotoXY(1, 1);
    Draw(E + "[44m" + E + "[K");
    EXPECT_EQ(WhereX(), 80);
    EXPECT_EQ(Row(1), std::string(79, ' ') + "x");
    EXPECT_EQ(At(79, 1), 0x17);
}

TEST_P(Renderer, PositionReportIsDrawnAsText) {
    GotoXY(4, 2);
    Draw(E + "[6n");
    EXPECT_EQ(Row(2), "   \x1b[2;4R");
}

TEST_P(Renderer, EscapeFollowedByOtherByteSwallowsIt) {
    Draw(E + "Xab");
    EXPECT_EQ(Row(1), "ab");
}

TEST_P(Renderer, ByteBelowDigitsEndsASequence) {
    Draw(E + "[1 Zq");
    EXPECT_EQ(Row(1), "Zq") << "the space ends the sequence and is lost";
}

TEST_P(Renderer, LineFeedOnlyFilesDrawLikeCrLf) {
    Draw("one\ntwo\nthree");
    const std::string lf = Row(1) + "/" + Row(2) + "/" + Row(3);
    ClearScreen();
    Draw("one\r\ntwo\r\nthree");
    EXPECT_EQ(Row(1) + "/" + Row(2) + "/" + Row(3), lf);
    EXPECT_EQ(lf, "one/two/three");
    EXPECT_EQ(WhereY(), 3);
}

TEST_P(Renderer, TabMovesEightColumnsClamped) {
    Draw("a\tb");
    EXPECT_EQ(Ch(10, 1), 'b');
    GotoXY(76, 1);
    Draw("\tc");
    EXPECT_EQ(Ch(80, 1), 'c');
}

TEST_P(Renderer, FormFeedClears) {
    Draw("abc\x0c"
         "d");
    EXPECT_EQ(Row(1), "d");
}

TEST_P(Renderer, PipeCodes) {
    SetTextAttr(0x17);
    Draw("|07x");
    EXPECT_EQ(At(1, 1), 0x17) << "|07 keeps the blue background";
    SetTextAttr(7);
    Draw(E + "[5m|12y");
    EXPECT_EQ(GetTextAttr(), 0x8C) << "|12 keeps the blink bit";
    SetTextAttr(0x8C);
    Draw("|20z");
    EXPECT_EQ(GetTextAttr(), 0x4C) << "|20 clears blink";
    ClearScreen();
    Draw("|24|ab");
    EXPECT_EQ(Row(1), "|24|ab");
}

TEST_P(Renderer, PipeAsLastByteIsDrawnAndEnds) {
    Draw("ab|");
    EXPECT_EQ(Row(1), "ab|");
    ClearScreen();
    Draw("ab|1");
    EXPECT_EQ(Row(1), "ab|");
}

TEST_P(Renderer, PipeGiveBackAcrossABlockBoundary) {
    // The bar is the last byte of the first block; "ab" start the second.
    std::string lines;
    for (int i = 0; i < 51; ++i) lines += std::string(78, 'x') + "\r\n";
    lines += std::string(15, 'x');
    ASSERT_EQ(lines.size(), 4095u);
    Draw(lines + "|ab");
    EXPECT_EQ(Row(25).substr(15), "|ab");
    ClearScreen();
    std::string code = lines;
    code += "|14q";
    SetTextAttr(7);
    Draw(code);
    EXPECT_EQ(Ch(16, 25), 'q');
    EXPECT_EQ(At(16, 25), 0x0E);
}

TEST_P(Renderer, LongPlainTextWrapsAndScrollsLikeOneCharacterAtATime) {
    auto rowText = [](int r) {
        std::string t;
        for (int c = 0; c < 80; ++c) t += static_cast<char>('a' + (r * 7 + c) % 26);
        return t;
    };
    // Ten full rows in one piece: each wraps into the next. Row 4 is begun,
    // taken back with CR (and a BS at column 1, which stays there) and
    // drawn whole in yellow over it.
    std::string text;
    for (int r = 1; r <= 10; ++r) {
        if (r == 4) text += rowText(99).substr(0, 40) + "\r" + "\b" + E + "[1;33m";
        text += rowText(r);
    }
    Draw(text);
    for (int r = 1; r <= 10; ++r) EXPECT_EQ(Row(r), rowText(r)) << "row " << r;
    EXPECT_EQ(At(80, 3), 0x07);
    EXPECT_EQ(At(1, 4), 0x0E);
    EXPECT_EQ(At(80, 10), 0x0E);
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), 11);
    EXPECT_EQ(memcon::CursorPos().X, 0) << "the visible cursor follows";
    EXPECT_EQ(memcon::CursorPos().Y, 10);

    // From the bottom row: 300 characters fill it, wrap with a scroll, fill
    // the new bottom row and so on; the last 60 are left on row 25.
    std::string long300;
    for (int k = 0; k < 300; ++k) long300 += static_cast<char>('A' + k % 26);
    Draw(E + "[25;1H" + long300);
    EXPECT_EQ(Row(22), long300.substr(0, 80));
    EXPECT_EQ(Row(23), long300.substr(80, 80));
    EXPECT_EQ(Row(24), long300.substr(160, 80));
    EXPECT_EQ(Row(25), long300.substr(240));
    EXPECT_EQ(Row(21), "") << "row 24, empty, went up three rows";
    EXPECT_EQ(Row(7), rowText(10)) << "and so did row 10";
    EXPECT_EQ(At(1, 7), 0x0E);
    EXPECT_EQ(memcon::CursorPos().X, 60) << "the visible cursor stands after the last character";
    EXPECT_EQ(memcon::CursorPos().Y, 24);
}

TEST_P(Renderer, SubEndsTheDrawing) {
    Draw("ab\x1a"
         "cd");
    EXPECT_EQ(Row(1), "ab");
}

TEST_P(Renderer, PauseCounts) {
    const std::string block(4096, '\0');  // NUL bytes draw nothing
    Draw(block, 800);
    EXPECT_EQ(memcon::SleepCalls(), 5u);
    memcon::Reset();
    InitConsole();
    Draw(block, 5000);
    EXPECT_EQ(memcon::SleepCalls(), 0u);
    memcon::Reset();
    InitConsole();
    Draw(std::string(100, '\0'), 1);
    EXPECT_EQ(memcon::SleepCalls(), 101u) << "every byte and the end mark";
    EXPECT_EQ(memcon::SleptMs(), 606u);
    // The position counts inside each 4096-byte block: positions 100 to
    // 4000 of two whole blocks, 100 to 1800 of the last 1808 bytes.
    memcon::Reset();
    InitConsole();
    Draw(std::string(10000, '\0'), 100);
    EXPECT_EQ(memcon::SleepCalls(), 40u + 40u + 18u);
}

TEST_P(Renderer, EscStopsAfterDrawingTheByteJustRead) {
    memcon::PressEsc();
    Draw("abc");
    EXPECT_EQ(Row(1), "a");
}

TEST_P(Renderer, PaceKeys) {
    // '*' sets the interval to 20: 4096 bytes then pause 204 times.
    memcon::TypeText("*");
    Draw(std::string(4096, '\0'), 0);
    EXPECT_EQ(memcon::SleepCalls(), 204u);
    memcon::Reset();
    InitConsole();
    // '-' three times from 9 reaches 0: no pauses after the keys.
    memcon::TypeText("---");
    Draw(std::string(100, '\0'), 9);
    EXPECT_EQ(memcon::SleepCalls(), 0u);
    memcon::Reset();
    InitConsole();
    memcon::TypeText("+");
    Draw(std::string(90, '\0'), 7);
    EXPECT_EQ(memcon::SleepCalls(), 9u) << "10 then every 10th byte";
}

TEST_P(Renderer, MissingFileIsReported) {
    ShowAnsiFile("/nonexistent/dir/x.ans", 0);
    EXPECT_EQ(Row(1), "File /nonexistent/dir/x.ans not found.");
}

TEST_P(Renderer, HostileInputStaysBounded) {
    Draw(E + "[" + std::string(1000000, '9') + ";1;2H" + E + "[99999999999999999999C" + E + "[");
    EXPECT_LE(WhereX(), 80);
    // A count beyond a signed 32-bit value reads as 0, which counts as 1;
    // the largest one that fits is a real count.
    Draw(E + "[5;1H" + E + "[3000000000C");
    EXPECT_EQ(WhereX(), 2);
    Draw(E + "[2147483647C");
    EXPECT_EQ(WhereX(), 80);
    // 2^32 + 30 is no colour 30: it reads as 0, the reset.
    Draw(E + "[1;33;44m" + E + "[4294967326m");
    EXPECT_EQ(GetTextAttr(), 7);
    Draw("");
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
    Draw(garbage);
    EXPECT_GE(WhereY(), 1);
}
