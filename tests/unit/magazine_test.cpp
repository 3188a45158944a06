// A magazine of many issues: the shelf read from a folder or a pack, one
// issue opened at a time, and a reader moving between issues with hot key B
// or an address: what the reader sees must be the open issue's, never
// another's. The magazine is the one tests/magazine/make_magazine.py makes:
// two issues whose logos, first article lines, galleries and music differ.
#ifdef TEST_MAGAZINE_DIR
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/back_issues.h"
#include "app/gallery.h"
#include "app/main_menu.h"
#include "app/program.h"
#include "app/section_menu.h"
#include "app_fixture.h"
#include "console/con_memory.h"
#include "issue/editions.h"
#include "issue/magazine.h"

namespace fs = std::filesystem;

namespace {

const std::string Magazine = TEST_MAGAZINE_DIR;

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string FirstLine(const issue::Issue& issue, const std::string& name) {
    bool found = false;
    const std::string_view text = issue.File(name, found);
    return std::string(text.substr(0, text.find('\n')));
}

}  // namespace

// --- The shelf ----------------------------------------------------------------------

TEST(MagazineShelf, AFolderListsItsIssuesByNumberAndOpensOneWhole) {
    issue::Magazine m;
    std::string error;
    ASSERT_TRUE(m.Load(Magazine, error)) << error;
    ASSERT_EQ(m.Issues.size(), 2u);
    EXPECT_EQ(m.Issues[0].Number, 1);
    EXPECT_EQ(m.Issues[1].Number, 2);
    EXPECT_EQ(m.Issues[1].Date, "february 2027");
    EXPECT_EQ(m.Issues[1].Headline, "harbour news number 2");
    EXPECT_EQ(m.Newest(), 2);
    EXPECT_EQ(m.Names.Name, "harbour news");
    EXPECT_EQ(m.Find(3), nullptr);

    issue::Issue first;
    ASSERT_TRUE(m.Open(1, first, error)) << error;
    EXPECT_EQ(first.Contents.Number, 1);
    EXPECT_EQ(first.Contents.Name, "harbour news") << "the magazine names its issues";
    EXPECT_EQ(FirstLine(first, "harbour"), "|15HARBOUR LIGHTS OF ISSUE #1|07");
    EXPECT_TRUE(first.Has("music2")) << "issue 1 plays its own module";
    EXPECT_FALSE(first.Has("music3")) << "and holds nothing of issue 2";
    EXPECT_EQ(first.WorkPrefix, "issue1-");
    EXPECT_FALSE(m.Open(7, first, error));
    EXPECT_NE(error.find("no issue #7"), std::string::npos) << error;
}

TEST(MagazineShelf, AnIssueFolderAloneIsAMagazineOfOneIssue) {
    issue::Magazine m;
    std::string error;
    ASSERT_TRUE(m.Load(SAMPLE_ISSUE_DIR, error)) << error;
    ASSERT_EQ(m.Issues.size(), 1u);
    EXPECT_EQ(m.Issues[0].Number, 2);
    EXPECT_EQ(m.Issues[0].Folder, "");
    issue::Issue alone;
    ASSERT_TRUE(m.Open(2, alone, error)) << error;
    EXPECT_EQ(alone.WorkPrefix, "") << "a magazine of one issue writes the files it always wrote";
}

TEST(MagazineShelf, TwoIssuesOfOneNumberAndAnIssueThatNamesTheMagazineAreRefused) {
    apptest::TempDir dir;
    fs::copy(Magazine, dir.Path(), fs::copy_options::recursive);
    const std::string toml = dir / "issue-b/issue.toml";
    std::string text = Read(toml);
    apptest::WriteFile(toml, std::string(text).replace(text.find("number = 2"), 10, "number = 1"));
    issue::Magazine m;
    std::string error;
    EXPECT_FALSE(m.Load(dir.Path(), error));
    EXPECT_NE(error.find("issue #1 is there twice"), std::string::npos) << error;

    apptest::WriteFile(toml, "name = \"other\"\n" + text);
    EXPECT_FALSE(m.Load(dir.Path(), error));
    EXPECT_NE(error.find("names the whole magazine: write it in the magazine folder's magazine.toml"),
              std::string::npos)
        << error;
}

TEST(MagazineShelf, APackOfTheMagazineIsReadIssueByIssue) {
    issue::Magazine folder;
    std::string error;
    ASSERT_TRUE(folder.Load(Magazine, error)) << error;
    issue::EditionContent content;
    content.Names = folder.Names;
    content.MagazineManifest = Read(Magazine + "/magazine.toml");
    for (const issue::IssueSummary& s : folder.Issues) {
        issue::EditionIssue e{s.Folder, {}, {}};
        ASSERT_TRUE(issue::ReadIssueFolder(Magazine + "/" + s.Folder, e.Files, error)) << error;
        content.Issues.push_back(std::move(e));
    }
    std::string pack;
    ASSERT_TRUE(issue::WritePack("a program before the pack", content.Packed(), pack, error)) << error;
    apptest::TempDir dir;
    apptest::WriteFile(dir / "carrier", pack);

    issue::Magazine carried;
    bool found = false;
    ASSERT_TRUE(carried.LoadCarried(dir / "carrier", found, error)) << error;
    ASSERT_TRUE(found);
    ASSERT_EQ(carried.Issues.size(), 2u);
    issue::Issue second;
    ASSERT_TRUE(carried.Open(2, second, error)) << error;
    EXPECT_EQ(FirstLine(second, "harbour"), "|15HARBOUR LIGHTS OF ISSUE #2|07");
    EXPECT_TRUE(second.Has("music3"));
    EXPECT_FALSE(second.Has("music2")) << "the other issue's files stay in the pack";

    apptest::WriteFile(dir / "plain", "a program that carries nothing");
    ASSERT_TRUE(carried.LoadCarried(dir / "plain", found, error)) << error;
    EXPECT_FALSE(found);
}

TEST(MagazineShelf, MagazineTomlIsCheckedLikeAnIssuesNames) {
    std::vector<issue::Problem> problems;
    const issue::MagazineNames names =
        issue::ReadMagazineText("name = \"harbour news\"\ncontact = \"\"\n", "magazine.toml", problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(names.Title, "harbour news magazine");
    EXPECT_EQ(names.Contact, "");
    issue::ReadMagazineText("name = \"Harbour News\"\nsections = 3\n", "magazine.toml", problems);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].Line, 1);
    EXPECT_NE(problems[0].Text.find("lower-case letters"), std::string::npos) << problems[0].Text;
    EXPECT_EQ(problems[1].Line, 2);
    EXPECT_NE(problems[1].Text.find("unknown key sections"), std::string::npos) << problems[1].Text;
}

// --- Reading it -------------------------------------------------------------------------

class BackIssues : public apptest::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        std::string error;
        ASSERT_TRUE(run_.Magazine.Load(Magazine, error) && run_.Magazine.Open(2, run_.Issue, error)) << error;
    }
    uint32_t Next() { return at_ += 10000; }
    void Press(const std::string& keys) { memcon::TypeText(keys, Next()); }
    void Choose(int down) {
        const uint32_t at = Next();
        for (int i = 0; i < down; ++i) memcon::PressExtended(80, 0, at);
        memcon::PressEnter(at);
    }
    static std::string Screen() {
        std::string all;
        for (int y = 1; y <= 25; ++y) all += Row(y) + "\n";
        return all;
    }
    // The screen as it stands while the back issues are up (the menus wait
    // for keys animating, so a test looks at them while they wait).
    static void LookWhileUp(std::string& screen) {
        memcon::OnClockMoved([&screen] {
            if (screen.empty() && Screen().find("b a c k   i s s u e s") != std::string::npos) screen = Screen();
        });
    }
    apptest::Watchdog watchdog_{std::chrono::seconds(30)};
    uint32_t at_ = 0;
};

TEST_F(BackIssues, BListsTheIssuesNewestFirstWithTheOpenOneMarked) {
    Press("b");
    std::string screen;
    LookWhileUp(screen);
    memcon::PressEsc(Next());  // closes the back issues
    memcon::PressEsc(Next());  // leaves the main menu
    MainMenu(run_);
    memcon::OnClockMoved(nullptr);
    const std::size_t second = screen.find("* #2    february 2027        harbour news number 2");
    const std::size_t first = screen.find("  #1    january 2027         harbour news number 1");
    ASSERT_NE(second, std::string::npos) << screen;
    ASSERT_NE(first, std::string::npos) << screen;
    EXPECT_LT(second, first) << "newest first";
    const std::vector<std::string>& places = memcon::Described().Places;
    EXPECT_NE(std::find(places.begin(), places.end(), "2/issues"), places.end());
    EXPECT_EQ(run_.OpenNumber(), 2) << "Esc chose nothing";
}

TEST_F(BackIssues, ChoosingAnIssueShowsItsLogoAndEverySectionIsItsOwn) {
    Press("b");
    Choose(1);  // #1
    Choose(1);  // its articles
    Choose(0);  // its harbour report
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
    EXPECT_EQ(run_.OpenNumber(), 1);
    EXPECT_NE(Screen().find("HARBOUR LIGHTS OF ISSUE #1"), std::string::npos) << Screen();
    EXPECT_EQ(memcon::Described().Places.back(), "1/articles/harbour");

    // The gallery is issue 1's: five pieces, one fewer than issue 2's, so
    // that "[ b a c k ]" stands on the gallery's sixth row (row 8 + 5).
    memcon::Reset();
    InitConsole();
    at_ = 0;
    const uint32_t at = Next();
    memcon::PressExtended(79, 0, at);  // End: "[ b a c k ]"
    memcon::PressEnter(at);
    GallerySection(run_);
    EXPECT_EQ(Row(13).substr(52, 11), "[ b a c k ]") << Screen();
}

TEST_F(BackIssues, TheLogoOfTheChosenIssueIsShown) {
    std::vector<std::string> seen;
    memcon::OnSleep([&] {
        if (Row(3).find("the logo of issue #") != std::string::npos) seen.push_back(Row(3));
    });
    Press("b");
    Choose(1);
    memcon::PressEsc(Next());  // leaves issue 1's main menu
    MainMenu(run_);
    memcon::OnSleep(nullptr);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "  the logo of issue #1");
}

TEST_F(BackIssues, EscGivesBackWhereTheReaderWas) {
    // The main menu left with Esc, as it is left on the screen...
    memcon::PressEsc(Next());
    MainMenu(run_);
    const std::string before = Screen();
    // ...and left the same way after B and Esc.
    memcon::Reset();
    InitConsole();
    at_ = 0;
    std::string during;
    LookWhileUp(during);
    Press("b");
    memcon::PressEsc(Next());
    memcon::PressEsc(Next());
    MainMenu(run_);
    memcon::OnClockMoved(nullptr);
    EXPECT_FALSE(during.empty()) << "the back issues were up";
    const std::string after = Screen();
    EXPECT_EQ(after.find("b a c k   i s s u e s"), std::string::npos) << after;
    // Below the logo's rows, which the wipe and the bar's ripple leave as
    // they may: the rows the box covered are the menu's again.
    EXPECT_EQ(after.substr(after.find("m a g a z i n e")), before.substr(before.find("m a g a z i n e")));
    EXPECT_EQ(run_.OpenNumber(), 2);
}

TEST_F(BackIssues, AnAddressIntoAnotherIssueOpensItThere) {
    memcon::AskForPlace("1/articles/harbour");
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
    EXPECT_EQ(run_.OpenNumber(), 1);
    EXPECT_EQ(memcon::Described().Places.back(), "1/articles/harbour");
    EXPECT_NE(Screen().find("HARBOUR LIGHTS OF ISSUE #1"), std::string::npos) << Screen();
    // An address without a number is the newest issue's, as before there
    // were back issues.
    memcon::Reset();
    InitConsole();
    memcon::AskForPlace("articles/harbour");
    EXPECT_THROW(MainMenu(run_), memcon::InputExhausted);
    EXPECT_EQ(run_.OpenNumber(), 2);
    EXPECT_NE(Screen().find("HARBOUR LIGHTS OF ISSUE #2"), std::string::npos) << Screen();

    // An address into an issue that cannot be read is said once and given
    // up: the reader stays in the open issue, whose main menu Esc leaves.
    apptest::TempDir dir;
    std::filesystem::copy(Magazine, dir / "mag", std::filesystem::copy_options::recursive);
    std::string error;
    ASSERT_TRUE(run_.Magazine.Load(dir / "mag", error)) << error;
    std::filesystem::remove(dir / "mag/issue-a/harbour.txt");
    memcon::Reset();
    InitConsole();
    at_ = 0;
    std::string notice;
    memcon::OnClockMoved([&notice] {
        if (notice.empty() && Screen().find("issue #1 cannot be read") != std::string::npos) notice = Screen();
    });
    memcon::AskForPlace("1/articles/harbour");
    memcon::PressEnter(Next());  // the notice
    memcon::PressEsc(Next());    // the main menu of #2
    MainMenu(run_);
    memcon::OnClockMoved(nullptr);
    EXPECT_FALSE(notice.empty()) << Screen();
    EXPECT_EQ(run_.OpenNumber(), 2);
    EXPECT_EQ(memcon::Described().Places.back(), "2/menu");
}

TEST_F(BackIssues, BIsNoKeyInAMagazineOfOneIssue) {
    EXPECT_TRUE(IsGlobalHotKey(run_, 'b'));
    EXPECT_TRUE(IsGlobalHotKey(run_, 'B'));
    std::string error;
    ASSERT_TRUE(run_.Magazine.TakeBuiltIn(error) && run_.Magazine.Open(1, run_.Issue, error)) << error;
    EXPECT_FALSE(IsGlobalHotKey(run_, 'b'));
    // The gallery's type-ahead search takes the letter: the bar goes to
    // the first piece whose label holds a B.
    const uint32_t at = Next();
    memcon::TypeText("b", at);
    memcon::PressEnter(at);
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted);
    EXPECT_EQ(memcon::Described().Places.back(), "gallery/art1");
}

#endif  // TEST_MAGAZINE_DIR
