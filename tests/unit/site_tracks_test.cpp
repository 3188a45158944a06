// The music of a web edition beside its page: the note that stands for a
// module in the page's issue, the module's planes, and the edition that an
// editor packs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app_fixture.h"
#include "issue/editions.h"
#include "issue/issue.h"
#include "issue/site_tracks.h"
#include "sys/sys.h"

namespace {

using issue::PackFile;
using issue::PackFiles;

TEST(SiteTracks, ANoteNamesItsFileInTheTracksFolder) {
    EXPECT_EQ(issue::TrackNotePath(issue::TrackNote("music1.xm")), "tracks/music1.xm");
    EXPECT_EQ(issue::TrackNotePath(issue::TrackNote("Big_Song-2.s3m")), "tracks/Big_Song-2.s3m");
    // The build writes the same line for the modules built into the page.
    EXPECT_EQ(issue::TrackNote("music1.xm"), "quixmag track beside the page: tracks/music1.xm\n");
    EXPECT_EQ(issue::TrackNotePath("quixmag track beside the page: tracks/music1.xm"), "tracks/music1.xm");
}

TEST(SiteTracks, AModuleOrAnOddNoteIsNoNote) {
    // A real module's start, and text that only resembles a note.
    EXPECT_EQ(issue::TrackNotePath("Extended Module: quix song\x1a"), "");
    EXPECT_EQ(issue::TrackNotePath(""), "");
    EXPECT_EQ(issue::TrackNotePath("quixmag track beside the page: "), "");
    EXPECT_EQ(issue::TrackNotePath("quixmag track beside the page: tracks/"), "");
    EXPECT_EQ(issue::TrackNotePath("quixmag track beside the page: music1.xm"), "");
    EXPECT_EQ(issue::TrackNotePath("quixmag track beside the page: tracks/music1.xm\n\n"), "");
    EXPECT_EQ(issue::TrackNotePath("quixmag track beside the page: tracks/music1.xm\nmore"), "");
    EXPECT_EQ(issue::TrackNotePath(" quixmag track beside the page: tracks/music1.xm"), "");
    // A pack is untrusted: a note never leads the page out of the folder,
    // to another site, or to a name a URL would read as more.
    for (const char* name : {"../index.html", "a/b.xm", ".hidden.xm", "..", "x.xm?y", "x.xm#y", "x y.xm",
                             "https://elsewhere/x.xm", "x%2e.xm", "x\\y.xm"})
        EXPECT_EQ(issue::TrackNotePath(issue::TrackNote(name)), "") << name;
    EXPECT_EQ(issue::TrackNotePath(issue::TrackNote(std::string(200, 'a'))), "");
}

TEST(SiteTracks, PlanesHoldEvenOffsetsThenOddOnes) {
    EXPECT_EQ(issue::TrackPlanes("abcdef"), "acebdf");
    EXPECT_EQ(issue::TrackPlanes("abcde"), "acebd");
    EXPECT_EQ(issue::TrackPlanes("a"), "a");
    EXPECT_EQ(issue::TrackPlanes(""), "");
    const std::string bytes("\x00\xff\x01\x80\x7f", 5);
    EXPECT_EQ(issue::TrackPlanes(bytes), std::string("\x00\x01\x7f\xff\x80", 5));
}

PackFiles IssueWithTwoTracks() {
    PackFiles files = {{"issue.toml",
                        "name = \"reef\"\nnumber = 4\ndate = \"june 2027\"\n"
                        "[[article]]\nlabel = \"one\"\ntext = \"one.txt\"\ntitle = \"One\"\nauthor = \"a\"\n"
                        "category = \"scene/news\"\n"
                        "[[tutorial]]\nlabel = \"[bgn] two\"\ntext = \"two.txt\"\ntitle = \"Two\"\nauthor = \"b\"\n"
                        "category = \"tutorial/x\"\n"
                        "[[piece]]\nlabel = \"art\"\nart = \"art.ans\"\nsave_as = \"art.ans\"\n"
                        "[[track]]\nlabel = \"wave\"\nmodule = \"Wave.xm\"\n"
                        "[[track]]\nlabel = \"odd\"\nmodule = \"odd.x m\"\n"}};
    for (const std::string& s : issue::FixedScreens()) files.push_back({s + ".ans", "screen " + s});
    files.push_back({"abouttxt.txt", "about"});
    files.push_back({"editorial.txt", "editorial"});
    for (const char* f : {"one.txt", "two.txt", "art.ans"}) files.push_back({f, std::string("file ") + f});
    files.push_back({"Wave.xm", "Extended Module: wave"});
    files.push_back({"odd.x m", "Extended Module: odd"});
    return files;
}

// quixmag --pack ... --web: the modules go beside the page, and the pack
// the page reads carries their notes; a module whose name a URL would not
// carry plainly stays in the pack.
TEST(SiteTracks, AWebEditionKeepsItsModulesBesideThePage) {
    apptest::TempDir dir;
    const std::string runner = dir / "web";
    std::filesystem::create_directories(runner + "/tracks");
    std::ofstream(runner + "/index.html", std::ios::binary) << "<title>quix magazine</title>";
    std::ofstream(runner + "/tracks/music1.xm", std::ios::binary) << "the runner's own track";
    const PackFiles files = IssueWithTwoTracks();
    issue::Issue read;
    std::string why;
    ASSERT_TRUE(read.Take(PackFiles(files), "reef", why)) << why;
    issue::Runners runners;
    runners.Web = runner;
    ASSERT_TRUE(issue::WriteEdition({issue::Edition::WebFolder, dir / "site"}, issue::EditionContent{issue::NamesOf(read.Contents), {}, {{"", read.Contents, files}}}, runners, why))
        << why;

    std::string beside;
    ASSERT_TRUE(sys::ReadWholeFile(dir / "site/tracks/Wave.xm", beside, why)) << why;
    EXPECT_EQ(beside, issue::TrackPlanes("Extended Module: wave"));
    EXPECT_FALSE(std::filesystem::exists(dir / "site/tracks/music1.xm"));  // the built-in issue's, not this one's
    EXPECT_FALSE(std::filesystem::exists(dir / "site/tracks/odd.x m"));

    issue::Issue page;
    ASSERT_TRUE(issue::LoadIssue(dir / "site/issue.zip", page, why)) << why;
    bool found = false;
    EXPECT_EQ(issue::TrackNotePath(page.File("wave", found)), "tracks/Wave.xm");
    EXPECT_EQ(page.File("odd", found), "Extended Module: odd");
    EXPECT_EQ(page.File("one", found), "file one.txt");

    // The same edition as one zip holds the module beside the page too.
    ASSERT_TRUE(issue::WriteEdition({issue::Edition::WebZip, dir / "site.zip"}, issue::EditionContent{issue::NamesOf(read.Contents), {}, {{"", read.Contents, files}}}, runners, why))
        << why;
    // (A pack of the program's refuses folders, so the zip's names are
    // looked for as the zip stores them.)
    std::string zip;
    ASSERT_TRUE(sys::ReadWholeFile(dir / "site.zip", zip, why)) << why;
    EXPECT_NE(zip.find("tracks/Wave.xm"), std::string::npos);
    EXPECT_EQ(zip.find("tracks/music1.xm"), std::string::npos);
}

}  // namespace
