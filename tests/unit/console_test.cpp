// The screen object, the pipe colour codes and the string helpers.
#include <gtest/gtest.h>

#include "console_fixture.h"

using ScreenOutput = ConsoleTest;

TEST_F(ScreenOutput, CreationClearsToGreyOnBlackWithCursorHome) {
    EXPECT_EQ(GetTextAttr(), 7);
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), 1);
    EXPECT_EQ(Ch(40, 12), ' ');
    EXPECT_EQ(At(40, 12), 7);
    EXPECT_TRUE(memcon::CursorVisible());
    EXPECT_EQ(CharAt(1, 1), '\0') << "the shadow buffer holds zeros after a clear";
}

TEST_F(ScreenOutput, FullRow24ThenCrLfContinuesOnRow25WithoutGap) {
    GotoXY(1, 24);
    WriteStr(std::string(80, 'a'));
    EXPECT_EQ(WhereX(), 81) << "deferred wrap keeps the cursor one past the edge";
    EXPECT_EQ(WhereY(), 24);
    WriteStr("\r\nb");
    EXPECT_EQ(Ch(1, 25), 'b');
    EXPECT_EQ(Ch(80, 24), 'a');
    EXPECT_EQ(WhereY(), 25);
}

TEST_F(ScreenOutput, FullRow10ThenCrLfSkipsARow) {
    GotoXY(1, 10);
    WriteStr(std::string(80, 'a') + "\r\n");
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), 12);
}

TEST_F(ScreenOutput, GlyphInLastCellScrollsUp) {
    GotoXY(1, 1);
    WriteStr("top");
    GotoXY(1, 2);
    WriteStr("second");
    SetTextAttr(0x1F);
    GotoXY(80, 25);
    WriteStr("z");
    EXPECT_EQ(Row(1), "second");
    EXPECT_EQ(Ch(80, 24), 'z');
    EXPECT_EQ(At(1, 25), 0x1F) << "the new bottom row is blank in TextAttr";
    EXPECT_EQ(Ch(1, 25), ' ');
    EXPECT_EQ(CharAt(1, 25), '\0') << "the shadow buffer's new row is zero";
    EXPECT_EQ(CharAt(1, 1), 's');
}

TEST_F(ScreenOutput, EightyOneCharactersOnRow24) {
    GotoXY(1, 24);
    WriteStr(std::string(80, 'a') + "Q");
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), 25);
    EXPECT_EQ(Row(25), "") << "the 81st character is not shown";
}

TEST_F(ScreenOutput, BackspaceAndCarriageReturnMoveOnlyTheInnerCursor) {
    WriteStr("\b");
    EXPECT_EQ(WhereX(), 1);
    GotoXY(5, 3);
    WriteStr("\b\b");
    EXPECT_EQ(WhereX(), 3);
    EXPECT_EQ(memcon::CursorPos().X, 4) << "the console cursor waits for the next LF or glyph";
    WriteStr("\r");
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(memcon::CursorPos().X, 4);
    WriteStr("x");
    EXPECT_EQ(memcon::CursorPos().X, 1);
}

TEST_F(ScreenOutput, GotoClampsToTheScreen) {
    GotoXY(0, 0);
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), 1);
    GotoXY(200, 200);
    EXPECT_EQ(WhereX(), 80);
    EXPECT_EQ(WhereY(), 25);
}

TEST_F(ScreenOutput, WriteXYClipsAndLeavesCursorAndShadow) {
    GotoXY(3, 3);
    WriteXY(75, 1, 0x1E, "0123456789");
    EXPECT_EQ(Row(1).substr(74), "012345");
    EXPECT_EQ(At(75, 1), 0x1E);
    EXPECT_EQ(WhereX(), 3);
    EXPECT_EQ(CharAt(75, 1), '\0') << "WriteXY does not reach the shadow buffer";
    const auto writes = memcon::WriteCalls();
    WriteXY(1, 2, 7, "");
    EXPECT_EQ(memcon::WriteCalls(), writes) << "an empty text writes nothing";
    WriteXY(1, 3, 7, "\r\n\x1b");
    EXPECT_EQ(Ch(1, 3), '\r') << "controls are glyphs for WriteXY";
}

TEST_F(ScreenOutput, CharAtOutsideTheScreenIsASpace) {
    EXPECT_EQ(CharAt(0, 1), ' ');
    EXPECT_EQ(CharAt(81, 1), ' ');
    EXPECT_EQ(CharAt(1, 26), ' ');
    WriteStr("k");
    EXPECT_EQ(CharAt(1, 1), 'k');
}

TEST_F(ScreenOutput, WriteLineKeepsTo255Characters) {
    GotoXY(1, 1);
    WriteLine(std::string(254, 'a'));
    // 254 characters and CR: the cursor is back in column 1 of the row where
    // the text ended, no LF followed.
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), 4);
    GotoXY(1, 10);
    WriteLine(std::string(253, 'a'));
    EXPECT_EQ(WhereY(), 14);
    GotoXY(1, 20);
    WriteLine(std::string(255, 'a'));
    EXPECT_EQ(WhereX(), 16) << "neither CR nor LF fit";
}

TEST_F(ScreenOutput, SaveClearRestoreBringsEverythingBack) {
    WriteXY(1, 1, 0x4E, "saved text");
    GotoXY(10, 7);
    SetTextAttr(0x2A);
    TScreenImage image;
    SaveScreen(image);
    SetTextAttr(7);
    ClearScreen();
    RestoreScreen(image);
    EXPECT_EQ(Row(1), "saved text");
    EXPECT_EQ(At(1, 1), 0x4E);
    EXPECT_EQ(WhereX(), 10);
    EXPECT_EQ(WhereY(), 7);
    EXPECT_EQ(GetTextAttr(), 0x2A);
}

TEST_F(ScreenOutput, SetTextColorChangesOnlyTheForeground) {
    SetTextAttr(0x1F);
    SetTextColor(12);
    EXPECT_EQ(GetTextAttr(), 0x1C);
    SetTextAttr(0x9F);
    SetTextColor(12);
    EXPECT_EQ(GetTextAttr(), 0x9C);
}

TEST_F(ScreenOutput, ResetTerminalWritesSevenGlyphs) {
    ResetTerminal();
    EXPECT_EQ(WhereX(), 8);
    EXPECT_EQ(WhereY(), 1);
    EXPECT_EQ(Ch(1, 1), '\x1b');
    EXPECT_EQ(Row(1).substr(1), "(U\x1b[0m");
}

using PipeCodes = ConsoleTest;

TEST_F(PipeCodes, WritePipeChangesForegroundAndKeepsBackground) {
    SetTextAttr(0x97);  // blink bit set, blue background
    WritePipe("|04Red|15White");
    EXPECT_EQ(Row(1), "RedWhite");
    EXPECT_EQ(At(1, 1), 0x14) << "bit 7 cleared, background kept";
    EXPECT_EQ(At(4, 1), 0x1F);
    EXPECT_EQ(GetTextAttr(), 0x1F) << "the last colour stays in force";
}

TEST_F(PipeCodes, WritePipeBackgrounds) {
    WritePipe("|16|07x");
    EXPECT_EQ(At(1, 1), 0x07);
    SetTextAttr(0x0E);
    WritePipe("|17y");
    EXPECT_EQ(At(2, 1), 0x1E);
}

TEST_F(PipeCodes, WritePipeShowsWhatIsNoCode) {
    for (const char* text : {"|24x", "|$0Ax", "|&7x", "|0ax"}) {
        ClearScreen();
        SetTextAttr(7);
        WritePipe(text);
        EXPECT_EQ(Row(1), text);
        EXPECT_EQ(GetTextAttr(), 7) << text;
    }
}

TEST_F(PipeCodes, DoubleZeroIsBlackAndAShortCodeAtTheEndCounts) {
    WritePipe("a|00b");
    EXPECT_EQ(At(2, 1), 0x00);
    SetTextAttr(7);
    WritePipe("c|5");
    EXPECT_EQ(GetTextAttr(), 5);
    WriteXYPipe(1, 3, 7, "ab|5");
    // PipeLength counts 'ab|5' as 4: the code is hidden, two spaces fill.
    EXPECT_EQ(Row(3), "ab");
    EXPECT_EQ(At(3, 3), 5);
    EXPECT_EQ(At(4, 3), 5);
}

TEST_F(PipeCodes, WriteXYPipeAcceptsHighBackgrounds) {
    WriteXYPipe(1, 1, 0x07, "|24x");
    EXPECT_EQ(Ch(1, 1), 'x');
    EXPECT_EQ(At(1, 1), 0x87);
    WriteXYPipe(1, 2, 0x01, "|&7x");
    EXPECT_EQ(Ch(1, 2), 'x');
    EXPECT_EQ(At(1, 2), 0x07);
    WriteXYPipe(1, 3, 0x01, "|$0Ax");
    EXPECT_EQ(Ch(1, 3), '|') << "'$' never begins a code";
}

TEST_F(PipeCodes, WriteXYPipeCutsANonCodeToTheVisibleLength) {
    // '|zz' counts as a code for PipeLength (so 3 cells) but is shown.
    WriteXYPipe(1, 1, 7, "|zzabc");
    EXPECT_EQ(Row(1), "|zz");
    WriteXYPipe(78, 2, 7, "|15abcdef");
    EXPECT_EQ(Row(2).substr(77), "abc") << "clipped at column 80";
    EXPECT_EQ(At(78, 2), 15);
}

TEST(StringHelpers, PipeLengthAndPadWidth) {
    EXPECT_EQ(PipeLength("|07Hello"), 5);
    EXPECT_EQ(PipeLength("a|b"), 3);
    EXPECT_EQ(PipeLength("|zzabc"), 3);
    EXPECT_EQ(PipeLength("ab|"), 3);
    EXPECT_EQ(PipePadWidth("|07Hi", 10), 13);
    EXPECT_EQ(PadRight("|07Hi", 13, ' '), "|07Hi        ");
}

TEST(StringHelpers, Padding) {
    EXPECT_EQ(PadRight("abcdef", 3, '.'), "abc");
    EXPECT_EQ(PadLeft("abcdef", 3, '.'), "abc");
    EXPECT_EQ(PadLeft("ab", 5, '.'), "...ab");
    EXPECT_EQ(PadCenter("abc", 2, '.'), "ab");
    EXPECT_EQ(PadCenter("ab", 5, '.'), ".ab..");
    EXPECT_EQ(PadRight("ab", 4, '\0'), std::string("ab\0\0", 4));
    EXPECT_EQ(RepeatChar('x', 0), "");
    EXPECT_EQ(RepeatChar('x', 3), "xxx");
    EXPECT_EQ(PadRight(std::string(300, 'a'), 255, ' ').size(), 255u);
}

TEST(StringHelpers, StrToInt) {
    EXPECT_EQ(StrToInt("12"), 12);
    EXPECT_EQ(StrToInt(" 7"), 7);
    EXPECT_EQ(StrToInt("\t-7"), -7);
    EXPECT_EQ(StrToInt("1a"), 0);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("%101"), 5);
    EXPECT_EQ(StrToInt("&17"), 15);
    EXPECT_EQ(StrToInt(""), 0);
    EXPECT_EQ(StrToInt("-"), 0);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("2147483648"), 0) << "beyond 32 bits reads as 0";
    EXPECT_EQ(StrToInt("99999999999999999999"), 0);
}

TEST(StringHelpers, CaseAndNumbersAndSlash) {
    EXPECT_EQ(Upper("abc XYZ \x82"), "ABC XYZ \x82");
    EXPECT_EQ(Lower("ABC xyz \x90"), "abc xyz \x90");
    EXPECT_EQ(IntToStr(-42), "-42");
    EXPECT_EQ(IntToStr(0), "0");
    const std::string sep(1, PathSeparator);
    EXPECT_EQ(AddSlash("dir"), "dir" + sep);
    EXPECT_EQ(AddSlash("dir" + sep), "dir" + sep);
    EXPECT_EQ(AddSlash(""), sep);
    EXPECT_EQ(Upper(std::string(300, 'a')).size(), 255u);
}
