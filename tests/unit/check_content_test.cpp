// The content rules on hand-made screens and texts: each rule passes good
// input and reports the fault it exists for.
#include <gtest/gtest.h>

#include <string>

#include "ansi/art.h"
#include "issue/issue.h"
#include "tools/content_rules.h"

namespace {

using contentrules::Problems;

std::string Esc(const std::string& seq) { return "\x1b[" + seq; }

// N lines of filler text, each ended by LF.
std::string Lines(int n, const std::string& line = "|07a line of text") {
    std::string out;
    for (int i = 0; i < n; ++i) out += line + "\n";
    return out;
}

bool Mentions(const Problems& problems, const std::string& part) {
    for (const std::string& p : problems)
        if (p.find(part) != std::string::npos) return true;
    return false;
}

class ContentRules : public ::testing::Test {
protected:
    void TearDown() override { DoneConsole(); }
    contentrules::ScreenDrawer drawer;

    Problems Fits(const std::string& bytes) { return contentrules::CheckFits(drawer, "SCREEN", bytes); }
};

// --- Screens stay inside 80x25 ------------------------------------------------

TEST_F(ContentRules, ScreensThatStayInsideTheScreenPass) {
    // Rows 1..23 with line breaks, row 24 full width (its wrap waits, so
    // the CR LF after it does not leave an empty row), 79 cells of row 25.
    std::string full;
    for (int row = 0; row < 23; ++row) full += std::string(79, 'x') + "\r\n";
    full += std::string(80, 'x') + "\r\n" + std::string(79, 'y');
    EXPECT_TRUE(Fits(full).empty());
    // A clear, a jump to the last row and cursor moves far past the edge:
    // the renderer clamps them, nothing scrolls.
    EXPECT_TRUE(Fits(Esc("2J") + Esc("25;1H") + "bottom" + Esc("99B") + Esc("99C") + Esc("D") + "z").empty());
    // What follows the end-of-text mark is never drawn.
    EXPECT_TRUE(Fits("title\x1a" + std::string(40, '\n')).empty());
    EXPECT_TRUE(drawer.SelfTest());
}

TEST_F(ContentRules, AScrollIsReportedHoweverItComes) {
    // 25 line breaks: the last one scrolls.
    EXPECT_TRUE(Mentions(Fits(Lines(25, "row")), "scrolls the screen"));
    // The last cell of row 25, alone.
    EXPECT_FALSE(Fits(Esc("25;80H") + "x").empty());
    // A full row 25 drawn by running text.
    std::string text;
    for (int row = 0; row < 24; ++row) text += "line\r\n";
    EXPECT_FALSE(Fits(text + std::string(80, 'w')).empty());
    // A scroll whose traces a later clear wipes away, by ESC[2J and by FF.
    EXPECT_FALSE(Fits(std::string(30, '\n') + Esc("2J") + "clean").empty());
    EXPECT_FALSE(Fits(std::string(30, '\n') + "\x0c" + "clean").empty());
    EXPECT_FALSE(Fits(Esc("25;80H") + "x" + Esc("1;1H") + Esc("0J") + "J\x0c").empty());
    // A clear first, then one row too many: a twin of 26 rows, whatever the
    // scroll moves (here only plain text, far from any menu's box).
    EXPECT_TRUE(Mentions(Fits("\x0c" + Lines(25, "row")), "scrolls the screen"));
    EXPECT_TRUE(Mentions(Fits(Esc("2J") + Lines(25, "row") + Esc("2J")), "scrolls the screen"));
    EXPECT_TRUE(Fits("\x0c" + Lines(24, "row")).empty());
}

TEST_F(ContentRules, AScrollBeforeAnyKindOfClearIsSeen) {
    // Clears without a number and with a private mark wipe the traces too.
    EXPECT_FALSE(Fits(std::string(30, '\n') + Esc("J") + "clean").empty());
    EXPECT_FALSE(Fits(std::string(30, '\n') + Esc("?2J") + "clean").empty());
    // The letter J in text clears nothing.
    EXPECT_TRUE(Fits(std::string(900, 'J') + "[2J").empty());
}

// --- Screens cut short ---------------------------------------------------------------------

TEST_F(ContentRules, AScreenMustNotEndInsideAnEscapeSequence) {
    using contentrules::CheckEnding;
    EXPECT_TRUE(CheckEnding(drawer, "S", "title" + Esc("1;31m") + "x").empty());
    EXPECT_TRUE(CheckEnding(drawer, "S", "title" + Esc("0m")).empty());
    // A bar or a pipe code at the end is text, not a sequence.
    EXPECT_TRUE(CheckEnding(drawer, "S", "title |").empty());
    EXPECT_TRUE(CheckEnding(drawer, "S", "title |0").empty());
    // After the end-of-text mark nothing is drawn, so nothing is cut.
    EXPECT_TRUE(CheckEnding(drawer, "S", "title\x1a" + Esc("1;3")).empty());
    // A file cut in its last sequence: after the ESC, after the "[", among
    // the numbers; and a sequence the end-of-text mark breaks off.
    for (const std::string& cut :
         {std::string("title\x1b"), "title" + Esc(""), "title" + Esc("1;3"), "title" + Esc("5;") + "\x1a"})
        EXPECT_TRUE(Mentions(CheckEnding(drawer, "S", cut), "S: ends inside an escape sequence")) << cut;
}

// --- Places the program draws over stay blank ------------------------------------

TEST_F(ContentRules, AMenuBoxMustStayBlankOnBlack) {
    const contentrules::Box box{53, 10, 69, 16};
    // Decoration around the box, NUL cells and black-background spaces in it.
    ASSERT_FALSE(drawer.Draw(Esc("10;52H") + "#" + Esc("10;70H") + "#" + Esc("17;53H") + "#" + Esc("12;55H") +
                             std::string(3, '\0') + Esc("1;31m") + "   "));
    EXPECT_TRUE(contentrules::CheckBoxClear("MENU", box).empty());

    ASSERT_FALSE(drawer.Draw(Esc("16;69H") + "#"));
    const Problems glyph = contentrules::CheckBoxClear("MENU", box);
    ASSERT_EQ(glyph.size(), 1u);
    EXPECT_NE(glyph[0].find("column 69 row 16"), std::string::npos) << glyph[0];

    // A space on a blue background shows as a blue cell.
    ASSERT_FALSE(drawer.Draw(Esc("13;60H") + Esc("44m") + " "));
    EXPECT_FALSE(contentrules::CheckBoxClear("MENU", box).empty());
    // So does a bright (iCE) black background.
    ASSERT_FALSE(drawer.Draw(Esc("13;60H") + Esc("5m") + " "));
    EXPECT_FALSE(contentrules::CheckBoxClear("MENU", box).empty());
}

TEST_F(ContentRules, EachBackdropHasItsBoxes) {
    EXPECT_EQ(contentrules::BoxesOf("MENU_ASC").size(), 2u);
    EXPECT_EQ(contentrules::BoxesOf("TUTORS").size(), 1u);
    EXPECT_EQ(contentrules::BoxesOf("EDIT_ASC")[0].Bottom, 22);
    EXPECT_TRUE(contentrules::BoxesOf("LOGO").empty());
}

// --- Twins --------------------------------------------------------------------------

TEST_F(ContentRules, TwinsArePlainSevenBitText) {
    EXPECT_TRUE(contentrules::CheckTwinBytes("T", "|15hello|07\r\n+--+\n\x1a").empty());
    // One form feed may come first, to clear and home; nowhere else, and only one.
    EXPECT_TRUE(contentrules::CheckTwinBytes("T", "\x0c|15hello\r\n\x1a").empty());
    EXPECT_TRUE(Mentions(contentrules::CheckTwinBytes("T", "hello\x0c"), "control byte"));
    EXPECT_TRUE(Mentions(contentrules::CheckTwinBytes("T", "\x0c\x0chello"), "offset 1"));
    EXPECT_TRUE(Mentions(contentrules::CheckTwinBytes("T", "a" + Esc("0m") + "b"), "ESC"));
    EXPECT_TRUE(Mentions(contentrules::CheckTwinBytes("T", "block \xdb"), "above 127"));
    EXPECT_TRUE(Mentions(contentrules::CheckTwinBytes("T", "tab\there"), "control byte"));
    EXPECT_EQ(contentrules::CheckTwinBytes("T", "\x1b\xb0\x07").size(), 3u);
}

// --- Header screens --------------------------------------------------------------------

// A header screen: three labels with a marker after each, the window's
// corners at (TopX,TopY) and (BottomX,BottomY).
std::string Header(int topX, int topY, int bottomX, int bottomY) {
    return Esc("2;3H") + "title: !" + Esc("3;3H") + "author: !" + Esc("4;3H") + "category: !" +
           Esc(std::to_string(topY) + ";" + std::to_string(topX) + "H") + "!" +
           Esc(std::to_string(bottomY) + ";" + std::to_string(bottomX) + "H") + "!";
}

TEST_F(ContentRules, AGoodHeaderYieldsFiveSingleMarkers) {
    ASSERT_FALSE(drawer.Draw(Header(1, 6, 80, 24)));
    EXPECT_TRUE(contentrules::CheckHeaderFields("ARTICLE_HDR").empty());
    EXPECT_TRUE(contentrules::CheckMarkerCount("ARTICLE_HDR", Header(1, 6, 80, 24)).empty());
}

TEST_F(ContentRules, HeaderFaultsAreNamed) {
    // Four markers: the window's last corner is missing.
    const std::string four = Esc("2;3H") + "t: !" + Esc("3;3H") + "a: !" + Esc("4;3H") + "c: !" + Esc("6;1H") + "!";
    ASSERT_FALSE(drawer.Draw(four));
    EXPECT_TRUE(Mentions(contentrules::CheckHeaderFields("ARTICLE_HDR"), "shows 4"));
    EXPECT_TRUE(Mentions(contentrules::CheckMarkerCount("ARTICLE_HDR", four), "holds 4"));

    // A run of two markers.
    ASSERT_FALSE(drawer.Draw(Header(1, 6, 80, 24) + Esc("2;11H") + "!"));
    EXPECT_TRUE(Mentions(contentrules::CheckHeaderFields("ARTICLE_HDR"), "2 markers long"));

    // The top-left corner not in column 1.
    ASSERT_FALSE(drawer.Draw(Header(2, 6, 80, 24)));
    EXPECT_TRUE(Mentions(contentrules::CheckHeaderFields("ARTICLE_HDR"), "wanted column 1"));

    // The bottom-right corner on the same row, and left of the top-left.
    ASSERT_FALSE(drawer.Draw(Header(1, 6, 80, 6)));
    EXPECT_TRUE(Mentions(contentrules::CheckHeaderFields("ARTICLE_HDR"), "not below and right"));
    ASSERT_FALSE(drawer.Draw(Esc("2;3H") + "t: !" + Esc("3;3H") + "a: !" + Esc("4;3H") + "c: !" + Esc("6;1H") + "!" +
                             Esc("5;40H") + "!"));
    EXPECT_FALSE(contentrules::CheckHeaderFields("ARTICLE_HDR").empty());

    // A marker that a later byte hides is still a marker in the file.
    EXPECT_FALSE(
        contentrules::CheckMarkerCount("ARTICLE_HDR_ASC", Header(1, 6, 80, 24) + Esc("1;1H") + "!\b ").empty());
}

TEST_F(ContentRules, OnlyTheHeaderCountsItsMarkers) {
    // The program scans for markers after drawing the header alone: a "!"
    // anywhere else is a plain character.
    EXPECT_TRUE(contentrules::CheckMarkerCount("MENU", "menu|15 art").empty());
    EXPECT_TRUE(contentrules::CheckMarkerCount("LOGO", "hello!").empty());
    EXPECT_TRUE(contentrules::CheckMarkerCount("NIGHTSKY", "wow! !!").empty());
    EXPECT_TRUE(Mentions(contentrules::CheckMarkerCount("ARTICLE_HDR", "one ! only"), "holds 1"));
}

// --- Where the characters land ---------------------------------------------------------

using contentrules::Findings;

bool Says(const Findings& found, const std::string& part) {
    for (const auto& f : found)
        if (f.What.find(part) != std::string::npos) return true;
    return false;
}

TEST_F(ContentRules, ARowWiderThanTheScreenIsNamedAtItsEightyFirstCharacter) {
    const std::string row81 = "\x0c|07" + std::string(80, 'a') + "b\r\nnext row\r\n\x1a";
    const Findings wide = contentrules::CheckLayout(drawer, row81);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].Offset, row81.find('b'));
    EXPECT_TRUE(Says(wide, "row 1 is 81 columns wide")) << wide[0].What;
    // A positioned row running past the edge, colour codes in between.
    const std::string placed = Esc("2J") + Esc("5;75H") + "abcdef" + Esc("1;31m") + "gh\r\nrest";
    EXPECT_TRUE(Says(contentrules::CheckLayout(drawer, placed), "row 5 is 82 columns wide"));
    // Rows of 80 and 79 are fine; so is a full row that goes on straight
    // into the next one, as twins fill column 80 (and then the short row
    // after another full row is taken for a row of its own too).
    EXPECT_TRUE(contentrules::CheckLayout(drawer, "\x0c" + std::string(79, 'a') + "\r\nb\x1a").empty());
    EXPECT_TRUE(Says(contentrules::CheckLayout(drawer, Esc("H") + std::string(80, 'a') + "b"), "row 1 is 81"));
    const std::string runOn =
        "\x0c" + std::string(80, 'a') + std::string(30, 'b') + "\r\n" + std::string(80, 'c') + "!\r\n\x1a";
    EXPECT_TRUE(contentrules::CheckLayout(drawer, runOn).empty());
    // A piece may be wider: the gallery draws it from home at its own width.
    bool text = false;
    EXPECT_TRUE(contentrules::CheckPiece(drawer, "wide.ans", row81, 0, text).empty());
    EXPECT_TRUE(text);
}

TEST_F(ContentRules, AScreenSavedWithALineEndAfterEveryFullRowIsDoubleSpaced) {
    std::string art = Esc("H");
    for (int row = 0; row < 6; ++row) art += std::string(80, static_cast<char>('a' + row)) + "\r\n";
    const Findings found = contentrules::CheckLayout(drawer, art);
    ASSERT_TRUE(Says(found, "double-spaced"));
    EXPECT_EQ(found[0].Offset, art.find('\n'));  // the first such line
    // A piece saved so is drawn as the scene draws it: each line one row.
    bool text = false;
    EXPECT_TRUE(contentrules::CheckPiece(drawer, "rows.ans", art, 0, text).empty());
    Art piece;
    ArtProblem problem;
    ASSERT_TRUE(ReadArt(art, "rows.ans", 0, piece, problem));
    EXPECT_EQ(piece.Canvas.Rows(), 6);
    EXPECT_EQ(piece.Canvas.At(1, 6).Char, 'f');
    // The same art with bare LF line ends.
    std::string lf = Esc("H");
    for (int row = 0; row < 3; ++row) lf += std::string(80, 'x') + "\n";
    EXPECT_TRUE(Says(contentrules::CheckLayout(drawer, lf), "double-spaced"));
    // One full row above an empty row, and a full row 24 (its wrap waits
    // for the next character) with its line end, are what they seem.
    EXPECT_TRUE(contentrules::CheckLayout(drawer, "\x0c" + std::string(80, 'x') + "\r\n\r\nthird\x1a").empty());
    EXPECT_TRUE(contentrules::CheckLayout(
                    drawer, Esc("23;1H") + std::string(80, 'x') + "\r\n" + std::string(80, 'y') + "\r\nz")
                    .empty());
}

TEST_F(ContentRules, APieceTallerThanTheGalleryIsNamedWithItsRows) {
    // The gallery keeps every row of a piece up to its 10,000th: rows placed
    // below the screen are shown; a piece that goes on below is refused
    // with the rows it has.
    std::string tall;
    for (int row = 1; row <= 60; ++row) tall += Esc(std::to_string(row) + ";1H") + "row " + std::to_string(row);
    bool text = false;
    EXPECT_TRUE(contentrules::CheckPiece(drawer, "tall.ans", tall, 0, text).empty());
    EXPECT_TRUE(contentrules::CheckPiece(drawer, "tall.ans", tall + Esc("10000;1H") + "last", 0, text).empty());
    const Findings found = contentrules::CheckPiece(drawer, "tall.ans", tall + Esc("10100;1H") + "lost", 0, text);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(Says(found, "is 10100 rows tall")) << found[0].What;
    EXPECT_TRUE(Says(found, "at most 10000")) << found[0].What;
    // So is one drawn line by line.
    std::string lines;
    for (int row = 1; row <= 10100; ++row) lines += "row " + std::to_string(row) + "\r\n";
    EXPECT_TRUE(Says(contentrules::CheckPiece(drawer, "lines.ans", lines, 0, text), "is 10100 rows tall"));
}

TEST_F(ContentRules, ABackdropMustNotDependOnWhereTheCursorStood) {
    const std::string loose = "\r\n|15title\r\nsecond";
    const Findings found = contentrules::CheckLayout(drawer, loose);
    ASSERT_TRUE(Says(found, "cursor does not stand at the top-left")) << (found.empty() ? "" : found[0].What);
    // A form feed, ESC[H and ESC[1;1H first each make it the same from anywhere.
    for (const std::string& start : {std::string("\x0c"), Esc("H"), Esc("1;1H")})
        EXPECT_TRUE(contentrules::CheckLayout(drawer, start + loose).empty()) << start;
    // A screen that places every row is fine without.
    EXPECT_TRUE(contentrules::CheckLayout(drawer, Esc("3;5H") + "x" + Esc("4;1H") + "y").empty());
    // Pieces start on a cleared, homed page: not asked.
    bool text = false;
    EXPECT_TRUE(contentrules::CheckPiece(drawer, "loose.ans", loose, 0, text).empty());
}

// --- Texts ----------------------------------------------------------------------------------

TEST_F(ContentRules, AGoodTextPasses) {
    // 79 characters with the colour codes counted; literal bars that begin no
    // code are shown as they are.
    const std::string wide = "|15|16" + std::string(30, 'a') + "|00|23 a || b | c |ab" + std::string(19, 'b') + "|07";
    ASSERT_EQ(wide.size(), 79u);
    EXPECT_TRUE(contentrules::CheckText("T", Lines(59) + wide + "\n").empty());
    EXPECT_TRUE(contentrules::CheckText("T", Lines(250)).empty());
    // Another issue may ask for shorter texts; the width and the upper
    // bound hold all the same.
    EXPECT_TRUE(contentrules::CheckText("T", Lines(3), 1).empty());
    EXPECT_TRUE(Mentions(contentrules::CheckText("T", Lines(3), 4), "has 3 lines"));
    EXPECT_TRUE(Mentions(contentrules::CheckText("T", Lines(2) + std::string(80, 'x') + "\n", 1), "(80)"));
    EXPECT_TRUE(Mentions(contentrules::CheckText("T", Lines(251), 1), "has 251 lines"));
}

TEST_F(ContentRules, TextFaultsAreNamed) {
    using contentrules::CheckText;
    EXPECT_TRUE(Mentions(CheckText("T", Lines(59)), "has 59 lines"));
    EXPECT_TRUE(Mentions(CheckText("T", Lines(251)), "has 251 lines"));
    EXPECT_TRUE(Mentions(CheckText("T", Lines(70, "dos line\r")), "ends with CR"));
    EXPECT_TRUE(Mentions(CheckText("T", Lines(70) + "no end"), "no LF"));
    EXPECT_TRUE(Mentions(CheckText("T", Lines(70) + std::string(80, 'x') + "\n"),
                         "longer than 79 characters, colour codes counted (80)"));
    EXPECT_TRUE(Mentions(CheckText("T", Lines(70) + std::string(300, 'x') + "\n"), "(300)"));
    EXPECT_TRUE(Mentions(CheckText("T", Lines(70) + "|15" + std::string(77, 'x') + "\n"), "(80)"))
        << "colour codes count towards the width";
    EXPECT_TRUE(Mentions(CheckText("T", Lines(70) + "caf\xe9\n"), "above 127"));
    EXPECT_TRUE(Mentions(CheckText("T", Lines(70) + "tab\there\n"), "control byte"));
    EXPECT_TRUE(Mentions(CheckText("T", Lines(70) + "wow!\n"), "line 71 holds \"!\""));
    for (const std::string bad : {"|24 too high", "a | 5 b", "hex |x5", "end |1", "minus |-3"})
        EXPECT_TRUE(Mentions(CheckText("T", Lines(70) + bad + "\n"), "colour code outside")) << bad;
    // The first bar of a line is a good code, the second a stray one.
    EXPECT_TRUE(Mentions(CheckText("T", Lines(70) + "|07ok |31\n"), "(column 7)"));
}

TEST_F(ContentRules, DamagedTextsAreNamedOnTheirLines) {
    using contentrules::CheckText;
    // A NUL byte: a control byte like any other, and the line goes on after it.
    const Problems nul = CheckText("T", Lines(70) + std::string("before\0after", 12) + "\n");
    EXPECT_EQ(nul, Problems{"T: line 71 holds a control byte"});
    // One line of 10,000 characters: one problem, with its length.
    const Problems wide = CheckText("T", Lines(70) + std::string(10000, 'w') + "\n");
    EXPECT_EQ(wide, Problems{"T: line 71 is longer than 79 characters, colour codes counted (10000)"});
}

TEST_F(ContentRules, ManyFaultsOfOneKindAreSummed) {
    const Problems p = contentrules::CheckText("T", Lines(70, "bang!"));
    EXPECT_EQ(p.size(), 6u);
    EXPECT_TRUE(Mentions(p, "65 more line(s)"));
}

// --- Modules, library, catalogue -----------------------------------------------------------

TEST_F(ContentRules, ModulesAndLibraryAreRecognised) {
    EXPECT_TRUE(contentrules::CheckModule("M", "Extended Module: song").empty());
    // A MOD of one empty pattern: 1084 bytes of header and 64 rows of four
    // four-byte notes.
    std::string mod(1084 + 1024, '\0');
    mod.replace(1080, 4, "M.K.");
    EXPECT_TRUE(contentrules::CheckModule("M", mod).empty());
    EXPECT_FALSE(contentrules::CheckModule("M", std::string(2000, 'x')).empty());
    EXPECT_FALSE(contentrules::CheckModule("M", "RIFF....WAVE").empty());
    EXPECT_TRUE(contentrules::CheckLibrary("S", std::string("\x7f"
                                                            "ELF\x02\x01",
                                                            6))
                    .empty());
    EXPECT_FALSE(contentrules::CheckLibrary("S", "#!/bin/sh").empty());
}

// Little-endian and big-endian numbers, as the module formats store them.
std::string Le(uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}
std::string Be16(uint32_t v) { return {static_cast<char>((v >> 8) & 0xFF), static_cast<char>(v & 0xFF)}; }
std::string Padded(const std::string& text, std::size_t size) { return text + std::string(size - text.size(), '\0'); }

// An XM 1.04 module laid out by the format: the 60 bytes of the file's
// head, a header of 276 bytes (counted from its size field), one pattern of
// 64 empty rows (a 9-byte header, then one "empty note" byte 0x80 for each
// of four channels) and one instrument (a 263-byte header) with one sample
// (a 40-byte header and SampleBytes of data): 1004 bytes with a 100-byte
// sample.
std::string XmModule(uint32_t sampleBytes) {
    std::string m =
        "Extended Module: " + Padded("song", 20) + "\x1a" + Padded("by hand", 20) + Le(0x0104, 2) + Le(276, 4);
    m += Le(1, 2) + Le(0, 2) + Le(4, 2) + Le(1, 2) + Le(1, 2) + Le(1, 2) + Le(6, 2) + Le(125, 2) +
         std::string(256, '\0');
    const std::string packed(64 * 4, '\x80');
    m += Le(9, 4) + std::string(1, '\0') + Le(64, 2) + Le(static_cast<uint32_t>(packed.size()), 2) + packed;
    m += Padded(Le(263, 4) + Padded("instrument", 22) + std::string(1, '\0') + Le(1, 2) + Le(40, 4), 263);
    m += Le(sampleBytes, 4) + Le(0, 4) + Le(0, 4) + "\x40" + std::string(1, '\0') + std::string(1, '\0') + "\x80" +
         std::string(2, '\0') + Padded("sample", 22);
    return m + std::string(sampleBytes, '\x10');
}

TEST_F(ContentRules, AModuleCutShortIsNamed) {
    const std::string xm = XmModule(100);
    ASSERT_EQ(xm.size(), 1004u);
    EXPECT_TRUE(contentrules::CheckModule("M", xm).empty());
    EXPECT_TRUE(contentrules::CheckModule("M", xm + "trailing bytes").empty());
    EXPECT_EQ(contentrules::CheckModule("M", xm.substr(0, 1003)),
              Problems{"M: is cut short: its headers call for at least 1004 bytes, the file has 1003"});
    // Counts no XM can have are not sized (and not walked through): an
    // instrument header of 0 bytes with 65535 samples, 65535 instruments.
    std::string absurd = xm;
    absurd.replace(601, 4, Le(0, 4));
    absurd.replace(601 + 27, 2, Le(65535, 2));
    EXPECT_FALSE(contentrules::ModuleSize(absurd));
    absurd = xm;
    absurd.replace(72, 2, Le(65535, 2));
    EXPECT_FALSE(contentrules::ModuleSize(absurd));
    EXPECT_EQ(contentrules::ModuleSize(xm), std::optional<uint64_t>(1004));
    // Cut in the pattern: the headers that are left (the file's and the
    // pattern's, 345 bytes) already call for its 256 bytes of notes.
    EXPECT_EQ(contentrules::CheckModule("M", xm.substr(0, 400)),
              Problems{"M: is cut short: its headers call for at least 601 bytes, the file has 400"});

    // A MOD whose order list plays patterns 0 and 2 (so three are stored)
    // and whose first sample is 50 words long: 1084 + 3 * 1024 + 100 bytes.
    std::string mod(1084, '\0');
    mod.replace(20 + 22, 2, Be16(50));
    mod[950] = 2;
    mod[953] = 2;
    mod.replace(1080, 4, "M.K.");
    mod += std::string(3 * 1024 + 100, '\0');
    EXPECT_TRUE(contentrules::CheckModule("M", mod).empty());
    EXPECT_TRUE(Mentions(contentrules::CheckModule("M", mod.substr(0, mod.size() - 1)),
                         "call for at least 4256 bytes, the file has 4255"));
    // Six channels: each pattern row holds six notes.
    mod.replace(1080, 4, "6CHN");
    EXPECT_TRUE(Mentions(contentrules::CheckModule("M", mod), "call for at least 5792 bytes, the file has 4256"));
}

TEST_F(ContentRules, MissingAndStrayResourcesAreNamed) {
    // Every resource holds a few letters, but ART7 is not there.
    const contentrules::Lookup lookup = [](const std::string& name) -> std::optional<std::string_view> {
        if (name == "ART7") return std::nullopt;
        return std::string_view("hi");
    };
    contentrules::Summary summary;
    issue::Issue builtIn;
    std::string error;
    ASSERT_TRUE(builtIn.TakeBuiltIn(error)) << error;
    const Problems p = contentrules::CheckCatalogue(builtIn.Contents, lookup, summary);
    EXPECT_TRUE(Mentions(p, "ART7: missing from the executable"));
    EXPECT_FALSE(Mentions(p, "ART1: missing"));
    EXPECT_FALSE(Mentions(p, "(checker)"));
    EXPECT_EQ(summary.Screens, 28);  // 29 screens and twins, less ART7

    const Problems strays = contentrules::CheckUncatalogued(builtIn.Contents, {"MENU", "menu_asc", "MENU-ASC", "ART11"});
    ASSERT_EQ(strays.size(), 2u);
    EXPECT_TRUE(Mentions(strays, "MENU-ASC"));
    EXPECT_TRUE(Mentions(strays, "ART11"));

    EXPECT_EQ(contentrules::CheckResource(drawer, {"NEWS", contentrules::Kind::Text}, ""), Problems{"NEWS: is empty"});
}

}  // namespace
