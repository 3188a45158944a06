// The main menu and the sections, run on the memory console with the real
// embedded screens and texts.
//
// Keys are scheduled at later virtual times, one wait at a time: the ANSI
// renderer takes any key that is due while it draws, so each key must come
// after the wipe and the drawing before the wait it is meant for. A test
// looks at the screen where the program stops for a key that the script
// does not hold (viewer, prompt, dialog): the memory console then throws
// InputExhausted out of the section.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "ansi/ansi_renderer.h"
#include "app/articles.h"
#include "app/gallery.h"
#include "app/main_menu.h"
#include "app/program.h"
#include "app_fixture.h"
#include "console/con_memory.h"

namespace {

using apptest::Exists;
using apptest::FillScreen;
using apptest::ReadFile;
using apptest::WriteFile;

constexpr Byte KeyDown = 80, KeyLeft = 75, KeyRight = 77, KeyEnd = 79;

// Longer than any wipe plus the drawing of a screen.
constexpr uint32_t Gap = 10000;

class Sections : public apptest::ProgramTest {
protected:
    // The moment of the next wait; the keys of one wait share it.
    uint32_t Next() { return at_ += Gap; }

    void Down(int n, uint32_t at) {
        for (int i = 0; i < n; ++i) memcon::PressExtended(KeyDown, 0, at);
    }
    // Moves the bar N entries down and chooses.
    void Choose(int n) {
        const uint32_t at = Next();
        Down(n, at);
        memcon::PressEnter(at);
    }
    void Esc() { memcon::PressEsc(Next()); }
    void Type(const std::string& text) { memcon::TypeText(text, Next()); }
    // The last entry of a menu.
    void ChooseLast() {
        const uint32_t at = Next();
        memcon::PressExtended(KeyEnd, 0, at);
        memcon::PressEnter(at);
    }

    // The rows of a resource screen drawn on a cleared screen.
    std::vector<std::string> DrawnRows(const std::string& resource) {
        WriteFile(work_ / "drawn.ans", ResourceBytes(resource));
        SetTextColor(7);
        ClearScreen();
        ShowAnsiFile(work_ / "drawn.ans", 0);
        std::remove((work_ / "drawn.ans").c_str());
        std::vector<std::string> rows;
        for (int y = 1; y <= 25; ++y) rows.push_back(Row(y));
        return rows;
    }

    // The text a viewer row shows of a pipe-coded line: codes removed.
    static std::string Visible(const std::string& line) {
        std::string out;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '|' && i + 2 < line.size() && isdigit(static_cast<unsigned char>(line[i + 1])) &&
                isdigit(static_cast<unsigned char>(line[i + 2]))) {
                i += 2;
                continue;
            }
            out += line[i];
        }
        return out;
    }
    // Whether the viewer shows the first line of the text resource at
    // column X, row Y.
    bool ShowsText(const std::string& resource, int x, int y) {
        const std::string first = Visible(LineOf(ResourceBytes(resource), 0));
        return !first.empty() && Row(y).substr(static_cast<std::size_t>(x - 1), first.size()) == first;
    }
    // Line I (0-based) of an LF-terminated text.
    static std::string LineOf(const std::string& text, int i) {
        std::size_t start = 0;
        for (; i > 0 && start != std::string::npos; --i) {
            start = text.find('\n', start);
            if (start != std::string::npos) ++start;
        }
        if (start == std::string::npos) return {};
        return text.substr(start, text.find('\n', start) - start);
    }

    apptest::Watchdog watchdog_{std::chrono::seconds(30)};
    uint32_t at_ = 0;
};

// Where the marker runs of the header screen lie, found on the drawn screen.
struct Marker {
    int x, y;
};

// --- Main menu -----------------------------------------------------------------------

constexpr int MenuX = 53, MenuY = 10, MenuW = 17;

TEST_F(Sections, MainMenuEscLeavesAndWritesNoFile) {
    SKIP_WITHOUT("menu");
    Esc();
    MainMenu(run_);
    EXPECT_EQ(CurrentScreenFile, "menu");
    EXPECT_TRUE(program_.Files().empty());
    EXPECT_TRUE(WorkingFiles().empty());
}

TEST_F(Sections, MainMenuExitEntryLeaves) {
    SKIP_WITHOUT("menu");
    Choose(5);
    MainMenu(run_);
    EXPECT_TRUE(program_.Files().empty());
    EXPECT_TRUE(WorkingFiles().empty());
}

TEST_F(Sections, MainMenuLeftAndRightStartAgainOnTheFirstEntry) {
    SKIP_WITHOUT("menu", "edit", "editorial", "about", "abouttxt");
    for (Byte arrow : {KeyLeft, KeyRight}) {
        SCOPED_TRACE(arrow == KeyLeft ? "Left" : "Right");
        Choose(4);  // the about page, so that the menu comes back on entry 4
        Esc();
        memcon::PressExtended(arrow, 0, Next());
        Choose(0);  // Enter on whatever is highlighted after the redraw
        EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
        EXPECT_TRUE(ShowsText("editorial", 1, 5)) << "the editorial is open";
        EXPECT_FALSE(ShowsText("abouttxt", 1, 5));
    }
}

TEST_F(Sections, MainMenuHighlightsTheEntryOfTheSectionThatReturned) {
    SKIP_WITHOUT("menu", "about", "abouttxt");
    Choose(4);  // about
    Esc();      // leaves the viewer
    Choose(0);  // Enter on the highlighted entry
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
    EXPECT_TRUE(ShowsText("abouttxt", 1, 5)) << "the about page is open again";
    EXPECT_FALSE(ShowsText("editorial", 1, 5));
    EXPECT_EQ(CurrentScreenFile, "menu") << "the about page sets no screen";
}

TEST_F(Sections, MainMenuRefusesTheGalleryInAsciiMode) {
    SKIP_WITHOUT("menu_asc");
    const std::string refusal = "even if you access the menu, you can't see the ansi art :p";
    AsciiSuffix = "_asc";
    Choose(2);
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
    EXPECT_EQ(Row(22).substr(11), refusal);
    EXPECT_EQ(At(12, 22), 0x07);
    EXPECT_EQ(At(MenuX + MenuW - 1, MenuY + 2), 0x0F) << "the bar is on the entry";
    EXPECT_EQ(At(MenuX + MenuW - 1, MenuY), 0x07);

    // A key closes the refusal; the menu comes back on the same entry.
    memcon::Reset();
    at_ = 0;
    Choose(2);
    Type("q");
    Choose(0);
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
    EXPECT_EQ(Row(22).substr(11), refusal);
    EXPECT_EQ(At(MenuX + MenuW - 1, MenuY + 2), 0x0F);
    EXPECT_EQ(At(MenuX + MenuW - 1, MenuY), 0x07);
    EXPECT_EQ(CurrentScreenFile, "menu_asc") << "the gallery was not entered";
}

TEST_F(Sections, MainMenuKeepsItsColoursWhenHotKeyASwitchesMode) {
    SKIP_WITHOUT("menu");
    Type("a");
    Choose(2);
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
    EXPECT_EQ(AsciiSuffix, "_asc");
    EXPECT_EQ(Row(22).substr(11, 14), "even if you ac") << "the next choice is refused";
    EXPECT_EQ(At(MenuX + MenuW - 1, MenuY + 1), 0x08) << "the ANSI colours stay";
    EXPECT_EQ(At(MenuX + MenuW - 1, MenuY + 2), 0x0F);
}

// --- Articles and tutorials ----------------------------------------------------------------

class SectionArticles : public Sections {
protected:
    // Checks that the screen shows the rows of the drawn Header (with its
    // Markers) that neither a field nor the viewer's window covers, and
    // that one of them at least tells it from the drawn header Other.
    void ExpectHeaderShown(const std::vector<std::string>& header, const std::vector<std::string>& other,
                           const std::vector<Marker>& markers) {
        // The window between the corner markers, or the fallback rows 5..22.
        const int top = markers.size() >= 5 ? markers[3].y : 5;
        const int bottom = markers.size() >= 5 ? markers[4].y : 22;
        int telling = 0;
        for (int y = 1; y <= 25; ++y) {
            const bool marked = std::any_of(markers.begin(), markers.end(), [y](const Marker& k) { return k.y == y; });
            if ((y >= top && y <= bottom) || marked) continue;
            const std::size_t i = static_cast<std::size_t>(y - 1);
            EXPECT_EQ(Row(y), header[i]) << "row " << y;
            if (header[i] != other[i]) ++telling;
        }
        EXPECT_GT(telling, 0) << "no shown row tells the two headers apart";
    }
    // The marker cells of the header screen, in screen order.
    std::vector<Marker> HeaderMarkers(const std::string& resource) {
        DrawnRows(resource);
        std::vector<Marker> markers;
        for (int y = 1; y <= 25; ++y)
            for (int x = 1; x <= 80; ++x)
                if (Ch(x, y) == '!') markers.push_back({x, y});
        return markers;
    }
};

TEST_F(SectionArticles, EntryShowsItsFieldsAndTextWhereTheMarkersWere) {
    SKIP_WITHOUT("articles", "article_hdr", "news");
    const std::vector<Marker> m = HeaderMarkers("article_hdr");
    ASSERT_EQ(m.size(), 5u) << "the header screen marks three fields and two corners";

    Choose(0);
    EXPECT_THROW(ArticlesSection(run_), memcon::InputExhausted);
    EXPECT_EQ(Row(m[0].y).substr(m[0].x - 1, 20), "scene news, issue #1");
    EXPECT_EQ(Row(m[1].y).substr(m[1].x - 1, 4), "moth");
    EXPECT_EQ(Row(m[2].y).substr(m[2].x - 1, 10), "scene/news");
    // The viewer's window: the first line at the top-left corner, in its
    // own colours.
    const std::string first = Visible(LineOf(ResourceBytes("news"), 0));
    EXPECT_EQ(Row(m[3].y).substr(m[3].x - 1, first.size()), first);
    EXPECT_EQ(At(m[3].x, m[3].y), 0x0F);
    for (const Marker& k : m) EXPECT_NE(Ch(k.x, k.y), '!') << k.x << "," << k.y;

    EXPECT_TRUE(WorkingFiles().empty()) << "the screens and the text are drawn from memory";
    EXPECT_EQ(CurrentScreenFile, "articles");
}

TEST_F(SectionArticles, ViewerWindowSpansTheCornerMarkers) {
    SKIP_WITHOUT("articles", "article_hdr", "news");
    const std::vector<Marker> m = HeaderMarkers("article_hdr");
    ASSERT_EQ(m.size(), 5u);
    // Width is the bottom-right marker's column: the scroll bar stands in
    // column X + Width - 1; Height + 1 rows are drawn.
    const int x = m[3].x, y = m[3].y, width = m[4].x, height = m[4].y - m[3].y;
    Choose(0);
    EXPECT_THROW(ArticlesSection(run_), memcon::InputExhausted);
    const int bar = x + width - 1;
    if (bar <= 80) {
        EXPECT_EQ(At(bar, y), 0x70) << "the thumb starts at the top";
        EXPECT_EQ(At(bar, y + height - 1), 0x07) << "the track ends one row above the last";
    }
    const std::string last = Visible(LineOf(ResourceBytes("news"), height)).substr(0, 10);
    EXPECT_EQ(Row(y + height).substr(x - 1, last.size()), last) << "line Height is on the last row";
}

TEST_F(SectionArticles, LeavingTheViewerAndBackLeaveNoFiles) {
    SKIP_WITHOUT("articles", "article_hdr", "article1");
    Choose(1);
    Esc();  // leaves the viewer
    ChooseLast();
    ArticlesSection(run_);
    EXPECT_TRUE(WorkingFiles().empty());
    EXPECT_TRUE(program_.Files().empty());
}

TEST_F(SectionArticles, MenusStandInTheirPlacesInTheirColours) {
    // Articles and tutorials at column 18, row 14, 44 wide and 7 rows; the
    // gallery at column 53, row 8, 18 wide and 11 rows. Leaving with the
    // last entry, "[ b a c k ]", leaves the menu on screen with the bar on
    // that entry and the others in the normal colour.
    const struct {
        void (*section)(MagazineRun&);
        const char* screen;
        int x, y, width, rows;
        Byte selected, normal;
    } menus[] = {{ArticlesSection, "articles", 18, 14, 44, 7, 0x0A, 0x02},
                 {TutorsSection, "tutors", 18, 14, 44, 7, 0x0C, 0x04},
                 {GallerySection, "ansi", 53, 8, 18, 11, 0x0B, 0x03}};
    for (const auto& m : menus) {
        SCOPED_TRACE(m.screen);
        if (FindResource(m.screen) == nullptr) continue;
        memcon::Reset();
        at_ = 0;
        ChooseLast();
        m.section(run_);
        const int last = m.y + m.rows - 1;
        EXPECT_EQ(Row(last).substr(m.x - 1, 13), "[ b a c k ]  ");
        for (int y = m.y; y <= last; ++y) {
            const Byte want = y == last ? m.selected : m.normal;
            EXPECT_EQ(At(m.x, y), want) << "row " << y;
            EXPECT_EQ(At(m.x + m.width - 1, y), want) << "row " << y;
        }
        EXPECT_NE(At(m.x + m.width, last), m.selected) << "the bar ends with the menu's width";
        EXPECT_NE(At(m.x - 1, last), m.selected);
    }
}

TEST_F(SectionArticles, EscInTheSectionMenuStaysAndStartsOnTheFirstEntry) {
    SKIP_WITHOUT("articles", "article_hdr", "news");
    const std::vector<Marker> m = HeaderMarkers("article_hdr");
    ASSERT_EQ(m.size(), 5u);
    const uint32_t at = Next();
    Down(3, at);
    memcon::PressEsc(at);
    Choose(0);
    EXPECT_THROW(ArticlesSection(run_), memcon::InputExhausted);
    EXPECT_TRUE(ShowsText("news", m[3].x, m[3].y)) << "the first entry opened";
    EXPECT_FALSE(ShowsText("article3", m[3].x, m[3].y));
}

TEST_F(SectionArticles, EmptyAuthorLeavesTheFieldBlank) {
    SKIP_WITHOUT("tutors", "article_hdr", "article4");
    const std::vector<Marker> m = HeaderMarkers("article_hdr");
    ASSERT_EQ(m.size(), 5u);
    Choose(0);  // the first tutorial has no author
    EXPECT_THROW(TutorsSection(run_), memcon::InputExhausted);
    EXPECT_EQ(Ch(m[1].x, m[1].y), ' ');
    EXPECT_TRUE(ShowsText("article4", m[3].x, m[3].y));
    EXPECT_EQ(CurrentScreenFile, "tutors");
}

TEST_F(SectionArticles, AsciiModeUsesTheTwinHeader) {
    SKIP_WITHOUT("articles_asc", "article_hdr_asc", "news");
    const std::vector<Marker> m = HeaderMarkers("article_hdr_asc");
    ASSERT_GE(m.size(), 3u);
    const std::vector<std::string> header = DrawnRows("article_hdr_asc");
    const std::vector<std::string> ansiHeader = DrawnRows("article_hdr");
    AsciiSuffix = "_asc";
    Choose(0);
    EXPECT_THROW(ArticlesSection(run_), memcon::InputExhausted);
    EXPECT_EQ(Row(m[0].y).substr(m[0].x - 1, 20), "scene news, issue #1");
    EXPECT_EQ(CurrentScreenFile, "articles_asc");
    ExpectHeaderShown(header, ansiHeader, m);
}

TEST_F(SectionArticles, HotKeyABetweenTwoEntriesTakesTheNewModesHeader) {
    SKIP_WITHOUT("articles", "article_hdr", "article_hdr_asc", "news");
    const std::vector<Marker> m = HeaderMarkers("article_hdr_asc");
    ASSERT_GE(m.size(), 3u);
    const std::vector<std::string> header = DrawnRows("article_hdr_asc");
    const std::vector<std::string> ansiHeader = DrawnRows("article_hdr");
    Choose(0);
    Esc();
    const uint32_t at = Next();
    memcon::TypeText("a", at);         // the menu stays as it is, in ANSI colours
    memcon::PressExtended(71, 0, at);  // Home: the first entry again
    memcon::PressEnter(at);
    EXPECT_THROW(ArticlesSection(run_), memcon::InputExhausted);
    EXPECT_EQ(AsciiSuffix, "_asc");
    ExpectHeaderShown(header, ansiHeader, m);
    EXPECT_EQ(CurrentScreenFile, "articles") << "the section keeps its screen";
    EXPECT_EQ(Row(m[0].y).substr(m[0].x - 1, 20), "scene news, issue #1");
    EXPECT_EQ(Row(m[2].y).substr(m[2].x - 1, 10), "scene/news");
}

// --- Gallery -------------------------------------------------------------------------------

constexpr int FieldX = 18, FieldY = 14;  // the save dialog's input field
constexpr int NoticeY = 13;              // the message row of a notice in the dialog's place
const std::string GalleryPrompt = "p r e s s  e  t o  e x t r a c t. a n y  o t h e r  k e y  t o  c o n t i n u e";

class SectionGallery : public Sections {
protected:
    void SetUp() override {
        Sections::SetUp();
        if (FindResource("ansi") == nullptr) GTEST_SKIP() << "the gallery screen is not there yet";
    }
    // The text in the save dialog's field (fill characters removed).
    static std::string Field() {
        std::string s = memcon::RowText(FieldY - 1).substr(FieldX - 1, 49);
        s.erase(s.find_first_of('\xB0') == std::string::npos ? s.size() : s.find_first_of('\xB0'));
        return s;
    }
    // Answers the save dialog: Ctrl+Y empties the proposed name, then Name
    // is typed and confirmed with YES.
    void SaveAs(const std::string& name) {
        const uint32_t at = Next();
        memcon::PressCtrl('y', at);
        memcon::TypeText(name, at);
        memcon::PressEnter(at);
        memcon::TypeText("y", at);
    }
};

TEST_F(SectionGallery, ArtworkTenIsShownWithThePromptAndProposesItsName) {
    SKIP_WITHOUT("art10");
    const std::vector<std::string> art = DrawnRows("art10");
    FillScreen('#', 0x22);
    Choose(9);
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted);
    for (int y = 1; y <= 24; ++y) EXPECT_EQ(Row(y), art[static_cast<std::size_t>(y - 1)]) << "row " << y;
    EXPECT_EQ(Row(25), GalleryPrompt);
    EXPECT_EQ(At(1, 25), 112);
    EXPECT_EQ(At(static_cast<int>(GalleryPrompt.size()), 25), 112);
    EXPECT_EQ(CurrentScreenFile, "ansi");

    memcon::Reset();
    at_ = 0;
    Choose(9);
    Type("e");
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted);
    EXPECT_EQ(Field(), "ansi_art10.ans");
}

// The fields of a piece's SAUCE record, read here by its layout: 128
// bytes at the end, the title at 7 (35 bytes), the author at 42 (20), the
// group at 62 (20), the date at 82 (8).
struct RecordFields {
    std::string title, author, group, date;
};
RecordFields FieldsOf(const std::string& art) {
    const std::string rec = art.substr(art.size() - 128);
    auto field = [&](std::size_t at, std::size_t n) {
        std::string f = rec.substr(at, n);
        f.erase(f.find_last_not_of(' ') + 1);
        return f;
    };
    return {field(7, 35), field(42, 20), field(62, 20), field(82, 8)};
}

TEST_F(SectionGallery, IShowsThePiecesCreditsAndAKeyGivesThePieceBack) {
    SKIP_WITHOUT("art1");
    const std::string art = ResourceBytes("art1");
    ASSERT_EQ(art.substr(art.size() - 128, 7), "SAUCE00") << "the piece carries a record";
    const RecordFields f = FieldsOf(art);
    Choose(0);
    Type("i");
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted) << "the box waits for a key";
    const std::string screen = [] {
        std::string all;
        for (int y = 1; y <= 25; ++y) all += Row(y) + "\n";
        return all;
    }();
    EXPECT_NE(screen.find("c r e d i t s"), std::string::npos) << screen;
    EXPECT_NE(screen.find("title  : " + f.title), std::string::npos) << screen;
    EXPECT_NE(screen.find("author : " + f.author), std::string::npos);
    EXPECT_NE(screen.find("group  : " + f.group), std::string::npos);
    EXPECT_NE(screen.find("date   : " + f.date.substr(0, 4) + "-" + f.date.substr(4, 2) + "-" + f.date.substr(6)),
              std::string::npos);
    EXPECT_NE(screen.find("size   : 80 columns x "), std::string::npos);
    EXPECT_EQ(memcon::Described().Title, f.title + " by " + f.author + " / " + f.group)
        << "the place is called by the piece's credits";

    // A key closes the box: the piece is back, whole, and still waits.
    const std::vector<std::string> drawn = DrawnRows("art1");
    memcon::Reset();
    at_ = 0;
    Choose(0);
    Type("i");
    Type("q");  // closes the box
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted);
    for (int y = 1; y <= 24; ++y) EXPECT_EQ(Row(y), drawn[static_cast<std::size_t>(y - 1)]) << "row " << y;
    EXPECT_EQ(Row(25), GalleryPrompt);
}

TEST_F(SectionGallery, UpperCaseEOpensTheSameDialog) {
    Choose(2);
    Type("E");
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted);
    EXPECT_EQ(Field(), "ansi_art3.ans");
}

TEST_F(SectionGallery, OtherKeysReturnToTheGallery) {
    Choose(0);
    Type("x");  // hot keys are not looked at here: back to the menu
    ChooseLast();
    GallerySection(run_);
    EXPECT_TRUE(program_.Files().empty());
    EXPECT_TRUE(WorkingFiles().empty()) << "nothing is written for the gallery";
}

TEST_F(SectionGallery, EmptiedNameSavesNothing) {
    Choose(0);
    Type("e");
    SaveAs("");
    Choose(0);
    Type("e");
    SaveAs("   ");
    ChooseLast();
    GallerySection(run_);
    EXPECT_TRUE(program_.Files().empty());
    EXPECT_TRUE(WorkingFiles().empty());
    EXPECT_TRUE(work_.Files().empty());
}

TEST_F(SectionGallery, NameIsSavedAsTypedWithTheResourceBytes) {
    WriteFile(program_ / "ansi_art5.ans", std::string(100000, 'z'));  // replaced
    Choose(0);
    Type("e");
    SaveAs("myart");
    Choose(4);
    Type("e");
    const uint32_t at = Next();  // the proposed name as it stands
    memcon::PressEnter(at);
    memcon::TypeText("y", at);
    ChooseLast();
    GallerySection(run_);
    EXPECT_EQ(program_.Files(), (std::vector<std::string>{"ansi_art5.ans", "myart"}));
    EXPECT_EQ(ReadFile(program_ / "myart"), ResourceBytes("art1"));
    EXPECT_EQ(ReadFile(program_ / "ansi_art5.ans"), ResourceBytes("art5"));
}

TEST_F(SectionGallery, AProgramFolderThatCannotBeWrittenSavesInTheCurrentFolder) {
    ProgramDir = "/proc/";  // not writable, not even for root
    Choose(0);
    Type("e");
    SaveAs("myart");
    ChooseLast();
    GallerySection(run_);
    EXPECT_EQ(ReadFile(work_ / "myart"), ResourceBytes("art1"));
    EXPECT_EQ(work_.Files(), std::vector<std::string>{"myart"});
}

#ifndef _WIN32  // POSIX file semantics: links, file size limits, /proc
TEST_F(SectionGallery, TheRunningProgramIsRefused) {
    // The program folder holds a link to the running program: the same file
    // under another name.
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    std::filesystem::create_symlink(self, program_ / "quixmag");
    const auto size = std::filesystem::file_size(self);
    Choose(0);
    Type("e");
    SaveAs("quixmag");
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted) << "a message waits for a key";
    EXPECT_NE(memcon::RowText(NoticeY - 1).find("not saved: that is the running program"), std::string::npos)
        << memcon::RowText(NoticeY - 1);
    EXPECT_EQ(std::filesystem::file_size(self), size);
    EXPECT_TRUE(std::filesystem::is_symlink(program_ / "quixmag"));
}
#endif

TEST_F(SectionGallery, NoAnswerSavesNothing) {
    Choose(0);
    Type("e");
    const uint32_t at = Next();
    memcon::PressEnter(at);
    memcon::TypeText("n", at);
    ChooseLast();
    GallerySection(run_);
    EXPECT_TRUE(program_.Files().empty());
    EXPECT_TRUE(WorkingFiles().empty());
}

TEST_F(SectionGallery, NamesLeavingTheFolderAreRefused) {
    // The program folder is a sub-folder with sub-folders "a" and "tmp", so
    // that each refused name would have somewhere to go.
    ProgramDir = program_ / "prog/";
    std::filesystem::create_directories(program_ / "prog/a");
    std::filesystem::create_directories(program_ / "prog/tmp");
    const bool tmpXBefore = Exists("/tmp/x");
    for (const std::string name : {"../x", "/tmp/x", "a/b", "..", "c:x", "a\\b"}) {
        SCOPED_TRACE(name);
        memcon::Reset();
        at_ = 0;
        Choose(0);
        Type("e");
        SaveAs(name);
        EXPECT_THROW(GallerySection(run_), memcon::InputExhausted) << "a message waits for a key";
        const std::string field = memcon::RowText(FieldY - 1).substr(FieldX - 1, 49);
        EXPECT_EQ(field.find('\xB0'), std::string::npos) << "the notice covers the dialog: " << field;
        EXPECT_NE(memcon::RowText(NoticeY - 1).find("not saved: type a plain file name"), std::string::npos)
            << memcon::RowText(NoticeY - 1);

        memcon::Reset();
        at_ = 0;
        Choose(0);
        Type("e");
        SaveAs(name);
        Type("q");  // the key the message waits for
        ChooseLast();
        GallerySection(run_);  // the gallery went on
    }
    EXPECT_EQ(program_.Files(), std::vector<std::string>{"prog"});
    EXPECT_TRUE(std::filesystem::is_empty(program_ / "prog/a"));
    EXPECT_TRUE(std::filesystem::is_empty(program_ / "prog/tmp"));
    EXPECT_FALSE(Exists(program_ / "prog/menu3.ans"));
    EXPECT_TRUE(WorkingFiles().empty());
    if (!tmpXBefore) {
        EXPECT_FALSE(Exists("/tmp/x"));
    }
}

TEST_F(SectionGallery, UnwritableFileIsReportedAndTheGalleryGoesOn) {
    std::filesystem::create_directories(program_ / "taken");
    Choose(0);
    Type("e");
    SaveAs("taken");
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted) << "a message waits for a key";

    memcon::Reset();
    at_ = 0;
    Choose(0);
    Type("e");
    SaveAs("taken");
    Type("q");
    ChooseLast();
    GallerySection(run_);
    EXPECT_TRUE(std::filesystem::is_directory(program_ / "taken"));
    EXPECT_EQ(program_.Files(), std::vector<std::string>{"taken"});
}

TEST_F(SectionGallery, AfterAnArtworkTheBarIsBackOnItsEntry) {
    Choose(3);
    Type("q");
    Choose(0);
    Type("e");
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted);
    EXPECT_EQ(Field(), "ansi_art4.ans");
}

TEST_F(SectionGallery, EscStartsAgainOnTheFirstEntry) {
    Choose(3);
    Type("q");
    Esc();
    Choose(0);
    Type("e");
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted);
    EXPECT_EQ(Field(), "ansi_art1.ans");
}

TEST_F(SectionGallery, ArtworksIgnoreTheAsciiMode) {
    SKIP_WITHOUT("ansi_asc");
    AsciiSuffix = "_asc";
    Choose(0);
    Type("e");
    SaveAs("copy.ans");
    ChooseLast();
    GallerySection(run_);
    EXPECT_EQ(ReadFile(program_ / "copy.ans"), ResourceBytes("art1"));
}

// --- About and editorial ----------------------------------------------------------------------

struct FramedPage {
    const char* frame;
    const char* text;
    void (*open)(MagazineRun&);
};

class SectionPages : public Sections, public ::testing::WithParamInterface<FramedPage> {};

TEST_P(SectionPages, ShowTheTextInTheFrameAndLeaveNoFiles) {
    const FramedPage page = GetParam();
    SKIP_WITHOUT(page.frame, page.text);
    const std::vector<std::string> frame = DrawnRows(page.frame);
    CurrentScreenFile = "unchanged";
    FillScreen('#', 0x22);
    EXPECT_THROW(page.open(run_), memcon::InputExhausted);
    for (int y : {1, 2, 3, 4, 23, 24, 25}) EXPECT_EQ(Row(y), frame[static_cast<std::size_t>(y - 1)]) << "row " << y;
    const std::string first = Visible(LineOf(ResourceBytes(page.text), 0));
    EXPECT_EQ(Row(5).substr(0, first.size()), first) << "the text starts at column 1, row 5";
    const std::string last = Visible(LineOf(ResourceBytes(page.text), 17)).substr(0, 40);
    EXPECT_EQ(Row(22).substr(0, last.size()), last) << "rows 5 to 22: the 18th line is on row 22";
    EXPECT_EQ(At(80, 5), 0x70) << "the scroll bar's column is 80";
    EXPECT_TRUE(WorkingFiles().empty()) << "the frame and the text are drawn from memory";
    EXPECT_EQ(CurrentScreenFile, "unchanged");

    Esc();
    page.open(run_);
    EXPECT_TRUE(program_.Files().empty());
    EXPECT_TRUE(WorkingFiles().empty());
}

TEST_P(SectionPages, AsciiModeUsesTheTwinFrame) {
    const FramedPage page = GetParam();
    const std::string twin = std::string(page.frame) + "_asc";
    SKIP_WITHOUT(twin.c_str(), page.text);
    const std::vector<std::string> frame = DrawnRows(twin);
    AsciiSuffix = "_asc";
    ASSERT_NE(frame, DrawnRows(page.frame));
    FillScreen('#', 0x22);
    EXPECT_THROW(page.open(run_), memcon::InputExhausted);
    for (int y : {1, 2, 3, 4, 23, 24, 25}) EXPECT_EQ(Row(y), frame[static_cast<std::size_t>(y - 1)]) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(Sections, SectionPages,
                         ::testing::Values(FramedPage{"about", "abouttxt", AboutSection},
                                           FramedPage{"edit", "editorial", EditorialSection}),
                         [](const auto& info) { return std::string(info.param.frame); });

// --- Places: where the reader is, and an address that asks for one ------------------

class Places : public Sections {
protected:
    static std::vector<std::string> Visited() { return memcon::Described().Places; }
    // Asks for Place once the clock reaches the next wait, as a page does
    // when Back is pressed: the request, then the Esc that ends the wait.
    void AskAtNextWait(const std::string& place) { AskAt(place, Next()); }
    void AskAt(const std::string& place, uint32_t at) {
        memcon::OnClockMoved([at, place, asked = false]() mutable {
            if (!asked && memcon::Now() >= at) {
                asked = true;
                memcon::AskForPlace(place);
            }
        });
        memcon::PressEsc(at);
    }
};

TEST_F(Places, AnAddressOpensItsArticleWithoutDrawingTheMenusOnTheWay) {
    SKIP_WITHOUT("menu", "articles", "article_hdr", "news");
    memcon::AskForPlace("articles/news");
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
    EXPECT_EQ(Visited(), std::vector<std::string>{"articles/news"});
    EXPECT_EQ(memcon::Described().Title, "scene news, issue #1");
    EXPECT_EQ(conapi::WantedPlace(), "") << "the place is reached";
    const conapi::Rect window = memcon::Described().TextWindow;
    ASSERT_LE(window.Left, window.Right) << "the viewer's page is described";
    EXPECT_TRUE(ShowsText("news", window.Left + 1, window.Top + 1));
}

TEST_F(Places, AnotherPlaceAskedForLeavesThroughTheMenusAndOpensIt) {
    SKIP_WITHOUT("menu", "articles", "article_hdr", "news", "ansi", "art3");
    memcon::AskForPlace("articles/news");
    AskAtNextWait("gallery/art3");
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
    EXPECT_EQ(Visited(), (std::vector<std::string>{"articles/news", "gallery/art3"}));
    EXPECT_EQ(Row(25), GalleryPrompt) << "the piece is shown";
}

TEST_F(Places, APlaceAskedForWhileAScreenIsDrawnIsFollowedOnceItIsDrawn) {
    SKIP_WITHOUT("menu", "edit", "editorial", "articles", "article_hdr", "news", "ansi", "art3");
    // Frames and pieces are drawn at the reading pace: the Esc that comes
    // with the request ends that drawing, and the viewer or the piece's
    // prompt must still give way.
    const struct {
        const char* first;
        const char* then;
    } cases[] = {{"editorial", "gallery/art3"}, {"gallery/art3", "articles/news"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        memcon::Reset();
        at_ = 0;
        DisplaySpeed = 800;
        memcon::AskForPlace(c.first);
        AskAt(c.then, 1);
        EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
        EXPECT_EQ(Visited(), (std::vector<std::string>{c.first, c.then}));
        EXPECT_EQ(memcon::QueuedEvents(), 0) << "the Esc was taken on the way";
    }
}

TEST_F(Places, APlaceAskedForOverTheTrackMenuClosesItAndIsFollowed) {
    SKIP_WITHOUT("menu", "articles", "article_hdr", "news");
    Type("t");  // the track menu, over the main menu
    AskAtNextWait("articles/news");
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted) << "the article waits for a key";
    EXPECT_EQ(Visited(), (std::vector<std::string>{"menu", "articles/news"}));
    EXPECT_FALSE(TrackMenuOpen);
}

TEST_F(Places, TheMainMenuAskedForIsDrawnAndTheProgramGoesOn) {
    SKIP_WITHOUT("menu", "articles", "article_hdr", "news");
    memcon::AskForPlace("articles/news");
    AskAtNextWait("menu");  // the Esc that comes with it must not leave the magazine
    Esc();                  // the reader's own Esc on the main menu does
    MainMenu(run_);
    EXPECT_EQ(Visited(), (std::vector<std::string>{"articles/news", "menu"}));
}

TEST_F(Places, APlaceAskedForOnTheMainMenuIsOpenedNotTakenForAnEsc) {
    SKIP_WITHOUT("menu", "articles", "article_hdr", "news");
    AskAtNextWait("articles/news");
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted) << "the article waits for a key";
    EXPECT_EQ(Visited(), (std::vector<std::string>{"menu", "articles/news"}));
}

TEST_F(Places, PlacesThatAreNotThereAreForgotten) {
    SKIP_WITHOUT("menu", "articles");
    const struct {
        const char* wanted;
        std::vector<std::string> visited;
        bool inArticles;
    } cases[] = {
        {"articles/nosuch", {"articles", "menu"}, true},
        {"articles/", {"articles", "menu"}, true},
        {"nowhere", {"menu"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wanted);
        memcon::Reset();
        at_ = 0;
        memcon::AskForPlace(c.wanted);
        if (c.inArticles) ChooseLast();  // back
        Esc();
        MainMenu(run_);
        EXPECT_EQ(conapi::WantedPlace(), "");
        EXPECT_EQ(Visited(), c.visited);
    }
}

TEST_F(Places, ARefusedEntryIsNotFollowedAgain) {
    SKIP_WITHOUT("menu_asc");
    AsciiSuffix = "_asc";
    memcon::AskForPlace("gallery/art1");
    Type("q");  // closes the refusal
    Esc();
    MainMenu(run_);
    EXPECT_EQ(conapi::WantedPlace(), "");
    EXPECT_EQ(Visited(), std::vector<std::string>{"menu"}) << "the main menu waited for the reader";
}

TEST_F(Places, TheBarTellsItsEntriesItsLitOneAndItsBox) {
    SKIP_WITHOUT("menu");
    Down(3, Next());
    const uint32_t leaving = Next();
    memcon::PressEsc(leaving);
    memcon::Meaning seen;
    memcon::OnClockMoved([&] {
        if (memcon::Now() >= leaving && seen.MenuEntries.empty()) seen = memcon::Described();
    });
    MainMenu(run_);
    ASSERT_EQ(seen.MenuEntries.size(), 6u);
    EXPECT_EQ(seen.MenuEntries.front(), "e d i t o r i a l");
    EXPECT_EQ(seen.MenuEntries.back(), "e x i t");
    EXPECT_EQ(seen.MenuLit, 3);
    EXPECT_EQ(seen.MenuTop, 0);
    // Columns 53 to 69 and rows 10 to 16 of the screen, counted from 0.
    EXPECT_EQ(seen.MenuBox.Left, MenuX - 1);
    EXPECT_EQ(seen.MenuBox.Right, MenuX + MenuW - 2);
    EXPECT_EQ(seen.MenuBox.Top, MenuY - 1);
    EXPECT_EQ(seen.MenuBox.Bottom, MenuY + 5);
    EXPECT_EQ(seen.TextWindow.Right, -1) << "no text on a menu";
    EXPECT_TRUE(memcon::Described().MenuEntries.empty()) << "the menu is gone, and so is its description";
}

}  // namespace
