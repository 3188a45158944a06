// Plain lines: a reader whose terminal takes no escape codes gets the screen
// as lines, menus as lists with a key before each entry, texts as pages.
// On the memory console, whose plain output is kept as the bytes sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/program.h"
#include "app_fixture.h"
#include "console/con_memory.h"
#include "console/conapi.h"
#include "console/term_plain.h"
#include "key_script.h"
#include "viewer/text_viewer.h"
#include "widgets/lightbar.h"

namespace {

// The bytes that may reach a plain reader: printable ASCII, CR and LF (BS,
// BEL and FF would do too; none is ever sent).
std::string Strays(const std::string& bytes) {
    std::string strays;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 32 && b != '\r' && b != '\n') || b >= 127) strays += c;
    }
    return strays;
}

// Every line break of Bytes is CR LF.
bool EveryLineEndsInCrLf(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
        if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
    }
    return true;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(PlainText, EveryByteBecomesPrintableAsciiAndLinesEndInCrLf) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n' && b != '\t') all += static_cast<char>(b);
    const std::string sent = termplain::Bytes(all);
    EXPECT_EQ(Strays(sent), "");
    EXPECT_EQ(sent.size(), all.size()) << "one look-alike for each glyph";
    const std::string ascii = " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcxyz{|}~";
    EXPECT_EQ(termplain::Bytes(ascii), ascii) << "printable ASCII stays as it is";

    EXPECT_EQ(termplain::Bytes("one\r\ntwo\rthree\nfour\n"), "one\r\ntwo\r\nthree\r\nfour\r\n");
    EXPECT_EQ(termplain::Bytes("\r\n\r\n"), "\r\n\r\n") << "an empty line stays one";
    EXPECT_EQ(termplain::Bytes("ab\tc\t\td"), "ab      c               d") << "tabs to the next eighth column";
    EXPECT_EQ(termplain::Bytes("x\ny\tz"), "x\r\ny       z") << "the column starts again after a break";
}

TEST(PlainText, TellerSaysOnlyChangedRowsAndOneGapForBlankOnes) {
    std::vector<conapi::Cell> cells(static_cast<std::size_t>(25 * conapi::MaxCols), conapi::Cell{' ', 7});
    auto put = [&](int row, const std::string& text) {
        for (std::size_t x = 0; x < conapi::MaxCols; ++x)
            cells[static_cast<std::size_t>(row) * conapi::MaxCols + x].Char =
                static_cast<uint8_t>(x < text.size() ? text[x] : ' ');
    };
    termplain::Teller teller;
    EXPECT_EQ(teller.Changed(cells.data(), 25, 0, 24), "") << "a blank screen says nothing";
    put(2, "title");
    put(6, "  body  ");
    put(7, "more");
    put(20, "foot");
    EXPECT_EQ(teller.Changed(cells.data(), 25, 0, 24), "title\r\n\r\n  body\r\nmore\r\n\r\nfoot\r\n");
    EXPECT_EQ(teller.Changed(cells.data(), 25, 0, 24), "") << "nothing changed since";

    put(7, "");
    put(9, "message");
    EXPECT_EQ(teller.Changed(cells.data(), 25, 0, 24), "message\r\n") << "a row gone blank starts no gap";

    put(2, "new title");
    put(20, "new foot");
    EXPECT_EQ(teller.Changed(cells.data(), 25, 0, 5), "new title\r\n") << "only the rows asked for";
    EXPECT_EQ(teller.Changed(cells.data(), 25, 0, 24), "") << "the rest counts as told";

    teller.Forget();
    EXPECT_EQ(teller.Changed(cells.data(), 25, 0, 24), "new title\r\n\r\n  body\r\n\r\nmessage\r\n\r\nnew foot\r\n");
}

TEST(PlainText, SpacedOutLabelsAreSaidAsWords) {
    // Labels as the sections, the gallery and the track menu spell them.
    EXPECT_EQ(SaidLabel("e d i t o r i a l"), "editorial");
    EXPECT_EQ(SaidLabel("a n s i   a r t"), "ansi art");
    EXPECT_EQ(SaidLabel("t u t o r s     "), "tutors");
    EXPECT_EQ(SaidLabel("b b s  a r t  1"), "bbs art 1");
    EXPECT_EQ(SaidLabel("[ b a c k ]"), "[back]");
    EXPECT_EQ(SaidLabel("b r i g h t   h o r i z o n"), "bright horizon");
    // Labels in words keep their spaces; colour codes go.
    EXPECT_EQ(SaidLabel("scene news..."), "scene news...");
    EXPECT_EQ(SaidLabel("[bgn] Writing for the text viewer"), "[bgn] Writing for the text viewer");
    EXPECT_EQ(SaidLabel("|15lanternfall |072026 a b"), "lanternfall 2026 a b");
    EXPECT_EQ(SaidLabel("x"), "x");
}

class PlainMenu : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        conapi::UsePlainLines();
    }
    // A menu of Count items "item 1", "item 2"... whose hot keys are X, T
    // and A; every key the owner sees is kept.
    TBar Menu(int count) {
        TBar bar;
        for (int i = 1; i <= count; ++i) bar.Add("item " + std::to_string(i));
        bar.IsHotKey = [](char k) { return k == 'x' || k == 'X' || k == 't' || k == 'T' || k == 'A'; };
        bar.OnKey = [this](char k, int32_t) { owner_ += k; };
        return bar;
    }
    std::string owner_;
};

TEST_F(PlainMenu, KeysAreDigitsThenLettersThatAreNoHotKeys) {
    EXPECT_EQ(PlainMenuKeys(3, nullptr), "123");
    EXPECT_EQ(PlainMenuKeys(13, nullptr), "123456789abcd");
    const auto hot = [](char k) { return k == 'A' || k == 'b' || k == 'x'; };
    EXPECT_EQ(PlainMenuKeys(13, hot), "123456789cdef") << "a hot key in either case is skipped";
    EXPECT_EQ(PlainMenuKeys(40, nullptr).size(), 35u) << "no more keys than digits and letters";
}

TEST_F(PlainMenu, TheItemsKeyAloneChoosesIt) {
    TBar bar = Menu(12);
    WriteXY(5, 3, 7, "the menu's backdrop");
    QueueKeys("c");  // no Enter: the script would run dry if one were awaited
    EXPECT_EQ(bar.Run(10, 5, 20, 4, 0), 10) << "1-9, a is a hot key, b the tenth, c the eleventh";
    const std::string& said = memcon::PlainOutput();
    EXPECT_EQ(said.find("    the menu's backdrop\r\n"), 0u) << said;
    EXPECT_NE(said.find("  1  item 1\r\n  2  item 2\r\n"), std::string::npos) << said;
    EXPECT_NE(said.find("  9  item 9\r\n  b  item 10\r\n  c  item 11\r\n  d  item 12\r\n"), std::string::npos)
        << said;
    EXPECT_NE(said.find("  d  item 12\r\n" + PlainMenuPrompt + "\r\n"), std::string::npos) << "the prompt last";
    EXPECT_EQ(Strays(said), "");
    EXPECT_TRUE(EveryLineEndsInCrLf(said));
    EXPECT_EQ(Row(5), "") << "nothing drawn where the bar would be";
}

TEST_F(PlainMenu, EscAndZeroGoBackAndOtherKeysReachTheOwner) {
    for (const char* back : {"<Esc>", "0"}) {
        TBar bar = Menu(3);
        QueueKeys(back);
        EXPECT_EQ(bar.Run(10, 5, 20, 3, 0), BarEsc) << back;
    }
    TBar bar = Menu(3);
    QueueKeys("xq<Up>2");
    const std::size_t before = memcon::PlainOutput().size();
    EXPECT_EQ(bar.Run(10, 5, 20, 3, 0), 1);
    EXPECT_EQ(owner_, "xq") << "hot keys and other keys, but no cursor key, reach the owner";
    const std::string said = memcon::PlainOutput().substr(before);
    EXPECT_EQ(Count(said, "  3  item 3"), 1u) << "keys that show nothing do not repeat the list";
    EXPECT_EQ(Count(said, PlainMenuPrompt), 4u) << "the prompt after every key but the last";
}

TEST_F(PlainMenu, WhatAHotKeyShowedIsFollowedByTheScreenAndListAgain) {
    TBar bar = Menu(2);
    WriteXY(1, 1, 7, "backdrop");
    bar.OnKey = [](char k, int32_t) {
        if (k != 'h') return;
        TScreenImage before;
        SaveScreen(before);
        ClearScreen();
        WriteXY(1, 1, 7, "help screen");
        ReadKey();
        RestoreScreen(before);
    };
    QueueKeys("h 1");
    EXPECT_EQ(bar.Run(10, 5, 20, 2, 0), 0);
    const std::string& said = memcon::PlainOutput();
    const std::size_t help = said.find("help screen\r\n");
    ASSERT_NE(help, std::string::npos) << said;
    EXPECT_NE(said.find("backdrop\r\n  1  item 1\r\n", help), std::string::npos) << said;
}

TEST_F(PlainMenu, LeavingEndsTheRunAtOnce) {
    TBar bar = Menu(3);
    bool leave = false;
    bar.OnKey = [&leave](char k, int32_t) { leave = k == 'b'; };
    bar.Leaving = [&leave] { return leave; };
    QueueKeys("b");
    EXPECT_EQ(bar.Run(10, 5, 20, 3, 0), BarEsc);
}

class PlainPages : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        conapi::UsePlainLines();
        WriteXY(1, 1, 7, "ARTICLE: harbour lights");
        WriteXY(1, 2, 7, "author: kelp");
        WriteXY(1, 25, 7, "esc leaves - f1 help - ctrl+s save");
    }
    // A text of Count lines "|15line N|07  " (colour codes, trailing blanks).
    static std::string Text(int count) {
        std::string text;
        for (int i = 1; i <= count; ++i) text += "|15line " + std::to_string(i) + "|07  \r\n";
        return text;
    }
    static std::string Lines(int from, int to) {
        std::string lines;
        for (int i = from; i <= to; ++i) lines += "line " + std::to_string(i) + "\r\n";
        return lines;
    }
};

TEST_F(PlainPages, PageByPageUnderTheHeader) {
    QueueKeys(" <Enter>x!");
    ViewText(Text(45), 1, 5, 80, 17);
    const std::string& said = memcon::PlainOutput();
    const std::string more = PlainMorePrompt + "\r\n";
    EXPECT_EQ(said, "ARTICLE: harbour lights\r\nauthor: kelp\r\n" + Lines(1, 20) + more + Lines(21, 40) + more +
                        Lines(41, 45) + PlainEndPrompt + "\r\n");
    EXPECT_EQ(said.find("ctrl+s"), std::string::npos) << "the viewer's keys below the window are not said";
    EXPECT_EQ(ReadKey(), '!') << "any key leaves at the end";
}

TEST_F(PlainPages, EscOrQLeavesAndOtherKeysTurnNoPage) {
    for (const char* leave : {"<Esc>", "q", "Q"}) {
        memcon::Reset();
        conapi::UsePlainLines();
        QueueKeys(std::string("z<Down>") + leave + "!");
        ViewText(Text(45), 1, 5, 80, 17);
        const std::string& said = memcon::PlainOutput();
        EXPECT_EQ(said, Lines(1, 20) + PlainMorePrompt + "\r\n") << leave;
        EXPECT_EQ(ReadKey(), '!') << leave;
    }
}

// The switch summary into a pipe or a file: its lines, and nothing else.
using PlainSummary = apptest::ProgramTest;

TEST_F(PlainSummary, HelpIntoAPipeIsPlainLinesAndTakesNoConsole) {
    memcon::SetOutputIsTerminal(false);
    apptest::FillScreen('#', 0x22);
    std::vector<std::string> args = {"quixmag", "--silent", "/H"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    testing::internal::CaptureStdout();
    const int status = RunMagazine(static_cast<int>(argv.size()), argv.data());
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Strays(printed), "");
    EXPECT_TRUE(printed.starts_with("[]  q u i x   m a g a z i n e\n\n  use the following switches"));
    for (const char* added : {"--door", "--idle", "--max-minutes", "--log", "--plain"})
        EXPECT_NE(printed.find(std::string("\n  ") + added + " "), std::string::npos) << added;
    EXPECT_EQ(Row(1), std::string(80, '#')) << "the screen was not touched";
    EXPECT_EQ(memcon::PlainOutput(), "");

}

// The whole magazine in plain lines: the logo, the main menu as a list, the
// editorial page by page, back to the menu and out, in the built-in issue.
using PlainMagazine = apptest::ProgramTest;

TEST_F(PlainMagazine, TheEditorialReadInPlainLinesAndNotOneEscapeByte) {
    apptest::Watchdog watchdog(std::chrono::seconds(30));
    // The main menu's first entry is the editorial; A would switch to ANSI
    // screens where there are any.
    QueueKeys("1 qa0");
    std::vector<std::string> args = {"quixmag", "--silent", "--plain"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    EXPECT_EQ(RunMagazine(static_cast<int>(argv.size()), argv.data()), 0);

    const std::string& said = memcon::PlainOutput();
    EXPECT_EQ(Strays(said), "");
    EXPECT_TRUE(EveryLineEndsInCrLf(said));
    // The editorial's own lines, from the text.
    const std::string editorial = ResourceBytes("editorial");
    const std::string first = PipeText(editorial.substr(0, editorial.find_first_of("\r\n")), PipeRule::WriteXYPipe);
    const std::size_t text = said.find("\r\n" + first + "\r\n");
    ASSERT_NE(text, std::string::npos) << first;
    EXPECT_NE(said.find("  1  editorial\r\n"), std::string::npos);
    EXPECT_LT(said.find("  1  editorial\r\n"), text) << "the menu came first";
    EXPECT_EQ(Count(said, "  1  editorial\r\n"), 2u) << "the menu before and after the page; A changes nothing";
    EXPECT_EQ(AsciiSuffix, "_asc") << "plain lines keep the plain-ASCII screens";
}

}  // namespace
