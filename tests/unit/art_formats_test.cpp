// The readers of the binary formats and PCBoard, on small pieces written
// here byte by byte from each format's layout and read through ReadArt as
// the gallery reads them, and the damaged files each must refuse with the
// byte at fault. Colours of their own are the VGA's 6-bit registers as 8
// bits: the six bits, then their top two again (21 is 0x55, 63 is 0xFF).
#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>

#include "ansi/art.h"

namespace conapi {
void PrintTo(const Cell& c, std::ostream* os) {
    *os << "{char " << c.Char << ", attr 0x" << std::hex << c.Attr << ", fore 0x" << c.Fore << ", back 0x" << c.Back
        << std::dec << "}";
}
}  // namespace conapi

namespace {

using conapi::Cell;
using conapi::OwnColour;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (const int b : bytes) s += static_cast<char>(b);
    return s;
}
std::string Word(unsigned n) { return Bytes({static_cast<int>(n & 0xFF), static_cast<int>(n >> 8 & 0xFF)}); }
std::string Big(uint32_t n) {
    return Bytes({static_cast<int>(n >> 24), static_cast<int>(n >> 16 & 0xFF), static_cast<int>(n >> 8 & 0xFF),
                  static_cast<int>(n & 0xFF)});
}
std::string Pairs(std::size_t count, char ch, char attr) {
    std::string s;
    for (std::size_t i = 0; i < count; ++i) s += std::string{ch, attr};
    return s;
}

// A byte 26 and a SAUCE record of data type Data, file type File, TInfo1
// Width and flags Flags.
std::string Record(int data, int file, unsigned width = 0, int flags = 0) {
    std::string r = "\x1aSAUCE00" + std::string(75, ' ') + "20260101" + std::string(4, '\0');
    r += Bytes({data, file}) + Word(width) + Word(0) + Word(0) + Word(0) + Bytes({0, flags});
    return r + std::string(22, '\0');
}

// The PC's sixteen colours as the VGA's 6-bit registers.
const std::string kVgaRegisters =
    Bytes({0,  0,  0,  0,  0,  42, 0,  42, 0,  0,  42, 42, 42, 0,  0,  42, 0,  42, 42, 21, 0,  42, 42, 42,
           21, 21, 21, 21, 21, 63, 21, 63, 21, 21, 63, 63, 63, 21, 21, 63, 21, 63, 63, 63, 21, 63, 63, 63});

struct Piece {
    Piece(const std::string& file, const char* name) { read = ReadArt(file, name, 0, art, problem); }
    Cell At(int col, int row) const { return art.Canvas.At(col, row); }
    bool read;
    Art art;
    ArtProblem problem;
};

// Whether Cell shows Ch in colours of its own Fore and Back, its
// attribute being only their nearest.
testing::AssertionResult Own(const Cell& cell, uint16_t ch, uint32_t fore, uint32_t back) {
    if (cell.Char == ch && cell.Fore == fore && cell.Back == back) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the cell is " << testing::PrintToString(cell) << ", not character " << ch
                                       << " in 0x" << std::hex << fore << " on 0x" << back;
}

void ExpectRefused(const std::string& file, const char* name, const std::string& words, std::size_t offset) {
    const Piece piece(file, name);
    EXPECT_FALSE(piece.read) << words;
    EXPECT_NE(piece.problem.Text.find(words), std::string::npos) << piece.problem.Text;
    EXPECT_EQ(piece.problem.Text.find('\n'), std::string::npos);
    EXPECT_EQ(piece.problem.Offset, offset) << piece.problem.Text;
}

TEST(BinaryText, PairsFillRowsOf160ColumnsAndAPartRow) {
    const Piece p("A\x1f" + Pairs(159, 'b', 7) + "C\x9c" + "D\x2e", "a.bin");
    ASSERT_TRUE(p.read) << p.problem.Text;
    EXPECT_EQ(p.art.Canvas.Width(), 160);
    EXPECT_EQ(p.art.Canvas.Rows(), 2);
    EXPECT_EQ(p.At(1, 1), (Cell{'A', 0x1F}));
    EXPECT_EQ(p.At(160, 1), (Cell{'b', 0x07}));
    EXPECT_EQ(p.At(1, 2), (Cell{'C', 0x1C})) << "without a record bit 7 is blink";
    EXPECT_EQ(p.At(2, 2), (Cell{'D', 0x2E}));
    EXPECT_FALSE(p.art.BrightBackgrounds);
}

TEST(BinaryText, TheRecordGivesTheWidthAndIceColours) {
    // File type 40: 80 columns; flag bit 0: iCE colours.
    const Piece p(Pairs(80, 'x', 0x1E) + "y\x9c" + Record(5, 40, 0, 1), "a.bin");
    ASSERT_TRUE(p.read) << p.problem.Text;
    EXPECT_EQ(p.art.Canvas.Width(), 80);
    EXPECT_EQ(p.At(1, 2), (Cell{'y', 0x9C}));
    EXPECT_TRUE(p.art.BrightBackgrounds);
    EXPECT_EQ(p.art.Canvas.Rows(), 2) << "the byte 26 before the record is no pair";
}

TEST(BinaryText, DamagedFilesAreRefused) {
    ExpectRefused("", "a.bin", "no character and attribute pair", 0);
    ExpectRefused(Pairs(10, 'x', 7) + Record(5, 100), "a.bin", "wider than the gallery can pan: 200 columns", 21 + 95);
    ExpectRefused(Pairs(160 * 10000 + 1, ' ', 7), "a.bin", "taller than the gallery holds: 10001 rows",
                  160 * 10000 * 2);
}

std::string XBinHeader(unsigned width, unsigned height, int fontHeight, int flags) {
    return std::string("XBIN\x1a") + Word(width) + Word(height) + Bytes({fontHeight, flags});
}
constexpr int kPalette = 1, kFont = 2, kCompressed = 4, kNonBlink = 8, k512 = 16;

TEST(XBin, RawPairsTakeThePalettesColoursAsTheirOwn) {
    std::string palette = kVgaRegisters;
    palette.replace(3, 3, Bytes({10, 33, 63}));  // colour 1
    const Piece p(XBinHeader(80, 2, 16, kPalette) + palette + Pairs(79, 'a', 0x10) + "b\x07" + "c\x9f" +
                      Pairs(79, ' ', 0),
                  "a.xb");
    ASSERT_TRUE(p.read) << p.problem.Text;
    EXPECT_TRUE(Own(p.At(1, 1), 'a', OwnColour(0, 0, 0), OwnColour(0x28, 0x86, 0xFF)));
    EXPECT_TRUE(Own(p.At(80, 1), 'b', OwnColour(0xAA, 0xAA, 0xAA), OwnColour(0, 0, 0)));
    EXPECT_TRUE(Own(p.At(1, 2), 'c', OwnColour(0xFF, 0xFF, 0xFF), OwnColour(0x28, 0x86, 0xFF))) << "bit 7 was blink";
    EXPECT_EQ(p.At(1, 1).Attr & 0x80, 0) << "colour 1 is nearest the PC's bright blue, which the page cannot show";
    EXPECT_FALSE(p.art.Font.Own());

    const Piece standard(XBinHeader(80, 1, 16, kPalette | kNonBlink) + kVgaRegisters + "c\x9f" + Pairs(79, ' ', 0),
                         "a.xb");
    ASSERT_TRUE(standard.read) << standard.problem.Text;
    EXPECT_EQ(standard.At(1, 1), (Cell{'c', 0x9F})) << "the PC's palette: the attribute alone, bit 7 bright";
}

TEST(XBin, CompressedRunsOfEveryKindGoOnAcrossRows) {
    std::string runs = Bytes({0xC0 | 59, 'a', 0x1E});  // both: 60 cells
    runs += Bytes({0x40 | 29, 'b'});                   // one character, 30 attributes
    for (int i = 0; i < 30; ++i) runs += static_cast<char>(0x40 + i);
    runs += Bytes({0x80 | 9, 0x4F}) + "0123456789";  // one attribute, 10 characters
    runs += static_cast<char>(59);                   // 60 pairs as they are
    for (int i = 0; i < 60; ++i) runs += std::string{static_cast<char>('A' + i % 26), 0x70};
    const Piece p(XBinHeader(80, 2, 16, kCompressed) + runs, "a.xb");
    ASSERT_TRUE(p.read) << p.problem.Text;
    EXPECT_EQ(p.At(60, 1), (Cell{'a', 0x1E}));
    EXPECT_EQ(p.At(61, 1), (Cell{'b', 0x40}));
    EXPECT_EQ(p.At(80, 1), (Cell{'b', 0x53}));
    EXPECT_EQ(p.At(1, 2), (Cell{'b', 0x54})) << "the run goes on in the next row";
    EXPECT_EQ(p.At(10, 2), (Cell{'b', 0x5D}));
    EXPECT_EQ(p.At(11, 2), (Cell{'0', 0x4F}));
    EXPECT_EQ(p.At(20, 2), (Cell{'9', 0x4F}));
    EXPECT_EQ(p.At(21, 2), (Cell{'A', 0x70}));
    EXPECT_EQ(p.At(80, 2), (Cell{'H', 0x70}));
    EXPECT_EQ(p.art.Canvas.Rows(), 2);

    // A run longer than the cells left is drawn as far as they go.
    const Piece over(XBinHeader(80, 1, 16, kCompressed) + Bytes({0xFF, 'o', 7, 0xFF, 'p', 7}), "a.xb");
    ASSERT_TRUE(over.read) << over.problem.Text;
    EXPECT_EQ(over.At(80, 1), (Cell{'p', 7}));
    EXPECT_EQ(over.art.Canvas.Rows(), 1);
}

TEST(XBin, AttributeBit3PicksTheSecondHalfOfAFontOf512) {
    std::string font;
    for (int g = 0; g < 512; ++g) font += Bytes({g & 0xFF, g >> 8}) + std::string(6, '\0');
    const Piece p(XBinHeader(80, 1, 8, kFont | k512) + font + "A\x0c" + "A\x04" + Pairs(78, ' ', 0), "a.xb");
    ASSERT_TRUE(p.read) << p.problem.Text;
    EXPECT_EQ(p.art.Font.Count, 512);
    EXPECT_EQ(p.art.Font.Height, 8);
    EXPECT_EQ(p.art.Font.Glyphs, font);
    EXPECT_EQ(p.At(1, 1), (Cell{256 + 'A', 0x0C})) << "the foreground keeps its bright bit";
    EXPECT_EQ(p.At(2, 1), (Cell{'A', 0x04}));

    const Piece standard(XBinHeader(80, 1, 8, 0) + Pairs(80, 'x', 7), "a.xb");
    ASSERT_TRUE(standard.read) << standard.problem.Text;
    EXPECT_FALSE(standard.art.Font.Own());
    EXPECT_EQ(standard.art.Font.Height, 8) << "the standard font of the header's height";
}

TEST(XBin, DamagedFilesAreRefused) {
    const std::string cells = Pairs(80, 'x', 7);
    ExpectRefused("XBIN\x1a" + Word(80), "a.xb", "stops short", 7);
    ExpectRefused("XBIX\x1a" + XBinHeader(80, 1, 16, 0).substr(5) + cells, "a.xb", "XBIN header", 0);
    ExpectRefused(XBinHeader(0, 1, 16, 0) + cells, "a.xb", "no columns", 5);
    ExpectRefused(XBinHeader(161, 1, 16, 0) + cells, "a.xb", "wider than the gallery can pan: 161 columns", 5);
    ExpectRefused(XBinHeader(65535, 65535, 16, 0), "a.xb", "65535 columns", 5);
    ExpectRefused(XBinHeader(80, 0, 16, 0) + cells, "a.xb", "no rows", 7);
    ExpectRefused(XBinHeader(80, 10001, 16, 0) + cells, "a.xb", "taller than the gallery holds: 10001 rows", 7);
    ExpectRefused(XBinHeader(80, 1, 0, kFont) + cells, "a.xb", "0 rows high", 9);
    ExpectRefused(XBinHeader(80, 1, 33, 0) + cells, "a.xb", "33 rows high", 9);
    ExpectRefused(XBinHeader(80, 1, 16, k512) + cells, "a.xb", "512 characters", 10);
    std::string palette = kVgaRegisters;
    palette[7] = 64;  // colour 2's green
    ExpectRefused(XBinHeader(80, 1, 16, kPalette) + palette + cells, "a.xb", "the value 64", 18);
    ExpectRefused(XBinHeader(80, 1, 16, kPalette) + kVgaRegisters.substr(0, 10), "a.xb", "palette stops", 21);
    ExpectRefused(XBinHeader(80, 1, 16, kFont) + std::string(100, '\0'), "a.xb", "takes 4096 bytes", 11);
    ExpectRefused(XBinHeader(80, 1, 16, 0) + cells.substr(2), "a.xb", "after 79 of its 80 cells", 169);
    ExpectRefused(XBinHeader(80, 1, 16, kCompressed) + Bytes({0xC3, 'a'}), "a.xb", "run at byte 11", 11);
    ExpectRefused(XBinHeader(80, 1, 16, kCompressed) + Bytes({4}) + "a\x07b\x07c\x07", "a.xb", "run at byte 11", 11);
    ExpectRefused(XBinHeader(80, 1, 16, kCompressed) + Bytes({0xC9, 'a', 7}), "a.xb", "after 10 of its 80", 14);
}

// A version byte, 64 registers, a font, then Image.
std::string Artworx(const std::string& registers, const std::string& font, const std::string& image) {
    return "\x01" + registers + font + image;
}

TEST(Artworx, TheAttributeColoursAreTheEgaPicksOfItsRegisters) {
    std::string registers;
    for (int i = 0; i < 64; ++i) registers += Bytes({i, 63 - i, i / 2});
    std::string font;
    for (int i = 0; i < 4096; ++i) font += static_cast<char>(i * 7);
    const Piece p(Artworx(registers, font, Pairs(80, 'A', 0x68) + "z\x01"), "a.adf");
    ASSERT_TRUE(p.read) << p.problem.Text;
    // Colour 8 is register 56 (56, 7, 28); colour 6 is register 20 (20, 43, 10).
    EXPECT_TRUE(Own(p.At(1, 1), 'A', OwnColour(0xE3, 0x1C, 0x71), OwnColour(0x51, 0xAE, 0x28)));
    EXPECT_TRUE(Own(p.At(1, 2), 'z', OwnColour(0x04, 0xFB, 0x00), OwnColour(0x00, 0xFF, 0x00)));
    EXPECT_EQ(p.art.Font.Glyphs, font);
    EXPECT_EQ(p.art.Font.Height, 16);

    // The PC's colours in the EGA's registers: plain attributes, bit 7 bright.
    std::string ega(192, '\0');
    const int picks[16] = {0, 1, 2, 3, 4, 5, 20, 7, 56, 57, 58, 59, 60, 61, 62, 63};
    for (int i = 0; i < 16; ++i) ega.replace(picks[i] * 3, 3, kVgaRegisters.substr(i * 3, 3));
    const Piece standard(Artworx(ega, font, "x\x9c"), "a.adf");
    ASSERT_TRUE(standard.read) << standard.problem.Text;
    EXPECT_EQ(standard.At(1, 1), (Cell{'x', 0x9C}));
}

TEST(Artworx, DamagedFilesAreRefused) {
    const std::string registers(192, '\x10');
    ExpectRefused(Artworx(registers, std::string(100, '\0'), ""), "a.adf", "takes 4096 bytes", 193);
    std::string bad = registers;
    bad[120] = 70;
    ExpectRefused(Artworx(bad, std::string(4096, '\0'), "x\x07"), "a.adf", "the value 70", 121);
    ExpectRefused(Artworx(registers, std::string(4096, '\0'), ""), "a.adf", "no image", 4289);
}

std::string IceDraw(unsigned x1, unsigned y1, unsigned x2, unsigned y2, const std::string& body,
                    const std::string& palette = kVgaRegisters) {
    return "\x04"
           "1.4" +
           Word(x1) + Word(y1) + Word(x2) + Word(y2) + body + std::string(4096, '\x5a') + palette;
}

TEST(IceDraw, ARunRepeatsAPairAndTheFontAndPaletteEndTheFile) {
    // Character 1 in attribute 0: a run of 100 (its second count byte means
    // nothing) of 'r' in 0x2E; character 1 in another attribute is itself.
    const std::string body = "A\x1f" + Bytes({1, 0x1E}) + Bytes({1, 0, 100, 7, 'r', 0x2E}) + "z\x9c";
    const Piece p(IceDraw(0, 0, 79, 1, body) + Record(1, 1), "a.idf");
    ASSERT_TRUE(p.read) << p.problem.Text;
    EXPECT_EQ(p.At(1, 1), (Cell{'A', 0x1F}));
    EXPECT_EQ(p.At(2, 1), (Cell{1, 0x1E}));
    EXPECT_EQ(p.At(3, 1), (Cell{'r', 0x2E}));
    EXPECT_EQ(p.At(22, 2), (Cell{'r', 0x2E}));
    EXPECT_EQ(p.At(23, 2), (Cell{'z', 0x9C})) << "bit 7 is a bright background";
    EXPECT_EQ(p.art.Font.Glyphs, std::string(4096, '\x5a'));

    std::string palette = kVgaRegisters;
    palette.replace(3, 3, Bytes({63, 32, 0}));
    const Piece narrow(IceDraw(0, 0, 39, 0, Pairs(41, 'n', 0x01), palette), "a.idf");
    ASSERT_TRUE(narrow.read) << narrow.problem.Text;
    EXPECT_TRUE(Own(narrow.At(1, 2), 'n', OwnColour(0xFF, 0x82, 0x00), OwnColour(0, 0, 0)));
    EXPECT_EQ(narrow.art.Canvas.Rows(), 2) << "x2 + 1 = 40 columns";
}

TEST(IceDraw, DamagedFilesAreRefused) {
    ExpectRefused(IceDraw(5, 0, 4, 0, "x\x07"), "a.idf", "right of its end", 4);
    ExpectRefused(IceDraw(0, 0, 160, 0, "x\x07"), "a.idf", "wider than the gallery can pan: 161 columns", 8);
    ExpectRefused(IceDraw(0, 0, 79, 0, "x\x07").substr(0, 200), "a.idf", "too short", 200);
    ExpectRefused(IceDraw(0, 0, 79, 0, Bytes({1, 0, 5})), "a.idf", "stops before its pair", 12);
    ExpectRefused(IceDraw(0, 0, 79, 0, "x\x07y"), "a.idf", "has no attribute", 14);
    ExpectRefused(IceDraw(0, 0, 79, 0, ""), "a.idf", "no image", 12);
}

const std::string kTundra = "\x18TUNDRA24";

TEST(Tundra, CommandsSetColoursAndPlaceTheCursor) {
    const std::string stream = "a" + Bytes({2, 'b'}) + Big(0xFF8000) + Bytes({4, 'c'}) + Big(0x102030) +
                               Bytes({6, 'd'}) + Big(0x123456) + Big(0x654321) + Bytes({1}) + Big(2) + Big(78) +
                               "efg\r\n\x1a";
    const Piece p(kTundra + stream, "a.tnd");
    ASSERT_TRUE(p.read) << p.problem.Text;
    EXPECT_TRUE(Own(p.At(1, 1), 'a', OwnColour(0, 0, 0), OwnColour(0, 0, 0)));
    EXPECT_TRUE(Own(p.At(2, 1), 'b', OwnColour(0xFF, 0x80, 0), OwnColour(0, 0, 0)));
    EXPECT_TRUE(Own(p.At(3, 1), 'c', OwnColour(0xFF, 0x80, 0), OwnColour(0x10, 0x20, 0x30)));
    EXPECT_TRUE(Own(p.At(4, 1), 'd', OwnColour(0x12, 0x34, 0x56), OwnColour(0x65, 0x43, 0x21)));
    EXPECT_TRUE(Own(p.At(79, 3), 'e', OwnColour(0x12, 0x34, 0x56), OwnColour(0x65, 0x43, 0x21)));
    EXPECT_EQ(p.At(80, 3).Char, 'f');
    EXPECT_EQ(p.At(1, 4).Char, 'g') << "the 80th column wraps";
    EXPECT_EQ(p.At(2, 4).Char, 13) << "line ends and byte 26 are characters";
    EXPECT_EQ(p.At(3, 4).Char, 10);
    EXPECT_EQ(p.At(4, 4).Char, 26);
    EXPECT_EQ(p.art.Canvas.Rows(), 4);

    const Piece wide(kTundra + std::string(100, 'w') + Record(1, 8, 160), "a.tnd");
    ASSERT_TRUE(wide.read) << wide.problem.Text;
    EXPECT_EQ(wide.At(100, 1).Char, 'w');
    EXPECT_EQ(wide.At(101, 1).Char, ' ') << "the byte 26 before the record is not drawn";
}

TEST(Tundra, DamagedFilesAreRefused) {
    ExpectRefused("\x18TUNDRA23abc", "a.tnd", "TundraDraw header", 0);
    ExpectRefused(kTundra + "ab" + Bytes({2, 'x', 0, 0x11, 0x22}), "a.tnd", "stops at the end", 11);
    ExpectRefused(kTundra + Bytes({1}) + Big(10000) + Big(0), "a.tnd", "row 10000, column 0", 9);
    ExpectRefused(kTundra + Bytes({1}) + Big(0) + Big(80), "a.tnd", "column 80", 9);
    ExpectRefused(kTundra + "ab" + Record(1, 8, 200), "a.tnd", "200 columns", 12 + 96);
}

TEST(PcBoard, CodesSetColoursClearThePageAndMoveTheCursor) {
    const Piece p("gone@CLS@@X1Fab@X9Cc x@y@POS:10@z\r\nb\nc\rd\te\r\n" + std::string(80, 'f') + "\r\ng\x1b@X1" +
                      "\x1aunseen",
                  "a.pcb");
    ASSERT_TRUE(p.read) << p.problem.Text;
    EXPECT_EQ(p.At(1, 1), (Cell{'a', 0x1F}));
    EXPECT_EQ(p.At(3, 1), (Cell{'c', 0x9C})) << "background first; bit 7 bright";
    EXPECT_EQ(p.At(5, 1).Char, 'x');
    EXPECT_EQ(p.At(6, 1).Char, 'y') << "an @ that begins no code is not drawn";
    EXPECT_EQ(p.At(10, 1).Char, 'z');
    EXPECT_EQ(p.At(1, 2).Char, 'b');
    EXPECT_EQ(p.At(1, 3).Char, 'c') << "a line feed begins the row";
    EXPECT_EQ(p.At(2, 3).Char, 'd') << "a carriage return does nothing";
    EXPECT_EQ(p.At(11, 3).Char, 'e') << "a tab moves eight columns on";
    EXPECT_EQ(p.At(80, 4).Char, 'f');
    EXPECT_EQ(p.At(1, 5).Char, 'g') << "a line end right after a full row adds no empty row";
    EXPECT_EQ(p.At(2, 5).Char, 27);
    EXPECT_EQ(p.At(3, 5).Char, 'X') << "a colour code cut by the end is text";
    EXPECT_EQ(p.art.Canvas.Rows(), 5) << "the art ends at the byte 26";
}

TEST(PcBoard, ColourCodesWithoutHexDigitsAreRefused) {
    ExpectRefused("ab@XG1cd", "a.pcb", "not hex digits", 2);
    ExpectRefused("@X1f", "a.pcb", "not hex digits", 0);
    ExpectRefused("ab" + Record(1, 4, 161), "a.pcb", "161 columns", 3 + 96);
}

ArtFormat Told(const std::string& file, const char* name) { return TellArtFormat(file, ReadSauce(file), name); }

TEST(TellArtFormat, ContentFirstThenTheRecordThenTheName) {
    EXPECT_EQ(Told(XBinHeader(80, 1, 16, 0) + Record(5, 40), "a.bin"), ArtFormat::XBin);
    EXPECT_EQ(Told(IceDraw(0, 0, 79, 0, "x\x07"), "a.ans"), ArtFormat::IceDraw);
    EXPECT_EQ(Told(kTundra + "abc", "a.txt"), ArtFormat::Tundra);
    EXPECT_EQ(Told("ab" + Record(5, 40), "a.ans"), ArtFormat::Binary);
    EXPECT_EQ(Told("ab" + Record(6, 0), "a.ans"), ArtFormat::XBin);
    EXPECT_EQ(Told("ab" + Record(1, 4), "a.ans"), ArtFormat::PcBoard);
    EXPECT_EQ(Told("ab" + Record(1, 8), "a.ans"), ArtFormat::Tundra);
    // A record that only says ANSI does not outweigh the name.
    EXPECT_EQ(Told("ab" + Record(1, 1), "a.ADF"), ArtFormat::Artworx);
    EXPECT_EQ(Told("@X1Fab" + Record(1, 1), "a.ans"), ArtFormat::Ansi);
    // PCBoard's codes without escapes, where nothing else says.
    EXPECT_EQ(Told("@X1Fab", "a.ans"), ArtFormat::PcBoard);
    EXPECT_EQ(Told("@X1Fab\x1b[0m", "a.ans"), ArtFormat::Ansi);
    EXPECT_EQ(Told("@X1Fab", "a.bin"), ArtFormat::Binary);
    EXPECT_EQ(Told("@x1fab", "piece"), ArtFormat::Ansi);
}

}  // namespace
