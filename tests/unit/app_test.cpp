// Start-up switches, the global hot keys, resources and one-shot screens, the
// header fields of article pages and the shutdown, on the memory console.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <string>
#include <vector>

#include "ansi/ansi_renderer.h"
#include "app/articles.h"
#include "app/program.h"
#include "app/resources.h"
#include "app_fixture.h"
#include "sys/fault_counter.h"
#include "console/con_memory.h"

namespace {

using apptest::Exists;
using apptest::FillScreen;
using apptest::ReadFile;
using apptest::WriteFile;

// The switch summary, line by line; line 10 is the board's contact line.
const std::vector<std::string> Summary = {
    "[]  q u i x   m a g a z i n e",
    "",
    "  use the following switches if you are having problem with music",
    "  or ansi graphics display.",
    "",
    "  --help, /h, -h  : this screen... obviously.",
    "  --silent        : no music for you :p",
    "  --ascii         : no special chars for you, only ascii chars",
    "",
    "<contact>",
    "",
};

// The switches the magazine adds, each on a line of its own after the
// summary, in any order.
const std::vector<std::string> AddedSwitches = {"--terminal-colours", "--plain", "--read", "--door",
                                                "--idle", "--max-minutes", "--log", "--issue",
                                                "--show", "--check", "--pack"};

void ExpectSummaryOnScreen() {
    for (int i = 0; i < static_cast<int>(Summary.size()); ++i) {
        const std::string row = ConsoleTest::Row(i + 1);
        if (Summary[static_cast<std::size_t>(i)] == "<contact>") {
            EXPECT_EQ(row.substr(0, 2), "  ") << "contact line";
            EXPECT_GT(row.size(), 2u) << "contact line";
            EXPECT_NE(row[2], ' ') << "contact line";
        } else {
            EXPECT_EQ(row, Summary[static_cast<std::size_t>(i)]) << "line " << i + 1;
        }
    }
    const int first = static_cast<int>(Summary.size()) + 1;
    std::vector<std::string> named;
    for (int y = first; y < first + static_cast<int>(AddedSwitches.size()); ++y) {
        const std::string row = ConsoleTest::Row(y);
        ASSERT_TRUE(row.starts_with("  --")) << "row " << y << ": " << row;
        named.push_back(row.substr(2, row.find(' ', 2) - 2));
    }
    std::vector<std::string> expected = AddedSwitches;
    std::sort(named.begin(), named.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(named, expected);
    for (int y = first + static_cast<int>(AddedSwitches.size()); y <= 25; ++y)
        EXPECT_EQ(ConsoleTest::Row(y), "") << "row " << y;
}

// Runs the command-line reader on the given arguments (the program name is
// added in front).
bool ReadArgs(std::vector<std::string> args) {
    args.insert(args.begin(), "quixmag");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return ReadCommandLine(issue::Manifest{}, static_cast<int>(argv.size()), argv.data());
}

// --- Command line ------------------------------------------------------------------

using AppCommandLine = apptest::ProgramTest;

TEST_F(AppCommandLine, SwitchesMatchWholeIgnoringCase) {
    EXPECT_TRUE(ReadArgs({"--ASCII"}));
    EXPECT_EQ(AsciiSuffix, "_asc");
    EXPECT_FALSE(SilentMode);

    AsciiSuffix.clear();
    EXPECT_TRUE(ReadArgs({"--Silent"}));
    EXPECT_TRUE(SilentMode);
    EXPECT_EQ(AsciiSuffix, "");

    EXPECT_FALSE(memcon::TerminalPalette());
    EXPECT_TRUE(ReadArgs({"--Terminal-Colours"}));
    EXPECT_TRUE(memcon::TerminalPalette()) << "the terminal's own colours";

    for (const char* help : {"HELP", "/H", "-h", "--Help", "help"}) {
        EXPECT_FALSE(ReadArgs({help})) << help;
    }
}

TEST_F(AppCommandLine, NearMissesAreIgnoredWithoutAMessage) {
    FillScreen('#', 0x22);
    EXPECT_TRUE(ReadArgs({"-ascii", "--ascii=1", "ascii", "--silentx", "h", "--", ""}));
    EXPECT_EQ(AsciiSuffix, "");
    EXPECT_FALSE(SilentMode);
    EXPECT_EQ(Row(1), std::string(80, '#')) << "nothing was written";
}

TEST_F(AppCommandLine, HelpStopsTheReadingAndPrintsTheSummary) {
    ClearScreen();
    EXPECT_FALSE(ReadArgs({"--silent", "--help", "--ascii"}));
    EXPECT_TRUE(SilentMode) << "arguments before the help are taken";
    EXPECT_EQ(AsciiSuffix, "") << "arguments after it are not examined";
    ExpectSummaryOnScreen();
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), static_cast<int>(Summary.size() + AddedSwitches.size()) + 1);
}

TEST_F(AppCommandLine, ProgramWithHelpPrintsOnACleanScreenAndEndsWithZero) {
    // Should the program go on past the summary, its menu would wait.
    apptest::Watchdog watchdog(std::chrono::seconds(30));
    FillScreen('#', 0x22);
    std::vector<std::string> args = {"quixmag", "--silent", "--help"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    EXPECT_EQ(RunMagazine(static_cast<int>(argv.size()), argv.data()), 0);
    ExpectSummaryOnScreen();
    EXPECT_TRUE(SoundLibraryFile.empty()) << "no sound library was written";
}

// --- Global hot keys -----------------------------------------------------------------

using AppHotKeys = apptest::ProgramTest;

TEST_F(AppHotKeys, SpeedStepsByTwentyAndNeverGoesBelowZero) {
    DisplaySpeed = 80;
    for (int i = 0; i < 4; ++i) GlobalHotKey(run_, '-', 0);
    EXPECT_EQ(DisplaySpeed, 0);
    GlobalHotKey(run_, '-', 0);
    EXPECT_EQ(DisplaySpeed, 0) << "not -20";
    GlobalHotKey(run_, '+', 3);
    EXPECT_EQ(DisplaySpeed, 20);

    DisplaySpeed = 30;
    GlobalHotKey(run_, '-', 0);
    GlobalHotKey(run_, '-', 0);
    EXPECT_EQ(DisplaySpeed, 0);
    DisplaySpeed = 100000;
    GlobalHotKey(run_, '+', 0);
    EXPECT_EQ(DisplaySpeed, 100020) << "no upper limit";
}

TEST_F(AppHotKeys, AToggleTheAsciiModeInEitherCase) {
    GlobalHotKey(run_, 'a', 0);
    EXPECT_EQ(AsciiSuffix, "_asc");
    GlobalHotKey(run_, 'A', 0);
    EXPECT_EQ(AsciiSuffix, "");
    GlobalHotKey(run_, 'A', 0);
    EXPECT_EQ(AsciiSuffix, "_asc");
}

TEST_F(AppHotKeys, OtherKeysDoNothing) {
    FillScreen('#', 0x22);
    DisplaySpeed = 100;
    // Any key read would throw: the queue is empty.
    for (char key : {'\x1b', '\r', 'z', 'q', '1', ' ', '*', '/', '\t', '\0'}) GlobalHotKey(run_, key, 0);
    EXPECT_EQ(DisplaySpeed, 100);
    EXPECT_EQ(AsciiSuffix, "");
    for (int y = 1; y <= 25; ++y) ASSERT_EQ(Row(y), std::string(80, '#')) << y;
}

TEST_F(AppHotKeys, TrackMenuOpenKeepsHelpAndTracksShut) {
    FillScreen('#', 0x22);
    TrackMenuOpen = true;
    for (char key : {'h', 'H', 't', 'T', 'm', 'M'}) GlobalHotKey(run_, key, 0);
    for (int y = 1; y <= 25; ++y) ASSERT_EQ(Row(y), std::string(80, '#')) << y;
    EXPECT_TRUE(TrackMenuOpen);
}

TEST_F(AppHotKeys, HShowsTheHelpScreenThenTheCurrentScreen) {
    SKIP_WITHOUT("help");
    // The help screen as drawn straight from its resource.
    WriteFile(work_ / "help_copy.ans", ResourceBytes("help"));
    SetTextColor(7);
    ClearScreen();
    ShowAnsiFile(work_ / "help_copy.ans", 0);
    std::vector<std::string> help;
    for (int y = 1; y <= 25; ++y) help.push_back(Row(y));

    // The menu behind, as drawn straight from its resource.
    SKIP_WITHOUT("menu");
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(ResourceBytes("menu"), 0);
    std::vector<std::string> menu;
    for (int y = 1; y <= 25; ++y) menu.push_back(Row(y));

    CurrentScreenFile = "menu";
    FillScreen('#', 0x22);
    EXPECT_THROW(GlobalHotKey(run_, 'h', 0), memcon::InputExhausted) << "the help waits for a key";
    for (int y = 1; y <= 25; ++y) EXPECT_EQ(Row(y), help[static_cast<std::size_t>(y - 1)]) << "row " << y;
    EXPECT_TRUE(WorkingFiles().empty()) << "no file is written to show it";

    memcon::TypeText("q", memcon::Now() + 10);
    GlobalHotKey(run_, 'H', 0);
    for (int y = 1; y <= 25; ++y)
        EXPECT_EQ(Row(y), menu[static_cast<std::size_t>(y - 1)]) << "the menu again, row " << y;

    // The help screen has no ASCII twin: ASCII mode shows the same one.
    AsciiSuffix = "_asc";
    FillScreen('#', 0x22);
    EXPECT_THROW(GlobalHotKey(run_, 'h', 0), memcon::InputExhausted) << "the help waits for a key";
    for (int y = 1; y <= 25; ++y) EXPECT_EQ(Row(y), help[static_cast<std::size_t>(y - 1)]) << "ASCII mode, row " << y;
}

// --- Resources -------------------------------------------------------------------------

using AppResources = apptest::ProgramTest;

TEST_F(AppResources, LookupIgnoresCase) {
    const ResourceData* art = FindResource("ART1");
    ASSERT_NE(art, nullptr);
    EXPECT_EQ(FindResource("art1"), art);
    EXPECT_EQ(FindResource("aRt1"), art);
    EXPECT_EQ(FindResource("art"), nullptr);
    EXPECT_EQ(FindResource("art1 "), nullptr);
    EXPECT_EQ(FindResource("no such thing"), nullptr);

    ExtractResource(run_.Issue, "ArT1", Working("a.ans"));
    EXPECT_EQ(ReadFile(Working("a.ans")), ResourceBytes("ART1"));
    EXPECT_GT(ReadFile(Working("a.ans")).size(), 0u);
}

TEST_F(AppResources, ReplacingALongerFileLeavesNoTail) {
    const std::string bytes = ResourceBytes("art2");
    WriteFile(Working("a.ans"), std::string(bytes.size() * 3 + 100, 'z'));
    ExtractResource(run_.Issue, "art2", Working("a.ans"));
    EXPECT_EQ(ReadFile(Working("a.ans")), bytes);
}

#ifndef _WIN32  // POSIX file semantics: links, file size limits, /proc
TEST_F(AppResources, WorkingFilesAreCreatedNeverFollowed) {
    // Links planted under working names, and a file already open under one:
    // the targets keep their bytes, the reader of the old file keeps it.
    WriteFile(program_ / "victim", "the reader's file");
    std::filesystem::create_symlink(program_ / "victim", Working("menu1.ans"));
    std::filesystem::create_symlink(program_ / "victim", Working("tmp.ans"));
    std::filesystem::create_symlink(program_ / "nothing-yet", Working("music.mod"));
    WriteFile(Working("about.txt"), "old text");
    std::ifstream open(Working("about.txt"), std::ios::binary);

    ExtractResource(run_.Issue, "menu", Working("menu1.ans"));
    ShowResourceScreen(run_.Issue, "art3");
    ExtractResource(run_.Issue, "music1", Working("music.mod"));
    ExtractResource(run_.Issue, "abouttxt", Working("about.txt"));

    EXPECT_EQ(ReadFile(program_ / "victim"), "the reader's file");
    EXPECT_FALSE(Exists(program_ / "nothing-yet"));
    EXPECT_FALSE(std::filesystem::is_symlink(Working("menu1.ans")));
    EXPECT_EQ(ReadFile(Working("menu1.ans")), ResourceBytes("menu"));
    EXPECT_EQ(ReadFile(Working("music.mod")), ResourceBytes("music1"));
    EXPECT_EQ(ReadFile(Working("about.txt")), ResourceBytes("abouttxt"));
    const std::string old((std::istreambuf_iterator<char>(open)), std::istreambuf_iterator<char>());
    EXPECT_EQ(old, "old text") << "a fresh file, not the old one rewritten in place";
}
#endif

#ifndef _WIN32  // POSIX file semantics: links, file size limits, /proc
TEST_F(AppResources, WorkingFolderIsPrivateAndGoesWithEverythingInIt) {
    const auto perms = std::filesystem::status(WorkFolder()).permissions();
    EXPECT_EQ(perms & std::filesystem::perms::all, std::filesystem::perms::owner_all);
    EXPECT_EQ(WorkFolder().rfind(tmp_.Path() + "/", 0), 0u) << WorkFolder() << " lies in TMPDIR";
    ExtractResource(run_.Issue, "art1", Working("art1.ans"));
    EXPECT_EQ(std::filesystem::status(Working("art1.ans")).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    WriteFile(Working("stray"), "x");
    std::filesystem::create_directory(Working("sub"));
    std::filesystem::create_symlink(program_ / "victim", Working("link"));
    WriteFile(program_ / "victim", "kept");
    RemoveWorkFolder();
    EXPECT_TRUE(tmp_.Files().empty());
    EXPECT_EQ(ReadFile(program_ / "victim"), "kept");
    RemoveWorkFolder();  // twice is harmless

    // Two runs at once get two folders.
    std::string error;
    ASSERT_TRUE(OpenWorkFolder(error)) << error;
    const std::string first = WorkFolder();
    ASSERT_TRUE(OpenWorkFolder(error)) << error;
    EXPECT_NE(WorkFolder(), first);
    EXPECT_EQ(tmp_.Files().size(), 1u) << "opening anew removes the folder made before";
}
#endif

// --- Folders of killed runs and refused removals ---------------------------------------

#ifndef _WIN32  // process ids and start times as /proc gives them, links, owners
// The start time of process Pid: the 22nd field of /proc/PID/stat.
std::string StartTimeOf(pid_t pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) fields >> field;
    return field;
}

// The id of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

TEST_F(AppResources, TheWorkingFolderNamesItsRunByIdAndStartTime) {
    const std::string self = std::to_string(getpid());
    EXPECT_EQ(ReadFile(Working("owner")), self + " " + StartTimeOf(getpid()) + "\n");
    EXPECT_NE(StartTimeOf(getpid()), "");
}

TEST_F(AppResources, FoldersOfEndedRunsGoAtStartAndNothingElseIsTouched) {
    RemoveWorkFolder();
    const std::string dead = std::to_string(EndedProcess()) + " 12345\n";
    const std::string self = std::to_string(getpid());
    auto run = [&](const std::string& name, const std::string& owner) {
        std::filesystem::create_directory(tmp_ / name);
        if (!owner.empty()) WriteFile(tmp_ / name + "/owner", owner);
        WriteFile(tmp_ / name + "/menu1.ans", "screen");
        return tmp_ / name;
    };
    // Gone: a run whose process ended, one whose id now belongs to a
    // process that started later (this one), each with what runs leave.
    run("quixmag-Ended001", dead);
    std::filesystem::create_directory(tmp_ / "quixmag-Ended001/sub");
    WriteFile(program_ / "victim", "kept");
    std::filesystem::create_symlink(program_ / "victim", tmp_ / "quixmag-Ended001/sub/link");
    std::filesystem::create_directory(program_ / "folder");
    WriteFile(program_ / "folder/inside", "kept");
    std::filesystem::create_directory_symlink(program_ / "folder", tmp_ / "quixmag-Ended001/sub/folderlink");
    run("quixmag-Reused01", self + " 1\n");
    // Kept: a live run; one just starting (no owner yet); look-alike names.
    run("quixmag-Living01", self + " " + StartTimeOf(getpid()) + "\n");
    run("quixmag-Startng1", "");
    run("quixmag-Short", dead);
    run("quixmag-Long00001", dead);
    run("quixmag-Dash-001", dead);
    run("other-Ended001", dead);
    WriteFile(tmp_ / "quixmag-AFile001", dead);
    // Kept: a link of the pattern's name to a folder of an ended run.
    const std::string elsewhere = program_ / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    WriteFile(elsewhere + "/owner", dead);
    std::filesystem::create_directory_symlink(elsewhere, tmp_ / "quixmag-Linked01");
    // Kept: an owner record that is a link to an ended run's stamp.
    const std::string linkedOwner = run("quixmag-LinkOwnr", "");
    WriteFile(program_ / "stamp", dead);
    std::filesystem::create_symlink(program_ / "stamp", linkedOwner + "/owner");
    // Kept: a folder of another user.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(run("quixmag-Nobody01", dead).c_str(), 65534, 65534), 0);
    }

    std::string error;
    ASSERT_TRUE(OpenWorkFolder(error)) << error;
    std::vector<std::string> expected = {"quixmag-AFile001", "quixmag-Dash-001", "quixmag-LinkOwnr",
                                         "quixmag-Linked01", "quixmag-Living01", "quixmag-Long00001",
                                         "quixmag-Short",    "quixmag-Startng1", "other-Ended001"};
    if (root) expected.push_back("quixmag-Nobody01");
    const std::string mine = std::filesystem::path(WorkFolder()).parent_path().filename().string();
    expected.push_back(mine);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(tmp_.Files(), expected);
    EXPECT_EQ(ReadFile(program_ / "victim"), "kept");
    EXPECT_EQ(ReadFile(program_ / "folder/inside"), "kept");
    EXPECT_EQ(ReadFile(elsewhere + "/owner"), dead);
    EXPECT_EQ(ReadFile(tmp_ / "quixmag-Living01/menu1.ans"), "screen");
    if (root) {
        EXPECT_EQ(ReadFile(tmp_ / "quixmag-Nobody01/menu1.ans"), "screen");
    }
}

TEST_F(AppResources, ARemovalRefusedOnceLeavesNoFileBehind) {
    // The gallery's probe: made (call 1), closed (2), removed (3), refused.
    faults::Plan(3, EIO, faults::Mode::Once);
    EXPECT_TRUE(FolderWritable(program_.Slashed()));
    faults::Clear();
    EXPECT_EQ(program_.Files().size(), 1u) << "the probe is there until the end of the run";
    RemoveWorkFolder();
    EXPECT_TRUE(program_.Files().empty());

    // The working folder's own removal, its last call refused.
    std::string error;
    ASSERT_TRUE(OpenWorkFolder(error)) << error;
    ExtractResource(run_.Issue, "art1", Working("menu1.ans"));
    faults::Clear();
    RemoveWorkFolder();
    const std::uint64_t calls = faults::Calls();
    ASSERT_TRUE(OpenWorkFolder(error)) << error;
    ExtractResource(run_.Issue, "art1", Working("menu1.ans"));
    faults::Plan(calls, EIO, faults::Mode::Once);
    RemoveWorkFolder();
    EXPECT_EQ(faults::Refused(), 1u);
    faults::Clear();
    EXPECT_TRUE(tmp_.Files().empty());
    ASSERT_TRUE(OpenWorkFolder(error)) << error;  // for the fixture to remove
}
#endif

TEST_F(AppResources, SignalPathRemovesEveryWorkingFile) {
    for (const char* name : {"menu1.ans", "music.mod", "news.txt", "news_hdr.ans", "tmp.ans"})
        ExtractResource(run_.Issue, "art1", Working(name));
    RemoveWorkFile(Working("tmp.ans"));
    RemoveWorkFolderNow();
    EXPECT_TRUE(tmp_.Files().empty());
}

#ifndef _WIN32  // Windows temporary paths stop at MAX_PATH
TEST_F(AppResources, PathsLongerThan255CharactersAreKeptWhole) {
    // A temporary folder whose path is 300 characters long.
    std::string deep = tmp_.Path();
    while (deep.size() < 300) deep += "/" + std::string(std::min<std::size_t>(60, 300 - deep.size() + 1), 'd');
    std::filesystem::create_directories(deep);
    setenv("TMPDIR", deep.c_str(), 1);
    std::string error;
    ASSERT_TRUE(OpenWorkFolder(error)) << error;
    ASSERT_GT(WorkFolder().size(), 300u);
    ExtractResource(run_.Issue, "menu", Working("menu1.ans"));
    EXPECT_TRUE(IsFile(Working("menu1.ans")));
    EXPECT_EQ(ReadFile(Working("menu1.ans")), ResourceBytes("menu"));
    RemoveWorkFolder();
    EXPECT_TRUE(std::filesystem::is_empty(deep));
    ASSERT_TRUE(OpenWorkFolder(error)) << error;  // for the fixture to remove
}
#endif

TEST_F(AppResources, OneShotScreenIsDrawnFromMemoryAsItsFileWouldBe) {
    // The screen as the renderer draws a file holding the resource's bytes.
    WriteFile(program_ / "copy.ans", ResourceBytes("art3"));
    SetTextColor(7);
    ClearScreen();
    ShowAnsiFile(program_ / "copy.ans", 0);
    std::vector<std::string> expected;
    for (int y = 1; y <= 25; ++y) expected.push_back(Row(y));

    WriteFile(program_ / "tmp.ans", "old");
    WriteFile(work_ / "tmp.ans", "old");
    FillScreen('#', 0x22);
    ShowResourceScreen(run_.Issue, "art3");
    for (int y = 1; y <= 25; ++y) EXPECT_EQ(Row(y), expected[static_cast<std::size_t>(y - 1)]) << "row " << y;
    EXPECT_TRUE(WorkingFiles().empty()) << "no file is written to show it";
    EXPECT_EQ(ReadFile(work_ / "tmp.ans"), "old") << "the reader's file in the current folder is kept";
    EXPECT_EQ(ReadFile(program_ / "tmp.ans"), "old") << "the program folder is not used";
}

using AppResourcesDeathTest = apptest::ProgramTest;

bool NonZeroExit(int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; }

#ifndef _WIN32
// Makes every write past Bytes fail in this process, as on a full disk (the
// write answers an error instead of the signal ending the process).
void LimitFileSize(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

TEST_F(AppResourcesDeathTest, UnwritableTargetEndsTheProgramWithAnError) {
    // Only files directly in the working folder are written.
    EXPECT_EXIT(ExtractResource(run_.Issue, "art1", program_ / "art.ans"), NonZeroExit, "art.ans");
    EXPECT_EXIT(ExtractResource(run_.Issue, "art1", Working("missing/art.ans")), NonZeroExit, "missing/art.ans");
    EXPECT_FALSE(Exists(program_ / "art.ans"));
    // A working folder that went away cannot take the file, not even for root.
    std::filesystem::remove_all(WorkFolder());
    EXPECT_EXIT(ExtractResource(run_.Issue, "art1", Working("menu1.ans")), NonZeroExit, "menu1.ans");
}

#ifndef _WIN32  // POSIX file semantics: links, file size limits, /proc
TEST_F(AppResourcesDeathTest, FullDiskEndsWithAClearMessageAndLeavesNothing) {
    // The file size limit stands in for a full disk: writes fail part-way.
    EXPECT_EXIT(
        {
            LimitFileSize(1000);
            ExtractResource(run_.Issue, "menu", Working("menu1.ans"));
        },
        NonZeroExit, "cannot write .*menu1.ans: File too large");
    EXPECT_TRUE(tmp_.Files().empty()) << "the working folder is removed on the error exit";
}
#endif

TEST_F(AppResourcesDeathTest, MissingResourceEndsTheProgramWithAnError) {
    EXPECT_EXIT(ExtractResource(run_.Issue, "nosuch", program_ / "x.ans"), NonZeroExit, "[Nn][Oo][Ss][Uu][Cc][Hh]");
    // An entry whose text the executable lacks (its manifest named a file
    // that was not there): a clear message, and no working file stays.
    EXPECT_EXIT(OpenArticle(run_.Issue, "gone", "title", "author", "scene/gone", 0), NonZeroExit,
                "resource GONE is missing from the issue");
    EXPECT_TRUE(tmp_.Files().empty()) << "the working folder is removed on the error exit";
}

// --- Header fields -----------------------------------------------------------------------

using AppHeaderFields = apptest::ProgramTest;

// Writes Text at (X, Y) through the character writer, as the renderer does,
// so that the cells can be read back with CharAt.
void Put(int x, int y, Byte attr, const std::string& text) {
    SetTextAttr(attr);
    GotoXY(x, y);
    WriteStr(text);
}

TEST_F(AppHeaderFields, ScanFindsRunsInScreenOrder) {
    ClearScreen();
    Put(10, 2, 0x1E, "!");
    Put(5, 4, 0x2A, "!!");
    Put(7, 4, 0x4C, "!x!");    // the run goes on in another colour, then a gap
    Put(79, 6, 0x3B, "!!!!");  // columns 79, 80 and on into row 7
    Put(80, 8, 0x5D, "!");     // row 9 starts without a marker
    Put(20, 1, 0x0F, "?");
    ScanHeaderFields('!', ' ');

    struct Expect {
        int x, y, attr, length;
    };
    const std::vector<Expect> expected = {
        {10, 2, 0x1E, 1}, {5, 4, 0x2A, 3}, {9, 4, 0x4C, 1}, {79, 6, 0x3B, 4}, {80, 8, 0x5D, 1}};
    ASSERT_EQ(HeaderFields.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(HeaderFields[i].X, expected[i].x) << i;
        EXPECT_EQ(HeaderFields[i].Y, expected[i].y) << i;
        EXPECT_EQ(HeaderFields[i].Width, expected[i].attr) << i << ": attribute";
        EXPECT_EQ(HeaderFields[i].Height, expected[i].length) << i << ": length";
    }
    // Every marker became the replacement in the colour of its run's first
    // cell; other cells are untouched.
    EXPECT_EQ(Ch(10, 2), ' ');
    EXPECT_EQ(At(10, 2), 0x1E);
    EXPECT_EQ(Ch(7, 4), ' ');
    EXPECT_EQ(At(7, 4), 0x2A);
    EXPECT_EQ(Ch(8, 4), 'x');
    EXPECT_EQ(At(8, 4), 0x4C);
    EXPECT_EQ(Ch(2, 7), ' ');
    EXPECT_EQ(At(2, 7), 0x3B);
    EXPECT_EQ(Ch(20, 1), '?');
}

TEST_F(AppHeaderFields, ClearScreenForgetsTheMarkersOfTheScreenBefore) {
    // A header screen's markers, then a cleared screen: the scan of the next
    // screen must not find the old markers.
    Put(10, 2, 0x1E, "!!!");
    ClearScreen();
    ScanHeaderFields('!', ' ');
    EXPECT_TRUE(HeaderFields.empty());
}

TEST_F(AppHeaderFields, ScanStartsFromAnEmptyListAndUsesTheGivenCharacters) {
    ClearScreen();
    Put(3, 3, 0x07, "**");
    Put(3, 5, 0x07, "!");
    HeaderFields.push_back(TCoord{1, 1, 1, 1});
    ScanHeaderFields('*', '.');
    ASSERT_EQ(HeaderFields.size(), 1u);
    EXPECT_EQ(HeaderFields[0].X, 3);
    EXPECT_EQ(HeaderFields[0].Height, 2);
    EXPECT_EQ(Row(3), "  ..");
    EXPECT_EQ(Ch(3, 5), '!');
}

TEST_F(AppHeaderFields, WriteFieldOfOneCellWritesTheWholeText) {
    FillScreen('#', 0x22);
    HeaderFields = {TCoord{5, 3, 0x1F, 1}};
    WriteHeaderField(0, "a title longer than its marker");
    EXPECT_EQ(Row(3).substr(4, 31), "a title longer than its marker#");
    EXPECT_EQ(At(5, 3), 0x1F);
    EXPECT_EQ(At(34, 3), 0x1F);
    EXPECT_EQ(At(35, 3), 0x22);

    WriteHeaderField(0, "");
    EXPECT_EQ(Ch(5, 3), 'a') << "an empty text writes nothing";
}

TEST_F(AppHeaderFields, WriteLongerFieldCutsOrPadsWithCharacterZero) {
    FillScreen('#', 0x22);
    HeaderFields = {TCoord{1, 1, 0x07, 1}, TCoord{5, 5, 0x2E, 6}};
    WriteHeaderField(1, "abcdefghij");
    EXPECT_EQ(Row(5).substr(3, 8), "#abcdef#");
    EXPECT_EQ(At(10, 5), 0x2E);
    EXPECT_EQ(At(11, 5), 0x22);

    WriteHeaderField(1, "ab");
    EXPECT_EQ(Ch(5, 5), 'a');
    EXPECT_EQ(Ch(6, 5), 'b');
    for (int x = 7; x <= 10; ++x) {
        EXPECT_EQ(memcon::CellAt(x - 1, 4).Char & 0xFF, 0) << x;
        EXPECT_EQ(At(x, 5), 0x2E) << x;
    }
    EXPECT_EQ(Ch(11, 5), '#');
}

TEST_F(AppHeaderFields, ClearEmptiesTheList) {
    HeaderFields = {TCoord{1, 1, 7, 1}, TCoord{2, 2, 7, 2}};
    ClearHeaderFields();
    EXPECT_TRUE(HeaderFields.empty());
}

// --- Shutdown --------------------------------------------------------------------------------

class AppExitScreen : public apptest::ProgramTest {
protected:
    // The program's working files, and files of the same names in the
    // program folder and the current folder that belong to the reader.
    void MakeFiles() {
        SoundLibraryFile = Working("soundlib.so");
        for (const char* name : {"soundlib.so", "music.mod", "articles.ans", "tutors.ans", "menu1.ans", "menu3.ans",
                                 "about.ans", "saved.ans"}) {
            ExtractResource(run_.Issue, "art1", Working(name));
            WriteFile(program_ / name, "x");
            WriteFile(work_ / name, "x");
        }
    }
    const std::vector<std::string> readerFiles_{"about.ans", "articles.ans", "menu1.ans",   "menu3.ans",
                                                "music.mod", "saved.ans",    "soundlib.so", "tutors.ans"};
};

TEST_F(AppExitScreen, RemovesEveryWorkingFileAndNothingElse) {
    SKIP_WITHOUT("exit");
    MakeFiles();
    SilentMode = true;
    HeaderFields = {TCoord{1, 1, 7, 1}};
    FillScreen('#', 0x22);
    ExitScreen(run_);
    EXPECT_EQ(program_.Files(), readerFiles_);
    EXPECT_EQ(work_.Files(), readerFiles_);
    EXPECT_TRUE(tmp_.Files().empty()) << "the working folder is gone";
    EXPECT_TRUE(HeaderFields.empty());
    EXPECT_GE(memcon::Now(), 500u) << "the exit screen stays for half a second";
    for (int y = 1; y <= 25; ++y) ASSERT_EQ(Row(y), "") << "silent: no message, row " << y;
}

TEST_F(AppExitScreen, FailedMusicLeavesAMessage) {
    SKIP_WITHOUT("exit");
    MusicFailed = true;
    ExitScreen(run_);
    EXPECT_EQ(Row(1), "hmm... something went wrong. but who cares. c ya");
    for (int y = 2; y <= 25; ++y) ASSERT_EQ(Row(y), "") << y;
    EXPECT_EQ(WhereY(), 2);

    memcon::Reset();
    SilentMode = true;  // silent wins: nothing to say
    ExitScreen(run_);
    EXPECT_EQ(Row(1), "");
}

TEST_F(AppExitScreen, UsableMusicIsReleasedWithoutAMessage) {
    SKIP_WITHOUT("exit");
    ExitScreen(run_);  // music on, not failed, nothing loaded: a quiet release
    for (int y = 1; y <= 25; ++y) ASSERT_EQ(Row(y), "") << y;
}

TEST_F(AppExitScreen, EachModeShowsItsOwnExitScreen) {
    SKIP_WITHOUT("exit", "exit_asc");
    SilentMode = true;
    // With a pause after every byte, the time the drawing takes tells the
    // two screens apart (they differ in length).
    DisplaySpeed = 1;
    auto drawTime = [&](const std::string& resource) {
        WriteFile(work_ / "copy.ans", ResourceBytes(resource));
        const uint32_t start = memcon::Now();
        ShowAnsiFile(work_ / "copy.ans", 1);
        std::remove((work_ / "copy.ans").c_str());
        return memcon::Now() - start;
    };
    const uint32_t ansi = drawTime("exit");
    const uint32_t ascii = drawTime("exit_asc");
    ASSERT_NE(ansi, ascii);
    for (const auto& [suffix, expected] : {std::pair<std::string, uint32_t>{"", ansi}, {"_asc", ascii}}) {
        AsciiSuffix = suffix;
        // Each exit removes the working folder: the next one needs its own.
        std::string error;
        ASSERT_TRUE(OpenWorkFolder(error)) << error;
        const uint32_t start = memcon::Now();
        ExitScreen(run_);
        EXPECT_EQ(memcon::Now() - start, expected + 500) << "mode \"" << suffix << "\"";
    }
}

using AppExitScreenDeathTest = AppExitScreen;

TEST_F(AppExitScreenDeathTest, HotKeyXEndsTheProgramWithZeroAfterTheExitScreen) {
    SKIP_WITHOUT("exit");
    MakeFiles();
    SilentMode = true;
    EXPECT_EXIT(GlobalHotKey(run_, 'x', 0), testing::ExitedWithCode(0), "");
    EXPECT_TRUE(tmp_.Files().empty()) << "the gallery's menu3.ans goes with the rest";
    EXPECT_EQ(program_.Files(), readerFiles_);
    EXPECT_EQ(work_.Files(), readerFiles_);
}

#ifndef _WIN32  // POSIX file semantics: links, file size limits, /proc
TEST_F(AppExitScreenDeathTest, FullDiskStillEndsWithZero) {
    SKIP_WITHOUT("exit");
    SilentMode = true;
    EXPECT_EXIT(
        {
            LimitFileSize(100);
            GlobalHotKey(run_, 'x', 0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_TRUE(tmp_.Files().empty());
}
#endif

}  // namespace
