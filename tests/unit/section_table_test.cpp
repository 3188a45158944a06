// The section table the menus, the checker and the screen generator read:
// the built-in one holds the magazine's sections as the reader knows them,
// and a table with a fault is refused with its line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "issue/manifest.h"
#include "issue/sections.h"

namespace {

std::vector<std::string> Labels(const issue::SectionTable& t) {
    std::vector<std::string> out;
    for (const issue::Section& s : t.Sections) out.push_back(s.Label);
    out.push_back(t.Main.ExitLabel);
    return out;
}

}  // namespace

TEST(SectionTable, TheBuiltInTableHoldsTheMagazinesSections) {
    const issue::SectionTable& t = issue::Sections();
    EXPECT_EQ(Labels(t), (std::vector<std::string>{"e d i t o r i a l", "a r t i c l e s", "a n s i   a r t",
                                                   "t u t o r s     ", "a b o u t", "e x i t"}));
    EXPECT_EQ(t.Main.Menu.Column, 53);
    EXPECT_EQ(t.Main.Menu.Row, 10);
    EXPECT_EQ(t.Main.Menu.Width, 17);
    EXPECT_EQ(t.Main.Menu.Rows, 7);
    const issue::Section& tutors = *t.Find("tutors");
    EXPECT_EQ(tutors.Menu.Right(), 61);
    EXPECT_EQ(tutors.Menu.Bottom(), 20);
    EXPECT_EQ(tutors.Menu.MaxEntries(), 6u);
    EXPECT_EQ(tutors.HeaderPause, 10000);
    EXPECT_EQ(t.Find("articles")->HeaderPause, 5000);
    EXPECT_TRUE(t.OfList("piece")->ScreenPause.Display) << "the gallery is drawn at the reader's display speed";
    EXPECT_EQ(t.OfList("piece")->Menu.MaxEntries(), 10u);
    EXPECT_EQ(t.Tracks.Menu.MaxEntries(), 5u);
    // Every screen an issue has, with the twins the program asks for.
    std::vector<std::string> screens = issue::FixedScreens();
    std::sort(screens.begin(), screens.end());
    EXPECT_EQ(screens, (std::vector<std::string>{"about", "about_asc", "ansi", "ansi_asc", "article_hdr",
                                                 "article_hdr_asc", "articles", "articles_asc", "edit", "edit_asc",
                                                 "exit", "exit_asc", "help", "logo", "logo_asc", "menu", "menu_asc",
                                                 "tutors", "tutors_asc"}));
    EXPECT_EQ(issue::FixedTexts(), (std::vector<std::string>{"editorial", "abouttxt"}));
}

TEST(SectionTable, AFaultIsRefusedWithItsLine) {
    const std::string good(issue::SectionTableText());
    issue::SectionTable t;
    std::string error;
    ASSERT_TRUE(issue::ReadSectionTable(good, t, error)) << error;

    // A box past the screen's edge.
    std::string wide = good;
    wide.replace(wide.find("box = [18, 14, 44, 7]"), 21, "box = [18, 14, 70, 7]");
    EXPECT_FALSE(issue::ReadSectionTable(wide, t, error));
    EXPECT_NE(error.find("runs past the 80x25 screen"), std::string::npos) << error;
    EXPECT_EQ(error.rfind("sections.toml:", 0), 0u) << error;
    // A misspelt key.
    std::string typo = good;
    typo.replace(typo.find("header_pause = 5000"), 19, "header_paws = 5000");
    EXPECT_FALSE(issue::ReadSectionTable(typo, t, error));
    EXPECT_NE(error.find("unknown key header_paws"), std::string::npos) << error;
    // The main menu's box has a row to spare: one page more fits, two do not.
    auto page = [](const std::string& key) {
        return "\n[[section]]\nkey = \"" + key + "\"\nlabel = \"" + key + "\"\ntitle = \"" + key +
               "\"\nkind = \"page\"\nscreen = \"" + key + "\"\ntext = \"" + key + "txt\"\nwindow = [1, 5, 80, 17]\n";
    };
    ASSERT_TRUE(issue::ReadSectionTable(good + page("letters"), t, error)) << error;
    const std::string extra = good + page("letters") + page("news");
    EXPECT_FALSE(issue::ReadSectionTable(extra, t, error));
    EXPECT_NE(error.find("main menu's box has room for 7 entries"), std::string::npos) << error;
    // With a row more they fit, and the new pages' screens and texts are an
    // issue's to have.
    std::string roomy = extra;
    roomy.replace(roomy.find("box = [53, 10, 17, 7]"), 21, "box = [53, 10, 17, 8]");
    ASSERT_TRUE(issue::ReadSectionTable(roomy, t, error)) << error;
    EXPECT_EQ(t.Sections.back().Text, "newstxt");
}
