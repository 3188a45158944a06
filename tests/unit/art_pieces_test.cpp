// Scene art as the gallery draws it: ANSI pieces by the scene's rules (a
// line end after a full row, the record's iCE flag, 24-bit and 256-colour
// sequences, a record straight after the art), and the art viewer's screen:
// the piece whole, paced, and its credits with every comment line.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "ansi/art.h"
#include "console_fixture.h"
#include "viewer/art_viewer.h"

namespace {

std::string Esc(const std::string& seq) { return "\x1b[" + seq; }

// A SAUCE record by its layout (128 bytes): the title, author and group,
// the date, the data and file types, width and lines, the comment count,
// the flags (bit 0 iCE colours) and the font.
std::string Record(const std::string& title, int width, int lines, int flags, int comments = 0) {
    std::string r = "SAUCE00";
    auto text = [&r](const std::string& t, std::size_t n) { r += (t + std::string(n, ' ')).substr(0, n); };
    text(title, 35);
    text("wren", 20);
    text("quix", 20);
    r += "20261201";
    r += std::string(4, '\0');  // file size
    r += '\x01';                // character art
    r += '\x01';                // ANSI
    r += static_cast<char>(width & 0xFF);
    r += static_cast<char>(width >> 8);
    r += static_cast<char>(lines & 0xFF);
    r += static_cast<char>(lines >> 8);
    r += std::string(4, '\0');
    r += static_cast<char>(comments);
    r += static_cast<char>(flags);
    r += std::string("IBM VGA") + std::string(15, '\0');
    return r;
}

Art Read(const std::string& bytes, const std::string& name = "piece.ans") {
    Art art;
    ArtProblem problem;
    EXPECT_TRUE(ReadArt(bytes, name, 0, art, problem)) << problem.Text;
    return art;
}

// Rows of text, each ended by CR LF.
std::string Rows(int n, char fill, int width) {
    std::string out;
    for (int i = 0; i < n; ++i) out += std::string(static_cast<std::size_t>(width), static_cast<char>(fill + i % 26)) + "\r\n";
    return out;
}

}  // namespace

// --- ANSI pieces --------------------------------------------------------------

TEST(AnsiPieces, ALineEndAfterAFullRowEndsThatRow) {
    // The scene's editors save every row of 80 characters with a line end.
    const Art art = Read(Rows(25, 'a', 80));
    EXPECT_EQ(art.Canvas.Rows(), 25) << "each line is one row, not two";
    EXPECT_EQ(art.Canvas.At(1, 1).Char, 'a');
    EXPECT_EQ(art.Canvas.At(80, 2).Char, 'b');
    EXPECT_EQ(art.Canvas.At(1, 25).Char, 'y');
    // A full row that goes straight on wraps when its next character comes.
    const Art runOn = Read(std::string(80, 'x') + "y\r\nz");
    EXPECT_EQ(runOn.Canvas.At(1, 2).Char, 'y');
    EXPECT_EQ(runOn.Canvas.At(1, 3).Char, 'z');
    // A cursor move after a full row cancels the wrap.
    const Art moved = Read(std::string(80, 'x') + Esc("5D") + "y");
    EXPECT_EQ(moved.Canvas.At(75, 1).Char, 'y');
    EXPECT_EQ(moved.Canvas.Rows(), 1);
}

TEST(AnsiPieces, ARecordStraightAfterTheArtLeavesNoTrace) {
    const std::string art = Rows(3, 'a', 40);
    const Art piece = Read(art + Record("no end mark", 80, 3, 0));
    EXPECT_EQ(piece.Canvas.Rows(), 3) << "no row of the record's bytes under the art";
    for (int row = 1; row <= 4; ++row)
        for (int col = 1; col <= 80; ++col) EXPECT_NE(piece.Canvas.At(col, row).Char, 'S') << col << "," << row;
    EXPECT_TRUE(piece.RecordDisagrees.empty());
    EXPECT_EQ(piece.Record.Title, "no end mark");
}

TEST(AnsiPieces, BlinkFollowsTheRecordsIceFlag) {
    // Blink first, then the background: the way art for bright backgrounds
    // is written.
    const std::string sky = Esc("0;5;1;44;34m") + "x";
    EXPECT_EQ(Read(sky + '\x1a' + Record("ice", 80, 1, 1)).Canvas.At(1, 1).Attr, 0x99)
        << "iCE: the blink bit survives the background code: bright blue on bright blue";
    EXPECT_EQ(Read(sky + '\x1a' + Record("no ice", 80, 1, 0)).Canvas.At(1, 1).Attr, 0x19)
        << "no iCE: the background stays dark";
    EXPECT_EQ(Read(sky).Canvas.At(1, 1).Attr, 0x19) << "no record: the background code clears the bit";
    // Blink after the background: the screens' rule brightens, a record
    // without the flag does not.
    const std::string late = Esc("0;44;5m") + "x";
    EXPECT_EQ(Read(late).Canvas.At(1, 1).Attr, 0x97);
    EXPECT_EQ(Read(late + Record("plain", 80, 1, 0)).Canvas.At(1, 1).Attr, 0x17);
    EXPECT_EQ(Read(late + Record("ice", 80, 1, 1)).Canvas.At(1, 1).Attr, 0x97);
    // SGR 0 ends the blink whatever the rule.
    EXPECT_EQ(Read(sky + Esc("0m") + "y" + Record("ice", 80, 1, 1)).Canvas.At(2, 1).Attr, 0x07);
}

TEST(AnsiPieces, TwentyFourBitAndTwoHundredFiftySixColoursAreTheCellsOwn) {
    const Art art = Read(Esc("38;2;255;100;90m") + "a" + Esc("48;2;0;0;64m") + "b" + Esc("31m") + "c" + Esc("0m") + "d" +
                         Esc("38;5;196m") + "e" + Esc("48;5;244m") + "f" + Esc("38;5;12m") + "g" + Esc("1;10;200;30t") +
                         "h" + Esc("0;1;2;3t") + "i");
    const TCanvas& c = art.Canvas;
    EXPECT_EQ(c.At(1, 1).Fore, conapi::OwnColour(255, 100, 90));
    EXPECT_EQ(c.At(1, 1).Back, 0u);
    EXPECT_EQ(c.At(1, 1).Attr & 0x0F, 12) << "the nearest of the sixteen: light red";
    EXPECT_EQ(c.At(2, 1).Back, conapi::OwnColour(0, 0, 64));
    EXPECT_EQ(c.At(3, 1).Fore, 0u) << "a colour of the sixteen ends the own foreground";
    EXPECT_EQ(c.At(3, 1).Back, conapi::OwnColour(0, 0, 64)) << "but not the background";
    EXPECT_EQ(c.At(3, 1).Attr & 0x0F, 4);
    EXPECT_EQ(c.At(4, 1).Fore | c.At(4, 1).Back, 0u) << "SGR 0 ends both";
    EXPECT_EQ(c.At(4, 1).Attr, 0x07);
    EXPECT_EQ(c.At(5, 1).Fore, conapi::OwnColour(0xFF, 0x00, 0x00)) << "entry 196 of the cube";
    EXPECT_EQ(c.At(6, 1).Back, conapi::OwnColour(0x80, 0x80, 0x80)) << "entry 244 of the greys";
    EXPECT_EQ(c.At(7, 1).Fore, 0u) << "entries 0-15 are the sixteen themselves";
    EXPECT_EQ(c.At(7, 1).Attr & 0x0F, 9) << "ANSI 12 is bright blue";
    EXPECT_EQ(c.At(8, 1).Fore, conapi::OwnColour(10, 200, 30)) << "ESC[1;r;g;bt: the foreground";
    EXPECT_EQ(c.At(9, 1).Back, conapi::OwnColour(1, 2, 3)) << "ESC[0;r;g;bt: the background";
    // A sequence cut short sets nothing; the magazine's screens do not read
    // these forms at all.
    EXPECT_EQ(Read(Esc("38;2;1m") + "x").Canvas.At(1, 1).Fore, 0u);
}

// --- The viewer ------------------------------------------------------------------

class ArtViewer : public ConsoleTest {
protected:
    static std::string Screen() {
        std::string all;
        for (int y = 1; y <= 25; ++y) all += Row(y) + "\n";
        return all;
    }
};

TEST_F(ArtViewer, APieceThatFitsIsShownWholeFromItsFirstRow) {
    // 25 rows of 80 with a line end after the last: nothing scrolls away.
    const std::string file = Rows(25, 'a', 80);
    const Art art = Read(file);
    const CanvasView view = DrawArtPaced(art, file, 0);
    EXPECT_EQ(view.Top, 1);
    EXPECT_EQ(Row(1), std::string(80, 'a'));
    EXPECT_EQ(Row(24), std::string(80, 'x'));
    EXPECT_EQ(memcon::ScrollCalls(), 0u);
}

TEST_F(ArtViewer, ATallPieceIsDrawnAtItsPaceAndStopsOnItsLastRows) {
    std::string file;
    for (int i = 1; i <= 60; ++i) file += "row " + std::to_string(i) + "\r\n";
    const Art art = Read(file);
    std::vector<int> topRows;  // what row 1 of the screen shows at each pause
    memcon::OnSleep([&] { topRows.push_back(std::stoi(Row(1).substr(4))); });
    const CanvasView view = DrawArtPaced(art, file, 40);
    memcon::OnSleep(nullptr);
    EXPECT_EQ(view.Top, 60 - 24 + 1);
    EXPECT_EQ(Row(1), "row 37");
    EXPECT_EQ(Row(24), "row 60");
    ASSERT_GE(topRows.size(), static_cast<std::size_t>(file.size() / 40 - 1)) << "a pause each 40 bytes";
    EXPECT_EQ(topRows.front(), 1) << "the drawing begins at the top";
    EXPECT_GT(topRows.back(), 1) << "and scrolls as it goes on";
}

TEST_F(ArtViewer, EscFinishesTheDrawingAtOnce) {
    std::string file;
    for (int i = 1; i <= 60; ++i) file += "row " + std::to_string(i) + "\r\n";
    const Art art = Read(file);
    memcon::PressEsc();
    DrawArtPaced(art, file, 1);
    EXPECT_LT(memcon::SleepCalls(), 3u) << "no more pauses after Esc";
    EXPECT_EQ(Row(24), "row 60") << "and the piece is shown whole";
}

TEST_F(ArtViewer, TheCreditsShowEveryCommentLineWhole) {
    std::string comments = "COMNT";
    std::vector<std::string> lines;
    for (char c : std::string("vwxyz")) {
        lines.push_back(std::string(60, c) + "-end");
        comments += lines.back();
    }
    const std::string file = Rows(10, 'a', 40) + '\x1a' + comments + Record("five lines", 80, 10, 0, 5);
    const Art art = Read(file);
    DrawArtPaced(art, file, 0);
    EXPECT_THROW(ShowArtCredits(art, false), memcon::InputExhausted) << "the box waits for a key";
    const std::string screen = Screen();
    for (const std::string& line : lines) EXPECT_NE(screen.find(line), std::string::npos) << line << "\n" << screen;
    EXPECT_NE(screen.find("size   : 80 columns x 10 rows"), std::string::npos) << screen;
    EXPECT_NE(screen.find("format : ANSI"), std::string::npos) << screen;
    // A key gives the piece back.
    DrawArtPaced(art, file, 0);
    memcon::TypeText("q");
    ShowArtCredits(art, false);
    EXPECT_EQ(Row(5), std::string(40, 'e'));
}

TEST_F(ArtViewer, TheCreditsGiveTheArtsOwnSizeAndWhereTheRecordDisagrees) {
    const std::string file = Rows(42, 'a', 40) + Record("tall claim", 80, 138, 0);
    const Art art = Read(file);
    ASSERT_EQ(art.Canvas.Rows(), 42);
    const std::vector<std::string> credits = ArtCredits(art, false);
    auto has = [&](const std::string& part) {
        for (const std::string& line : credits)
            if (line.find(part) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has("80 columns x 42 rows"));
    EXPECT_TRUE(has("the record says 138 lines, but the art draws 42 rows"));
}

TEST_F(ArtViewer, ThePiecesOwnFontIsNamedAndToldToTheConsole) {
    Art art = Read(Rows(2, 'a', 10));
    art.Font.Glyphs = std::string(512 * 8, '\x18');
    art.Font.Height = 8;
    art.Font.Count = 512;
    {
        const ArtLook look(art);
        EXPECT_EQ(memcon::Described().FontGlyphs.size(), 512u * 8);
        EXPECT_EQ(memcon::Described().FontHeight, 8);
        EXPECT_FALSE(look.DrawsOwnFont()) << "a console of cells keeps its glyphs";
        const std::vector<std::string> credits = ArtCredits(art, look.DrawsOwnFont());
        bool named = false;
        for (const std::string& line : credits)
            named = named || line == "font   : its own, 512 glyphs of 8 rows, shown here in the standard glyphs";
        EXPECT_TRUE(named);
        // The line is wider than the box: the box shows all of it, the rest
        // on the rows below.
        EXPECT_THROW(ShowArtCredits(art, look.DrawsOwnFont()), memcon::InputExhausted);
        std::string inside;
        for (int y = 4; y <= 19; ++y) {
            const std::string row = Row(y);
            std::istringstream words(row.size() > 7 ? row.substr(7, 66) : std::string());
            for (std::string word; words >> word;) inside += word + " ";
        }
        EXPECT_NE(inside.find("font : its own, 512 glyphs of 8 rows, shown here in the standard glyphs flags"),
                  std::string::npos)
            << inside;
    }
    EXPECT_TRUE(memcon::Described().FontGlyphs.empty()) << "the standard font again after the piece";
}
