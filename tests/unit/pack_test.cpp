// Packs: an issue's files as a zip, alone or at the end of an executable.
// A pack is untrusted input, so most cases here are hostile ones, each of
// which must be refused with one line before anything is used.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "issue/editions.h"
#include "issue/magazine.h"
#include "issue/site_tracks.h"
#include "issue/issue.h"
#include "issue/pack.h"
#include "app_fixture.h"
#include "sys/sys.h"

namespace {

using issue::PackFile;
using issue::PackFiles;

std::string Zip(const PackFiles& files, std::string_view prefix = {}) {
    std::string out;
    std::string error;
    EXPECT_TRUE(issue::WritePack(prefix, files, out, error)) << error;
    return out;
}

uint32_t Le32(const std::string& b, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

void PutLe32(std::string& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i) & 0xFF);
}

// Replaces every copy of From (a stored name) by To, of the same length,
// in the local headers and the central directory alike.
void Rename(std::string& zip, const std::string& from, const std::string& to) {
    ASSERT_EQ(from.size(), to.size());
    for (std::size_t at = zip.find(from); at != std::string::npos; at = zip.find(from, at + 1))
        zip.replace(at, from.size(), to);
}

std::string Refusal(const std::string& zip) {
    PackFiles files;
    std::string error;
    EXPECT_FALSE(issue::ReadPack(zip, files, error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
    EXPECT_TRUE(files.empty());
    return error;
}

TEST(Pack, FilesComeBackAsTheyWentIn) {
    const PackFiles in = {{"logo.ans", std::string("\x1b[0m\xdb\xb0 logo\x1a", 12)},
                          {"empty.txt", ""},
                          {"music1.xm", std::string(100000, '\x7f') + "end"}};
    PackFiles out;
    std::string error;
    ASSERT_TRUE(issue::ReadPack(Zip(in), out, error)) << error;
    ASSERT_EQ(out.size(), 3u);
    for (std::size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(out[i].Name, in[i].Name);
        EXPECT_EQ(out[i].Bytes, in[i].Bytes);
    }
}

TEST(Pack, APackAtTheEndOfAnExecutableIsFoundAndItsOffsetsCountFromTheStart) {
    const std::string runner = "\x7f"
                               "ELF" +
                               std::string(5000, '\0') + "runner's own bytes";
    EXPECT_FALSE(issue::EndsWithPack(runner));
    const std::string whole = Zip({{"issue.toml", "number = 1\n"}}, runner);
    ASSERT_EQ(whole.compare(0, runner.size(), runner), 0);
    EXPECT_TRUE(issue::EndsWithPack(whole));
    // The end record's directory offset plus the directory's size is where
    // the end record stands: the offsets count from the file's first byte,
    // as zip tools expect of a self-extracting file.
    const std::size_t end = whole.rfind("PK\x05\x06");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(Le32(whole, end + 16) + Le32(whole, end + 12), end);
    EXPECT_GT(Le32(whole, end + 16), runner.size());
    PackFiles out;
    std::string error;
    ASSERT_TRUE(issue::ReadPack(whole, out, error)) << error;
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].Bytes, "number = 1\n");
}

TEST(Pack, NamesThatCouldLeaveTheFolderAreRefused) {
    for (const std::string name : {"../evil.ans", "sub/logo.ans", "sub\\logo.ans", "c:logo.ans", "..", "a..b.ans"}) {
        const std::string error = Refusal(Zip({{"fine.ans", "x"}, {name, "x"}}));
        EXPECT_NE(error.find("no plain file name"), std::string::npos) << name << ": " << error;
    }
    // A NUL inside a stored name: the C string would end early.
    std::string zip = Zip({{"logoXend.ans", "x"}});
    Rename(zip, "logoXend.ans", std::string("logo\0end.ans", 12));
    EXPECT_NE(Refusal(zip).find("no plain file name"), std::string::npos);
    // A control character.
    zip = Zip({{"logoXend.ans", "x"}});
    Rename(zip, "logoXend.ans", "logo\nend.ans");
    EXPECT_NE(Refusal(zip).find("\\x0a"), std::string::npos);
}

TEST(Pack, ANameTwiceIsRefusedWhateverItsCase) {
    EXPECT_NE(Refusal(Zip({{"logo.ans", "a"}, {"LOGO.ans", "b"}})).find("twice"), std::string::npos);
}

TEST(Pack, TooManyEntriesAreRefusedBeforeAnyIsUnpacked) {
    PackFiles many;
    for (int i = 0; i <= 1000; ++i) many.push_back({std::to_string(i) + ".txt", ""});
    EXPECT_NE(Refusal(Zip(many)).find("1001 entries"), std::string::npos);
    many.pop_back();
    PackFiles out;
    std::string error;
    EXPECT_TRUE(issue::ReadPack(Zip(many), out, error)) << error;
}

TEST(Pack, AZipBombIsStoppedAtTheLimits) {
    // One entry of 17 MB of zeros packs into a few kilobytes.
    const std::string bomb = Zip({{"big.ans", std::string((16u << 20) + 1, '\0')}});
    EXPECT_LT(bomb.size(), 100000u);
    EXPECT_NE(Refusal(bomb).find("16 MB"), std::string::npos);

    // The same entry claiming to be 10 bytes: the bytes that come out are
    // counted, whatever the directory says.
    std::string liar = bomb;
    const std::size_t central = liar.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    PutLe32(liar, central + 24, 10);
    PutLe32(liar, liar.find("PK\x03\x04") + 22, 10);
    Refusal(liar);

    // Five entries under the limit each, more than 64 MB together.
    PackFiles five;
    for (int i = 0; i < 5; ++i) five.push_back({std::to_string(i) + ".ans", std::string(15u << 20, ' ')});
    EXPECT_NE(Refusal(Zip(five)).find("64 MB"), std::string::npos);
}

TEST(Pack, DamagedPacksAreRefused) {
    const std::string good = Zip({{"logo.ans", std::string(5000, 'q')}, {"menu.ans", "menu"}});
    // Cut off the end record, spoil the directory, spoil the packed bytes.
    Refusal(good.substr(0, good.size() - 10));
    std::string spoilt = good;
    spoilt[spoilt.find("PK\x01\x02")] = 'X';
    Refusal(spoilt);
    std::string flipped = good;
    flipped[40] = static_cast<char>(flipped[40] ^ 0x55);  // inside the first entry's packed bytes
    Refusal(flipped);
    Refusal("");
    Refusal("PK\x05\x06 not really a zip");
}

// --- The issue a pack holds -----------------------------------------------------------

// A minimal issue that loads: the fixed screens and texts and what its
// manifest names.
PackFiles SmallIssue() {
    PackFiles files = {{"issue.toml",
                        "name = \"tide\"\nnumber = 3\ndate = \"may 2027\"\n"
                        "[[article]]\nlabel = \"one\"\ntext = \"one.txt\"\ntitle = \"One\"\nauthor = \"a\"\n"
                        "category = \"scene/news\"\n"
                        "[[tutorial]]\nlabel = \"[bgn] two\"\ntext = \"two.txt\"\ntitle = \"Two\"\nauthor = \"b\"\n"
                        "category = \"tutorial/x\"\n"
                        "[[piece]]\nlabel = \"art\"\nart = \"art.ans\"\nsave_as = \"art.ans\"\n"
                        "[[track]]\nlabel = \"song\"\nmodule = \"song.xm\"\n"}};
    for (const std::string& s : issue::FixedScreens()) files.push_back({s + ".ans", "screen " + s});
    files.push_back({"abouttxt.txt", "about"});
    files.push_back({"editorial.txt", "editorial"});
    for (const char* f : {"one.txt", "two.txt", "art.ans", "song.xm"}) files.push_back({f, std::string("file ") + f});
    return files;
}

TEST(PackedIssue, AnIssueIsTakenWithItsManifestAndFiles) {
    issue::Issue shown;
    std::string error;
    ASSERT_TRUE(shown.Take(SmallIssue(), "tide.zip", error)) << error;
    EXPECT_EQ(shown.Contents.Name, "tide");
    EXPECT_EQ(shown.Contents.Title, "tide magazine");
    EXPECT_EQ(shown.Contents.Contact, "");  // a magazine that names itself has no board line of the first one's
    EXPECT_EQ(shown.Contents.Number, 3);
    bool found = false;
    EXPECT_EQ(shown.File("SONG", found), "file song.xm");
    EXPECT_TRUE(found);
    EXPECT_EQ(shown.File("LoGo", found), "screen logo");
    EXPECT_FALSE(shown.Has("issue"));
    // Moving the issue keeps its files readable (they are views into it).
    issue::Issue moved = std::move(shown);
    EXPECT_EQ(moved.File("one", found), "file one.txt");
}

TEST(PackedIssue, AnIssueThatLacksAPartIsRefusedWithOneLine) {
    auto without = [](const std::string& name) {
        PackFiles files = SmallIssue();
        std::erase_if(files, [&](const PackFile& f) { return f.Name == name; });
        issue::Issue shown;
        std::string error;
        EXPECT_FALSE(shown.Take(std::move(files), "tide.zip", error)) << name;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        return error;
    };
    EXPECT_NE(without("issue.toml").find("no issue.toml"), std::string::npos);
    EXPECT_NE(without("logo_asc.ans").find("no logo_asc"), std::string::npos);
    EXPECT_NE(without("editorial.txt").find("no editorial"), std::string::npos);
    // A file the manifest names, missing: the manifest's own line says so.
    EXPECT_NE(without("song.xm").find("tide.zip/issue.toml:"), std::string::npos);

    PackFiles clash = SmallIssue();
    clash.push_back({"one.ans", "a second one"});
    issue::Issue shown;
    std::string error;
    EXPECT_FALSE(shown.Take(std::move(clash), "tide.zip", error));
    EXPECT_NE(error.find("two files are called one"), std::string::npos) << error;
}

TEST(PackedIssue, TheBuiltInIssueIsTheFirstOne) {
    issue::Issue first;
    std::string error;
    ASSERT_TRUE(first.TakeBuiltIn(error)) << error;
    EXPECT_EQ(first.Contents.Name, "quix");
    EXPECT_EQ(first.Contents.Number, 1);
    EXPECT_EQ(first.Contents.Date, "december 2026");
    EXPECT_EQ(first.Contents.Contact, "the quix board - telnet quix.example.org 2323");
    EXPECT_EQ(first.Contents.Title, "quix magazine");
}

// --- Names and editions ------------------------------------------------------------------

TEST(IssueNames, NamesAreSpacedAsTheMenusSpellTheirLabels) {
    EXPECT_EQ(issue::Spaced("quix magazine", 3), "q u i x   m a g a z i n e");
    EXPECT_EQ(issue::Spaced("night sky", 2), "n i g h t  s k y");
    EXPECT_EQ(issue::Spaced("a", 2), "a");
}

TEST(IssueNames, TheManifestsNamesAreCheckedAndDefaulted) {
    auto read = [](const std::string& top, std::vector<issue::Problem>& problems) {
        return issue::ReadManifestText(top + "number = 1\ndate = \"june\"\n", "m", {}, problems);
    };
    std::vector<issue::Problem> problems;
    issue::Manifest m = read("name = \"harbour news\"\ncontact = \"call us\"\ntitle = \"Harbour News\"\n", problems);
    EXPECT_EQ(m.Name, "harbour news");
    EXPECT_EQ(m.Contact, "call us");
    EXPECT_EQ(m.Title, "Harbour News");
    for (const std::string bad : {"Tide", "two  spaces", " lead", "abcdefghijklm", "", "t\\u00e9"}) {
        problems.clear();
        read("name = \"" + bad + "\"\n", problems);
        bool named = false;
        for (const issue::Problem& p : problems) named = named || (p.Line == 1 && p.Text.find("the name") == 0);
        EXPECT_TRUE(named) << bad;
    }
    problems.clear();
    read("title = \"" + std::string(61, 't') + "\"\ncontact = \"" + std::string(77, 'c') + "\"\n", problems);
    EXPECT_GE(problems.size(), 2u);
}

TEST(Editions, OutsNameChoosesTheEditionAndFlagsNameEach) {
    using issue::Edition;
    EXPECT_EQ(issue::EditionsFor("tide", {})[0].Kind, Edition::Linux);
    EXPECT_EQ(issue::EditionsFor("tide.exe", {})[0].Kind, Edition::Windows);
    EXPECT_EQ(issue::EditionsFor("site.zip", {})[0].Kind, Edition::WebZip);
    const auto folder = issue::EditionsFor("site/", {});
    EXPECT_EQ(folder[0].Kind, Edition::WebFolder);
    EXPECT_EQ(folder[0].Path, "site");
    const auto all = issue::EditionsFor("out/tide", {"--linux", "--windows", "--web"});
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].Path, "out/tide");
    EXPECT_EQ(all[1].Path, "out/tide.exe");
    EXPECT_EQ(all[2].Path, "out/tide-web");
}

TEST(Editions, ThePagesTitleIsReplacedAndEscaped) {
    EXPECT_EQ(issue::WithTitle("<head><title>quix magazine</title></head>", "tide <&> news"),
              "<head><title>tide &lt;&amp;&gt; news</title></head>");
    EXPECT_EQ(issue::WithTitle("no title here", "x"), "no title here");
    // The page names the pack it reads only when it has one.
    EXPECT_EQ(issue::WithPackNamed("<meta name=\"quixmag-issue\" content=\"\">", "issue.zip"),
              "<meta name=\"quixmag-issue\" content=\"issue.zip\">");
    EXPECT_EQ(issue::WithPackNamed("<title>x</title>", "issue.zip"), "<title>x</title>");
}

TEST(Editions, TheAppManifestTakesTheMagazinesNamesEscaped) {
    const std::string manifest = "{\n  \"keywords\": [\"name\", \"x\"],\n  \"name\" : \"quix magazine\",\n"
                                 "  \"short_name\":\"quix\", \"description\": \"its \\\"name\\\": quix\"\n}\n";
    EXPECT_EQ(issue::WithAppNames(manifest, "say \"tide\" \\ news", "tide"),
              "{\n  \"keywords\": [\"name\", \"x\"],\n  \"name\" : \"say \\\"tide\\\" \\\\ news\",\n"
              "  \"short_name\":\"tide\", \"description\": \"its \\\"name\\\": quix\"\n}\n");
    EXPECT_EQ(issue::WithAppNames("{\"start_url\": \".\"}", "a", "b"), "{\"start_url\": \".\"}");
}

// The version of the line that WithSiteFiles writes, and its list.
std::pair<std::string, std::string> SiteLine(const std::string& worker) {
    const std::string head = "\nconst SITE = { \"version\": \"";
    const std::size_t at = worker.find(head);
    if (at == std::string::npos) return {};
    const std::size_t version = at + head.size();
    const std::size_t files = worker.find("\"files\": [", version);
    return {worker.substr(version, worker.find('"', version) - version),
            worker.substr(files + 10, worker.find("], \"whenRead\"", files) - files - 10)};
}

// The files the worker keeps only once they were read.
std::string WhenRead(const std::string& worker) {
    const std::size_t at = worker.find("\"whenRead\": [");
    if (at == std::string::npos) return "(none listed)";
    return worker.substr(at + 13, worker.find("] };\n", at) - at - 13);
}

TEST(Editions, TheWorkerListsEveryOtherFileWithAVersionOfAllTheirBytes) {
    const std::string worker =
        "'use strict';\nconst SITE = { \"version\": \"unbuilt\", \"files\": [] };\nconst A = 1;\n";
    const PackFiles site = {{"sw.js", worker},
                            {"index.html", "<title>t</title>"},
                            {"issue.zip", "PK zip"},
                            {"tracks/song.xm", "xm"},
                            {"odd \"name\".txt", "odd"}};
    const std::string written = issue::WithSiteFiles(worker, site);
    EXPECT_EQ(written.substr(0, 14), "'use strict';\n");
    EXPECT_EQ(written.substr(written.size() - 13), "const A = 1;\n");
    const auto [version, files] = SiteLine(written);
    EXPECT_EQ(files, "\"index.html\", \"issue.zip\", \"odd \\\"name\\\".txt\", \"tracks/song.xm\"");
    ASSERT_EQ(version.size(), 16u);
    EXPECT_EQ(version.find_first_not_of("0123456789abcdef"), std::string::npos) << version;

    // The same files give the same version; a byte, a name or a boundary
    // between two files moved gives another.
    auto versionOf = [&worker](const PackFiles& files) { return SiteLine(issue::WithSiteFiles(worker, files)).first; };
    EXPECT_EQ(versionOf(site), version);
    PackFiles changed = site;
    changed[2].Bytes[3] = 'Z';
    PackFiles renamed = site;
    renamed[3].Name = "tracks/song2.xm";
    PackFiles worker2 = site;
    worker2[0].Bytes += "// another worker\n";  // sw.js itself is not listed, nor counted
    EXPECT_EQ(versionOf(worker2), version);
    EXPECT_NE(versionOf(changed), version);
    EXPECT_NE(versionOf(renamed), version);
    EXPECT_NE(versionOf({{"a", "ab"}, {"b", ""}}), versionOf({{"a", "a"}, {"b", "b"}}));
    EXPECT_EQ(issue::WithSiteFiles("no line here\n", site), "no line here\n");
}

TEST(Editions, APackedWebEditionNamesItsMagazineAndListsItsIssueForOfflineReading) {
    apptest::TempDir dir;
    const std::string runner = dir / "web";
    std::filesystem::create_directories(runner);
    const std::string worker = "'use strict';\nconst SITE = { \"version\": \"runner\", \"files\": [\"page.js\"] };\n";
    for (const auto& [name, bytes] : {std::pair{"index.html", "<title>quix magazine</title>"},
                                      {"sw.js", worker.c_str()},
                                      {"app.webmanifest", "{\"name\": \"quix magazine\", \"short_name\": \"quix\"}"},
                                      {"page.js", "page"}})
        std::ofstream(runner + "/" + name, std::ios::binary) << bytes;
    auto pack = [&](const PackFiles& files, const std::string& out) {
        issue::Issue read;
        std::string why;
        EXPECT_TRUE(read.Take(PackFiles(files), "tide", why)) << why;
        issue::Runners runners;
        runners.Web = runner;
        EXPECT_TRUE(issue::WriteEdition({issue::Edition::WebFolder, dir / out}, issue::EditionContent{issue::NamesOf(read.Contents), {}, {{"", read.Contents, files}}}, runners, why))
            << why;
        std::string sw, manifest;
        sys::ReadWholeFile(dir / out + "/sw.js", sw, why);
        sys::ReadWholeFile(dir / out + "/app.webmanifest", manifest, why);
        return std::pair{SiteLine(sw), manifest};
    };
    const auto [line, manifest] = pack(SmallIssue(), "one");
    EXPECT_EQ(manifest, "{\"name\": \"tide magazine\", \"short_name\": \"tide\"}");
    EXPECT_EQ(line.second, "\"app.webmanifest\", \"index.html\", \"issue.zip\", \"page.js\", \"tracks/song.xm\"");
    EXPECT_NE(line.first, "runner");

    PackFiles other = SmallIssue();
    for (PackFile& file : other)
        if (file.Name == "editorial.txt") file.Bytes = "another editorial";
    EXPECT_NE(pack(other, "two").first.first, line.first);
    EXPECT_EQ(pack(SmallIssue(), "three").first.first, line.first);
}

#ifdef TEST_MAGAZINE_DIR
TEST(Editions, TheWebEditionOfAMagazineFetchesEachIssueWhenItIsRead) {
    apptest::TempDir dir;
    const std::string runner = dir / "web";
    std::filesystem::create_directories(runner);
    const std::string worker = "'use strict';\nconst SITE = { \"version\": \"runner\", \"files\": [] };\n";
    const std::string page = "<title>x</title><meta name=\"quixmag-issue\" content=\"\">"
                             "<meta name=\"quixmag-first\" content=\"\">";
    for (const auto& [name, bytes] : {std::pair{"index.html", page.c_str()}, {"sw.js", worker.c_str()}})
        std::ofstream(runner + "/" + name, std::ios::binary) << bytes;
    issue::Magazine magazine;
    std::string why;
    ASSERT_TRUE(magazine.Load(TEST_MAGAZINE_DIR, why)) << why;
    issue::EditionContent content;
    content.Names = magazine.Names;
    ASSERT_TRUE(sys::ReadWholeFile(std::string(TEST_MAGAZINE_DIR) + "/magazine.toml", content.MagazineManifest, why));
    for (const issue::IssueSummary& s : magazine.Issues) {
        issue::EditionIssue e{s.Folder, {}, {}};
        issue::Issue read;
        ASSERT_TRUE(issue::ReadIssueFolder(std::string(TEST_MAGAZINE_DIR) + "/" + s.Folder, e.Files, why) &&
                    read.Take(PackFiles(e.Files), s.Folder, why, &magazine.Names))
            << why;
        e.Contents = read.Contents;
        content.Issues.push_back(std::move(e));
    }
    issue::Runners runners;
    runners.Web = runner;
    ASSERT_TRUE(issue::WriteEdition({issue::Edition::WebFolder, dir / "site"}, content, runners, why)) << why;

    std::string index, sw;
    ASSERT_TRUE(sys::ReadWholeFile(dir / "site/index.html", index, why));
    ASSERT_TRUE(sys::ReadWholeFile(dir / "site/sw.js", sw, why));
    EXPECT_NE(index.find("<title>harbour news magazine</title>"), std::string::npos) << index;
    EXPECT_NE(index.find("content=\"magazine.zip\""), std::string::npos) << index;
    EXPECT_NE(index.find("content=\"issues/2.zip\""), std::string::npos) << "the newest issue comes first";
    // The page itself and the shelf at once, each issue when it is read.
    EXPECT_EQ(SiteLine(sw).second, "\"index.html\", \"magazine.zip\"");
    EXPECT_EQ(WhenRead(sw), "\"issues/1.zip\", \"issues/2.zip\", \"tracks/1/music2.xm\", \"tracks/2/music3.xm\"");

    // The shelf lists the issues; each pack holds its issue alone, its
    // module beside the page as a note.
    issue::Magazine shelf;
    ASSERT_TRUE(shelf.Load(dir / "site/magazine.zip", why)) << why;
    ASSERT_EQ(shelf.Issues.size(), 2u);
    EXPECT_EQ(shelf.Issues[0].Folder, "1");
    std::string bytes;
    PackFiles second;
    ASSERT_TRUE(sys::ReadWholeFile(dir / "site/issues/2.zip", bytes, why) && issue::ReadPack(bytes, second, why)) << why;
    issue::Issue issue2;
    ASSERT_TRUE(issue2.Take(std::move(second), "2", why, &shelf.Names)) << why;
    bool found = false;
    EXPECT_EQ(issue::TrackNotePath(issue2.File("music3", found)), "tracks/2/music3.xm");
    EXPECT_FALSE(issue2.Has("music2"));

    // Opened from the shelf, an issue is read from its pack beside it: issue
    // #1's own article, not #2's, and its gallery of one piece fewer.
    std::string name, path;
    ASSERT_TRUE(shelf.PackBeside(1, name, path));
    EXPECT_EQ(name, "issues/1.zip");
    EXPECT_EQ(path, dir / "site/issues/1.zip");
    issue::Issue first;
    ASSERT_TRUE(shelf.Open(1, first, why)) << why;
    EXPECT_EQ(first.Contents.Number, 1);
    EXPECT_NE(first.File("harbour", found).find("HARBOUR LIGHTS OF ISSUE #1"), std::string::npos);
    EXPECT_EQ(first.Contents.Pieces.size() + 1, issue2.Contents.Pieces.size());
    // A magazine folder's issues are in the magazine itself: nothing beside.
    EXPECT_FALSE(magazine.PackBeside(1, name, path));
    // A pack that has not come says which file it lacks; a pack of another
    // issue in its place is refused, not read as the one listed.
    std::filesystem::rename(dir / "site/issues/1.zip", dir / "site/issues/1.kept");
    EXPECT_FALSE(shelf.Open(1, first, why));
    EXPECT_NE(why.find("issues/1.zip"), std::string::npos) << why;
    std::filesystem::copy_file(dir / "site/issues/2.zip", dir / "site/issues/1.zip");
    EXPECT_FALSE(shelf.Open(1, first, why));
    EXPECT_NE(why.find("holds issue #2"), std::string::npos) << why;
}
#endif

}  // namespace
