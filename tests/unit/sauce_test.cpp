// The SAUCE reader on records written byte by byte here, from the record's
// layout: "SAUCE" "00", title 35, author 20, group 20, date 8, file size 4,
// data type, file type, TInfo1..4 (2 each), comment count, flags, font 22.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ansi/art.h"
#include "ansi/sauce.h"
#include "tools/content_rules.h"

namespace {

// A record of an 80x25 ANSI piece with every text field blank.
class Record {
public:
    Record() : bytes_(128, ' ') {
        Put(0, "SAUCE00");
        bytes_[94] = 1;  // character data
        bytes_[95] = 1;  // ANSI
        Word(96, 80);
        Word(98, 25);
        Word(100, 0);
        Word(102, 0);
        bytes_[104] = 0;
        bytes_[105] = 0;
        Put(90, std::string(4, '\0'));
        Put(106, std::string(22, '\0'));
    }
    Record& Title(const std::string& t) { return Put(7, t); }
    Record& Author(const std::string& t) { return Put(42, t); }
    Record& Group(const std::string& t) { return Put(62, t); }
    Record& Date(const std::string& t) { return Put(82, t); }
    Record& Size(unsigned n) {
        for (int i = 0; i < 4; ++i) bytes_[90 + i] = static_cast<char>(n >> (8 * i) & 0xFF);
        return *this;
    }
    Record& Types(int data, int file) {
        bytes_[94] = static_cast<char>(data);
        bytes_[95] = static_cast<char>(file);
        return *this;
    }
    Record& Width(unsigned n) { return Word(96, n); }
    Record& Lines(unsigned n) { return Word(98, n); }
    Record& Comments(int n) {
        bytes_[104] = static_cast<char>(n);
        return *this;
    }
    Record& Flags(int f) {
        bytes_[105] = static_cast<char>(f);
        return *this;
    }
    Record& Font(const std::string& t) { return Put(106, t); }
    Record& Version(const std::string& v) { return Put(5, v); }
    const std::string& Bytes() const { return bytes_; }

private:
    Record& Put(std::size_t at, const std::string& t) {
        bytes_.replace(at, t.size(), t);
        return *this;
    }
    Record& Word(std::size_t at, unsigned n) {
        bytes_[at] = static_cast<char>(n & 0xFF);
        bytes_[at + 1] = static_cast<char>(n >> 8 & 0xFF);
        return *this;
    }
    std::string bytes_;
};

// A comment block of the given lines, each padded to 64 bytes with spaces.
std::string CommentBlock(const std::vector<std::string>& lines) {
    std::string block = "COMNT";
    for (const std::string& line : lines) block += line + std::string(64 - line.size(), ' ');
    return block;
}

const std::string kArt = "\x1b[1;33m\xdb\xdb\xc4\xc4 art\r\n\x1b[0m";

// Whether one of the faults holds Words.
bool Names(const Sauce& s, const std::string& words) {
    for (const std::string& f : s.Faults)
        if (f.find(words) != std::string::npos) return true;
    return false;
}

std::string FaultList(const Sauce& s) {
    std::string all;
    for (const std::string& f : s.Faults) all += f + "\n";
    return all;
}

}  // namespace

TEST(SauceReader, ReadsEveryFieldOfAWellMadeRecord) {
    const Record r = Record()
                         .Title("harbour at dawn")
                         .Author("gull")
                         .Group("quix")
                         .Date("20261210")
                         .Size(static_cast<unsigned>(kArt.size()))
                         .Width(160)
                         .Lines(300)
                         .Flags(0x01 | 0x04 | 0x10)
                         .Font("IBM VGA");
    const Sauce s = ReadSauce(kArt + '\x1a' + r.Bytes());
    EXPECT_TRUE(s.Faults.empty()) << FaultList(s);
    EXPECT_TRUE(s.Present);
    EXPECT_EQ(s.Title, "harbour at dawn");
    EXPECT_EQ(s.Author, "gull");
    EXPECT_EQ(s.Group, "quix");
    EXPECT_EQ(s.Date, "20261210");
    EXPECT_EQ(s.FileSize, kArt.size());
    EXPECT_EQ(s.Width, 160);
    EXPECT_EQ(s.Lines, 300);
    EXPECT_TRUE(s.IceColours);
    EXPECT_EQ(s.LetterSpacing, 9);
    EXPECT_EQ(s.Aspect, SauceAspect::Square);
    EXPECT_EQ(s.Font, "IBM VGA");
    EXPECT_TRUE(s.Comments.empty());
    EXPECT_EQ(s.ArtEnd, kArt.size());
}

TEST(SauceReader, FlagsGiveColoursSpacingAndAspect) {
    struct Case {
        int Flags;
        bool Ice;
        int Spacing;
        SauceAspect Aspect;
        bool Fault;
    };
    const Case cases[] = {
        {0x00, false, 0, SauceAspect::None, false},   {0x01, true, 0, SauceAspect::None, false},
        {0x02, false, 8, SauceAspect::None, false},   {0x04, false, 9, SauceAspect::None, false},
        {0x06, false, 0, SauceAspect::None, true},    {0x08, false, 0, SauceAspect::Legacy, false},
        {0x10, false, 0, SauceAspect::Square, false}, {0x18, false, 0, SauceAspect::None, true},
        {0x0B, true, 8, SauceAspect::Legacy, false},  {0x20, false, 0, SauceAspect::None, true},
        {0xE0, false, 0, SauceAspect::None, true},
    };
    for (const Case& c : cases) {
        const Sauce s = ReadSauce(kArt + '\x1a' + Record().Flags(c.Flags).Bytes());
        EXPECT_EQ(s.IceColours, c.Ice) << c.Flags;
        EXPECT_EQ(s.LetterSpacing, c.Spacing) << c.Flags;
        EXPECT_EQ(s.Aspect, c.Aspect) << c.Flags;
        EXPECT_EQ(!s.Faults.empty(), c.Fault) << c.Flags << ": " << FaultList(s);
    }
}

TEST(SauceReader, TextFieldsAreTrimmedAndKeptAsCodePage437) {
    const Sauce s = ReadSauce(kArt + '\x1a' +
                              Record()
                                  .Title(std::string("\xc9\xcd\xbb caf\x82 ") + std::string(5, '\0'))
                                  .Author(std::string("  nyx") + std::string(3, '\0') + "   ")
                                  .Font("IBM VGA50")
                                  .Bytes());
    EXPECT_TRUE(s.Faults.empty()) << FaultList(s);
    EXPECT_EQ(s.Title, "\xc9\xcd\xbb caf\x82");
    EXPECT_EQ(s.Author, "  nyx");
    EXPECT_EQ(s.Group, "");
    EXPECT_EQ(s.Font, "IBM VGA50");
}

TEST(SauceReader, FieldsWithControlBytesAreCutAndNamed) {
    const Sauce s = ReadSauce(kArt + '\x1a' +
                              Record()
                                  .Title(std::string("night ") + '\0' + "sky")
                                  .Author("ab\x1b[2Jcd")
                                  .Group(std::string("\x07ring"))
                                  .Font(std::string("IBM\tVGA"))
                                  .Bytes());
    EXPECT_TRUE(s.Present);
    EXPECT_EQ(s.Title, "night");
    EXPECT_EQ(s.Author, "ab");
    EXPECT_EQ(s.Group, "");
    EXPECT_EQ(s.Font, "IBM");
    EXPECT_TRUE(Names(s, "the title holds bytes that are not code page 437 text")) << FaultList(s);
    EXPECT_TRUE(Names(s, "the author holds")) << FaultList(s);
    EXPECT_TRUE(Names(s, "the group holds")) << FaultList(s);
    EXPECT_TRUE(Names(s, "the font name holds")) << FaultList(s);
    EXPECT_EQ(s.Faults.size(), 4u) << FaultList(s);
}

TEST(SauceReader, KeepsOnlyRealDates) {
    struct Case {
        const char* Date;
        bool Kept;
        bool Fault;
    };
    const Case cases[] = {
        {"20240229", true, false}, {"20000229", true, false}, {"19991231", true, false}, {"20230229", false, true},
        {"19000229", false, true}, {"20240431", false, true}, {"20241301", false, true}, {"20240100", false, true},
        {"00000101", false, true}, {"2024 611", false, true}, {"2024-6-1", false, true}, {"        ", false, false},
    };
    for (const Case& c : cases) {
        const Sauce s = ReadSauce(kArt + '\x1a' + Record().Date(c.Date).Bytes());
        EXPECT_EQ(s.Date, c.Kept ? std::string(c.Date) : std::string()) << c.Date;
        EXPECT_EQ(Names(s, "date"), c.Fault) << c.Date << ": " << FaultList(s);
    }
    const Sauce nuls = ReadSauce(kArt + '\x1a' + Record().Date(std::string(8, '\0')).Bytes());
    EXPECT_TRUE(nuls.Faults.empty()) << FaultList(nuls);
}

TEST(SauceReader, WidthOutOfRangeIsIgnored) {
    for (const unsigned width : {0u, 1001u, 65535u}) {
        const Sauce s = ReadSauce(kArt + '\x1a' + Record().Width(width).Bytes());
        EXPECT_EQ(s.Width, 0) << width;
        EXPECT_EQ(s.Lines, 25) << width;
        EXPECT_TRUE(Names(s, "the width " + std::to_string(width))) << FaultList(s);
    }
    for (const unsigned width : {1u, 1000u}) {
        const Sauce s = ReadSauce(kArt + '\x1a' + Record().Width(width).Bytes());
        EXPECT_EQ(s.Width, static_cast<int>(width));
        EXPECT_TRUE(s.Faults.empty()) << FaultList(s);
    }
}

TEST(SauceReader, RecordOfAnotherKindOfDataGivesNoLook) {
    // Data type 1 file type 3 is a vector drawing, whose TInfo fields are pixels.
    const Sauce s = ReadSauce(kArt + '\x1a' + Record().Types(1, 3).Width(640).Lines(350).Flags(0x04).Bytes());
    EXPECT_TRUE(s.Present);
    EXPECT_EQ(s.Width, 0);
    EXPECT_EQ(s.Lines, 0);
    EXPECT_EQ(s.LetterSpacing, 0);
    EXPECT_TRUE(Names(s, "no character art the gallery draws")) << FaultList(s);
    const Sauce ascii = ReadSauce(kArt + '\x1a' + Record().Types(1, 0).Bytes());
    EXPECT_EQ(ascii.Width, 80);
    EXPECT_TRUE(ascii.Faults.empty()) << FaultList(ascii);
}

TEST(SauceReader, CommentsStandBeforeTheRecord) {
    const std::string block = CommentBlock({"drawn over three nights", "", "for the harbour crew \xb3 quix"});
    const Sauce s = ReadSauce(kArt + '\x1a' + block + Record().Comments(3).Size(kArt.size()).Bytes());
    EXPECT_TRUE(s.Faults.empty()) << FaultList(s);
    ASSERT_EQ(s.Comments.size(), 3u);
    EXPECT_EQ(s.Comments[0], "drawn over three nights");
    EXPECT_EQ(s.Comments[1], "");
    EXPECT_EQ(s.Comments[2], "for the harbour crew \xb3 quix");
    EXPECT_EQ(s.ArtEnd, kArt.size());
}

TEST(SauceReader, BadCommentBlocksAreIgnoredAndNamed) {
    // The count runs past the start of the file: 10 lines take 645 bytes.
    const Sauce past = ReadSauce(kArt + '\x1a' + Record().Comments(10).Bytes());
    EXPECT_TRUE(Names(past, "the comment count 10 runs past the start of the file")) << FaultList(past);
    EXPECT_TRUE(past.Comments.empty());
    EXPECT_EQ(past.ArtEnd, kArt.size());
    // 255 lines, the most a count can say, in a short file.
    const Sauce most = ReadSauce(Record().Comments(255).Bytes());
    EXPECT_TRUE(Names(most, "runs past the start of the file")) << FaultList(most);

    // Room enough, but no COMNT where the block must begin.
    const std::string art(300, 'x');
    const Sauce missing = ReadSauce(art + '\x1a' + Record().Comments(2).Bytes());
    EXPECT_TRUE(Names(missing, "no COMNT block")) << FaultList(missing);
    EXPECT_TRUE(missing.Comments.empty());
    EXPECT_EQ(missing.ArtEnd, art.size());

    // A block of two lines but a count of one: the block does not begin
    // 69 bytes before the record.
    const std::string two = CommentBlock({"one", "two"});
    const Sauce miscounted = ReadSauce(kArt + '\x1a' + two + Record().Comments(1).Bytes());
    EXPECT_TRUE(Names(miscounted, "no COMNT block")) << FaultList(miscounted);

    // A comment line with a control byte is cut before it.
    const Sauce control =
        ReadSauce(kArt + '\x1a' + CommentBlock({"fine", std::string("bell\x07here")}) + Record().Comments(2).Bytes());
    ASSERT_EQ(control.Comments.size(), 2u);
    EXPECT_EQ(control.Comments[1], "bell");
    EXPECT_TRUE(Names(control, "comment line 2 holds bytes")) << FaultList(control);
}

TEST(SauceReader, TheRecordsOwnPositionDecidesWhereTheArtEnds) {
    // The art holds byte 26 early (an old end of file left inside it).
    const std::string art = kArt + '\x1a' + "more art after an early end" + '\x1a' + "and more";
    const Sauce s = ReadSauce(art + '\x1a' + Record().Size(static_cast<unsigned>(art.size())).Bytes());
    EXPECT_TRUE(s.Faults.empty()) << FaultList(s);
    EXPECT_EQ(s.ArtEnd, art.size());

    const std::string block = CommentBlock({"c"});
    const Sauce commented = ReadSauce(art + '\x1a' + block + Record().Comments(1).Bytes());
    EXPECT_EQ(commented.ArtEnd, art.size());
}

TEST(SauceReader, ARecordStraightAfterTheArtIsCutByItsLayout) {
    // Many pieces are saved without the byte 26: the record is still the
    // last 128 bytes, the comment block the lines before it, and neither is art.
    const Sauce s = ReadSauce(kArt + Record().Bytes());
    EXPECT_TRUE(s.Present);
    EXPECT_TRUE(s.Faults.empty()) << FaultList(s);
    EXPECT_EQ(s.ArtEnd, kArt.size());
    EXPECT_EQ(s.DataEnd, kArt.size());

    const Sauce commented = ReadSauce(kArt + CommentBlock({"c"}) + Record().Comments(1).Bytes());
    EXPECT_TRUE(commented.Faults.empty()) << FaultList(commented);
    EXPECT_EQ(commented.ArtEnd, kArt.size());
    ASSERT_EQ(commented.Comments.size(), 1u);

    // With the byte 26 the art ends before it, and a binary format's data
    // at the record (its data may end in a byte 26 of its own).
    const Sauce ended = ReadSauce(kArt + '\x1a' + Record().Bytes());
    EXPECT_EQ(ended.ArtEnd, kArt.size());
    EXPECT_EQ(ended.DataEnd, kArt.size() + 1);
}

TEST(SauceReader, AFileThatIsOnlyARecord) {
    const Sauce bare = ReadSauce(Record().Title("nothing else").Bytes());
    EXPECT_TRUE(bare.Present);
    EXPECT_EQ(bare.Title, "nothing else");
    EXPECT_EQ(bare.ArtEnd, 0u);
    EXPECT_TRUE(bare.Faults.empty()) << FaultList(bare);

    const Sauce ended = ReadSauce('\x1a' + Record().Bytes());
    EXPECT_EQ(ended.ArtEnd, 0u);
    EXPECT_TRUE(ended.Faults.empty()) << FaultList(ended);
}

TEST(SauceReader, FilesWithoutARecord) {
    for (const std::string& file : {std::string(), kArt, kArt + '\x1a', std::string(500, 'x')}) {
        const Sauce s = ReadSauce(file);
        EXPECT_FALSE(s.Present);
        EXPECT_EQ(s.ArtEnd, file.size());
        EXPECT_TRUE(s.Faults.empty()) << FaultList(s);
    }
}

TEST(SauceReader, ARecordCutShortIsNamed) {
    // Shorter than 128 bytes as a whole: the record begins the file.
    const std::string alone = Record().Bytes().substr(0, 100);
    const Sauce a = ReadSauce(alone);
    EXPECT_FALSE(a.Present);
    EXPECT_EQ(a.ArtEnd, 0u);
    EXPECT_TRUE(Names(a, "ends 100 bytes into its SAUCE record")) << FaultList(a);
    EXPECT_EQ(a.Faults.size(), 1u) << FaultList(a);

    // A longer file whose record lost its last bytes.
    const std::string art(400, 'x');
    const Sauce b = ReadSauce(art + '\x1a' + Record().Bytes().substr(0, 127));
    EXPECT_FALSE(b.Present);
    EXPECT_EQ(b.ArtEnd, art.size());
    EXPECT_TRUE(Names(b, "ends 127 bytes into its SAUCE record")) << FaultList(b);
    EXPECT_EQ(b.Faults.size(), 1u) << FaultList(b);
}

TEST(SauceReader, ARecordOfAnotherVersionIsNotRead) {
    const Sauce s = ReadSauce(kArt + '\x1a' + Record().Version("01").Title("new").Width(2000).Bytes());
    EXPECT_FALSE(s.Present);
    EXPECT_EQ(s.Title, "");
    EXPECT_EQ(s.Width, 0);
    EXPECT_EQ(s.ArtEnd, kArt.size());
    EXPECT_TRUE(Names(s, "version \"01\", not 00")) << FaultList(s);
    EXPECT_EQ(s.Faults.size(), 1u) << FaultList(s);
    // A version of control bytes is named without them.
    const Sauce odd = ReadSauce(kArt + '\x1a' + Record().Version("\x1b\n").Bytes());
    EXPECT_TRUE(Names(odd, "version \"??\"")) << FaultList(odd);
}

TEST(SauceReader, AStaleFileSizeIsReadButNoFault) {
    // Art edited after it was saved: the record still gives the old size.
    const std::string edited = kArt + "more";
    const Sauce s = ReadSauce(edited + '\x1a' + Record().Size(static_cast<unsigned>(kArt.size()) + 70000).Bytes());
    EXPECT_EQ(s.FileSize, kArt.size() + 70000);
    EXPECT_EQ(s.ArtEnd, edited.size());
    EXPECT_TRUE(s.Faults.empty()) << FaultList(s);
}

TEST(SauceInTheChecker, EachFaultIsOneLineNamingThePiece) {
    const std::string piece = kArt + Record().Date("20241350").Width(0).Lines(1).Bytes();
    const contentrules::Problems problems = contentrules::CheckSauce("ART3", piece);
    ASSERT_EQ(problems.size(), 2u) << [&] {
        std::string all;
        for (const std::string& p : problems) all += p + "\n";
        return all;
    }();  // the date, the width
    for (const std::string& p : problems) {
        EXPECT_EQ(p.rfind("ART3: SAUCE record: ", 0), 0u) << p;
        EXPECT_EQ(p.find('\n'), std::string::npos) << p;
    }
    EXPECT_TRUE(contentrules::CheckSauce("ART3", kArt).empty());  // no record at all
    EXPECT_TRUE(contentrules::CheckSauce("ART3", kArt + '\x1a' + Record().Size(kArt.size()).Lines(1).Bytes()).empty());
}

// Art of Rows rows whose first row reaches column Width.
std::string ArtOf(int rows, int width) {
    std::string art = std::string(static_cast<std::size_t>(width - 1), '.') + "x\r\n";
    for (int row = 2; row <= rows; ++row) art += "row\r\n";
    return art;
}

// What the checker finds of a piece: each finding's text.
std::vector<std::string> PieceFindings(const std::string& bytes) {
    const contentrules::ScreenDrawer drawer;
    bool text = false;
    std::vector<std::string> out;
    for (const contentrules::Finding& f : contentrules::CheckPiece(drawer, "art.ans", bytes, 0, text)) out.push_back(f.What);
    return out;
}

TEST(SauceInTheChecker, RefusesPiecesWiderThanTheGalleryPans) {
    auto problems = [](unsigned width, unsigned lines) {
        return PieceFindings(ArtOf(static_cast<int>(lines), 150) + '\x1a' + Record().Width(width).Lines(lines).Bytes());
    };
    EXPECT_TRUE(problems(160, 300).empty());
    const std::vector<std::string> wide = problems(161, 25);
    ASSERT_GE(wide.size(), 1u);
    EXPECT_NE(wide[0].find("the width is 161 columns, wider than the gallery can pan (at most 160)"), std::string::npos)
        << wide[0];
}

TEST(SauceInTheChecker, ARecordMustAgreeWithTheArtAsDrawn) {
    auto problems = [](const std::string& art, unsigned width, unsigned lines) {
        return PieceFindings(art + '\x1a' + Record().Width(width).Lines(lines).Bytes());
    };
    // A screen-sized piece of 24 rows, its record counting the 25th.
    EXPECT_TRUE(problems(ArtOf(24, 79), 80, 25).empty());
    EXPECT_TRUE(problems(ArtOf(300, 79), 80, 300).empty());
    EXPECT_TRUE(problems(ArtOf(25, 159), 160, 25).empty());
    EXPECT_TRUE(problems(ArtOf(10, 79), 80, 0).empty()) << "no lines given: nothing to compare";

    const std::vector<std::string> longer = problems(ArtOf(30, 79), 80, 25);
    ASSERT_EQ(longer.size(), 1u);
    EXPECT_NE(longer[0].find("says 25 lines, but the art draws 30 rows"), std::string::npos) << longer[0];
    const std::vector<std::string> shorter = problems(ArtOf(100, 79), 80, 300);
    ASSERT_EQ(shorter.size(), 1u);
    EXPECT_NE(shorter[0].find("says 300 lines, but the art draws 100 rows"), std::string::npos) << shorter[0];
    // More columns promised than the art draws: 160, and the 132 of a
    // record saved for another screen.
    for (const unsigned width : {160u, 132u}) {
        const std::vector<std::string> empty = problems(ArtOf(25, 79), width, 25);
        ASSERT_EQ(empty.size(), 1u);
        EXPECT_NE(empty[0].find("says " + std::to_string(width) + " columns, but the art draws nothing past the 80th"),
                  std::string::npos)
            << empty[0];
    }
    // The lines are counted at the record's width: 160 columns drawn on a
    // page of 80 would be more rows.
    EXPECT_EQ(problems(ArtOf(25, 159), 80, 25).size(), 1u);
    // A record that claims sizes no art has, over 52 rows: the art's own size
    // is the one the gallery shows.
    Art art;
    ArtProblem problem;
    ASSERT_TRUE(ReadArt(ArtOf(52, 79) + Record().Width(8272).Lines(8224).Bytes(), "art.ans", 0, art, problem));
    EXPECT_EQ(art.Canvas.Width(), 80);
    EXPECT_EQ(art.Canvas.Rows(), 52);
    ASSERT_EQ(art.RecordDisagrees.size(), 2u);
    EXPECT_NE(art.RecordDisagrees[0].find("says 8272 columns"), std::string::npos) << art.RecordDisagrees[0];
    EXPECT_NE(art.RecordDisagrees[1].find("says 8224 lines, but the art draws 52 rows"), std::string::npos)
        << art.RecordDisagrees[1];
}
