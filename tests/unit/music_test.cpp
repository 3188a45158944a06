// The music side of the program on the memory console: the track menu's
// frame and keys, the switches that keep the music inert, and the real sound
// library (embedded in the test binary) under SDL's silent driver.

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "ansi/ansi_renderer.h"
#include "app/back_issues.h"
#include "app/magazine_run.h"
#include "app/program.h"
#include "app/resources.h"
#include "sys/workfiles.h"
#include "console/con_memory.h"
#include "console/m_Console.h"
#include "app/track_menu.h"
#include "music/music.h"
#include "sys/fault_counter.h"
#include "sys/resources.h"

namespace fs = std::filesystem;

namespace {

// --- The frame, written out piece by piece ------------------------------------------

std::string Run(unsigned char ch, int count) {
    return std::string(static_cast<std::size_t>(count), static_cast<char>(ch));
}

const std::string SP = " ";
const std::string B0 = "\xB0";
const std::string B1 = "\xB1";
const std::string B2 = "\xB2";
const std::string FB = "\xDB";  // full block
const std::string LH = "\xDC";  // lower half
const std::string UH = "\xDF";  // upper half

std::string Join(std::initializer_list<std::string> pieces) {
    std::string row;
    for (const auto& piece : pieces) row += piece;
    return row;
}

const std::array<std::string, 10> ExpectedFrame = {
    Join({"|04",       Run(0xDB, 2), "|12",       "|20",       Run(0xDB, 3), B2,    B1,           B0,    "|00",
          Run(' ', 2), "|12",        "Tracks...", "|00",       Run(' ', 21), "|04", Run(0xDC, 2), FB,    LH,
          "|15",       B0,           "|04",       Run(' ', 5), "|12",        B2,    UH,           "|04", "|16",
          FB,          "|07",        SP,          B0,          "|04",        SP,    "|07",        SP}),
    Join({"|04", B2,           FB, "|12", "|20",        FB,          "|04",        "|16",        Run(0xDB, 17),
          "|20", Run(0xDB, 2), LH, FB,    Run(0xDC, 9), Run(' ', 2), Run(0xDB, 9), "|00",        SP,
          "|04", Run(0xDB, 4), SP, "|12", B2,           "|04",       "|16",        Run(0xDB, 2), "|07",
          SP,    B2,           B0}),
    Join({"|04", B2,           FB,           "|12",        "|20",       FB,    "|04",
          "|16", Run(0xDB, 8), "|00",        "|20",        Run(' ', 9), "|04", Run(0xDB, 24),
          "|00", SP,           "|04",        Run(0xDB, 4), LH,          "|12", B0,
          "|04", "|16",        Run(0xDB, 2), "|07",        SP,          FB,    B2}),
    Join({"|04", B1, Run(0xDB, 4), "|00", "|20", Run(' ', 46), "|04", "|16", Run(0xDB, 2), "|07", SP, UH, FB}),
    Join({"|04", B0, Run(0xDB, 5), "|00", "|20", Run(' ', 28), "|04", "|16", Run(0xDB, 18), UH, "|07", SP, FB, "|15",
          "|23", B0, "|16", B0}),
    Join({"|04", B0, Run(0xDB, 33), "|00", "|20", SP, "|04", "|16", Run(0xDB, 15), "|12", "|20", FB, "|04", "|16", FB,
          "|07", SP, Run(0xDB, 3)}),
    Join({"|12", SP, "|00", "|20", Run(' ', 34), "|04", "|16", Run(0xDB, 11), "|12", "|20",       B0,
          B1,    B2, FB,    UH,    "|04",        "|16", FB,    "|07",         SP,    Run(0xDB, 2)}),
    Join({"|12", SP, "|00", "|20", Run(' ', 13), "|04", "|16", Run(0xDB, 33), Run(0xDF, 4), "|07", SP, LH,
          Run(0xDB, 2)}),
    Join({"|04", SP, "|07", Run(0xDC, 4), "|15", LH, "|07", Run(0xDC, 4), "|15", Run(0xDC, 2), "|07", Run(0xDC, 2),
          "|15", LH, "|07", Run(0xDC, 33), Run(0xDB, 4), Run(0xDF, 2), SP}),
    Join({Run(0xDF, 8), "|15", Run(0xDF, 2), "|07", Run(0xDF, 3), "|15", UH, "|07", Run(0xDF, 34)}),
};

constexpr std::array<int, 10> FrameWidths = {57, 56, 56, 56, 57, 56, 55, 55, 55, 48};

// --- Keys ------------------------------------------------------------------------------

constexpr uint16_t ScanDown = 80;

// Keys pressed at virtual time At (the script keeps keys of equal times in
// their order).
void Down(int times = 1, uint32_t at = 0) {
    for (int i = 0; i < times; ++i) memcon::PressExtended(ScanDown, 0, at);
}

// Keys that move the bar from the first track to "[ c l o s e ]" and choose it.
void CloseFromTop(uint32_t at = 0) {
    Down(5, at);
    memcon::PressEnter(at);
}

// The closing keys once more after a test's own script: they close the
// menu from wherever it stands, so a menu that closes too late takes them
// and does not hang, and one that closes in time leaves them unread. The
// space in front is for the redraw after closing, which may drop a key (the
// renderer looks at the keyboard once per byte, end mark included).
void PushBackstop(uint32_t at = 0) {
    memcon::TypeText(" ", at);
    CloseFromTop(at);
}

// Whether exactly the backstop is left after the menu: nothing of it taken
// (closed too late), nothing of the script left over (closed too early).
::testing::AssertionResult BackstopUnread() {
    const std::string closing("\0P\0P\0P\0P\0P\r", 11);
    std::string keys;
    while (KeyPressed()) keys += ReadKey();
    if (keys == closing || keys == " " + closing) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "keys left after the menu closed: " << ::testing::PrintToString(keys);
}

// --- Fixture ---------------------------------------------------------------------------------

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A menu that never ends would spin in virtual time for ever: turn
        // that into a failure of the whole run instead of a hang.
        ::alarm(60);
        memcon::Reset();
        InitConsole();
        dir_ = fs::temp_directory_path() / ("music_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_ / "tmp");
        ProgramDir = dir_.string() + "/";
        // The working folder goes into a temporary folder of the test's own.
        ::setenv("TMPDIR", (dir_ / "tmp").string().c_str(), 1);
        std::string error;
        ASSERT_TRUE(OpenWorkFolder(error)) << error;
        // CurrentScreenFile stays empty unless a test needs to see it: the
        // renderer reads a key per byte it draws, which would eat the
        // backstop keys.
        ResetProgramWideValues();
        ProgramDir = dir_.string() + "/";
        ASSERT_TRUE(run_.Magazine.TakeBuiltIn(error) && run_.Magazine.Open(run_.Magazine.Newest(), run_.Issue, error))
            << error;
    }
    void TearDown() override {
        faults::Clear();
        run_.Player.ReleaseMusic();
        ::unsetenv("SDL_AUDIODRIVER");
        RemoveWorkFolder();
        ::unsetenv("TMPDIR");
        DoneConsole();
        std::error_code ec;
        fs::remove_all(dir_, ec);
        ::alarm(0);
    }

    static fs::path ModuleFile() { return WorkFile("music.mod"); }
    // The first rows of the start-up screen, joined: the failure messages.
    static std::string StartUpText() {
        std::string text;
        for (int row = 0; row < 5; ++row) text += memcon::RowText(row) + "\n";
        return text;
    }
    // Row 11, the line under the track menu's frame, as it stood the last
    // time the virtual clock moved while the menu was open.
    void WatchTheLineUnderTheFrame() {
        memcon::OnClockMoved([this] {
            if (!TrackMenuOpen) return;
            underFrame_ = memcon::RowText(10);
            underFrameAttr_ = memcon::CellAt(0, 10).Attr & 0xFF;
        });
    }

    std::string underFrame_;
    int underFrameAttr_ = -1;
    // What the program folder holds besides the test's temporary folder.
    std::vector<std::string> ProgramFolderFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            if (entry.path() != dir_ / "tmp") names.push_back(entry.path().filename().string());
        return names;
    }

    MagazineRun run_;
    fs::path dir_;
};

// --- The frame ----------------------------------------------------------------------------------

TEST_F(MusicTest, FrameRowsHoldTheArtAndItsWidths) {
    for (std::size_t i = 0; i < TrackFrameRows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        EXPECT_EQ(TrackFrameRows[i], ExpectedFrame[i]);
        EXPECT_EQ(PipeLength(TrackFrameRows[i]), FrameWidths[i]);
    }
}

TEST_F(MusicTest, FrameIsDrawnRowByRowFromTheTopLeftCorner) {
    for (std::size_t i = 0; i < TrackFrameRows.size(); ++i)
        WriteXYPipe(1, static_cast<int>(i) + 1, 7, TrackFrameRows[i]);
    std::vector<conapi::Cell> reference;
    for (int row = 0; row < 25; ++row)
        for (int col = 0; col < 80; ++col) reference.push_back(memcon::CellAt(col, row));

    DoneConsole();
    memcon::Reset();
    InitConsole();
    DrawTrackFrame();
    for (int row = 0; row < 25; ++row)
        for (int col = 0; col < 80; ++col) {
            const conapi::Cell want = reference[static_cast<std::size_t>(row * 80 + col)];
            const conapi::Cell got = memcon::CellAt(col, row);
            ASSERT_EQ(got.Char, want.Char) << "column " << col + 1 << ", row " << row + 1;
            ASSERT_EQ(got.Attr, want.Attr) << "column " << col + 1 << ", row " << row + 1;
        }
    EXPECT_GE(memcon::SleptMs(), 100u) << "10 ms after each of the ten rows";

    // The title sits in light red on red.
    EXPECT_EQ(memcon::RowText(0).substr(10, 9), "Tracks...");
    EXPECT_EQ(memcon::CellAt(10, 0).Attr & 0xFF, 0x4C);
    EXPECT_EQ(memcon::CellAt(0, 0).Char & 0xFF, 0xDB);
    EXPECT_EQ(memcon::CellAt(0, 0).Attr & 0xFF, 0x04);
}

// --- Keys in the track menu ---------------------------------------------------------------------

TEST_F(MusicTest, OnlyTheCloseEntryClosesTheMenu) {
    MusicFailed = true;  // choices do nothing; the keys are what is tested
    memcon::PressEsc();
    memcon::PressExtended(75);  // Left
    memcon::PressExtended(77);  // Right
    memcon::PressEsc();
    CloseFromTop();  // each negative result starts again at the top
    PushBackstop();
    TrackMenu(run_);
    EXPECT_TRUE(BackstopUnread());
    EXPECT_FALSE(TrackMenuOpen);
}

TEST_F(MusicTest, ClosingDrawsTheScreenUnderTheMenuAgain) {
    const ResourceData* backdrop = FindResource("menu");
    if (backdrop == nullptr) GTEST_SKIP() << "the main menu's screen is not there yet";
    // The menu's screen as drawn straight from its resource on a cleared
    // screen.
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(backdrop->Bytes(), 0);
    std::vector<std::string> expected;
    for (int row = 0; row < 25; ++row) expected.push_back(memcon::RowText(row));

    CurrentScreenFile = "menu";
    for (int row = 1; row <= 25; ++row) WriteXY(1, row, 0x22, std::string(80, '#'));
    CloseFromTop();
    TrackMenu(run_);
    for (int row = 0; row < 25; ++row)
        EXPECT_EQ(memcon::RowText(row), expected[static_cast<std::size_t>(row)]) << "row " << row + 1;
}

TEST_F(MusicTest, MenuStartsAgainOnTheChosenEntry) {
    MusicFailed = true;
    Down(2);
    memcon::PressEnter();  // the third track: the menu stays open on it
    Down(3);
    memcon::PressEnter();  // from the third entry, three down is the close entry
    PushBackstop();
    TrackMenu(run_);
    EXPECT_TRUE(BackstopUnread());
    EXPECT_FALSE(TrackMenuOpen);
}

TEST_F(MusicTest, HotKeysInsideTheMenu) {
    SilentMode = true;
    // T, M and H would open another track menu or the help screen over this
    // one; here they do nothing. "+" and A reach the global handler.
    memcon::TypeText("tmhTMH+a");
    CloseFromTop();
    PushBackstop();
    TrackMenu(run_);
    EXPECT_TRUE(BackstopUnread());
    EXPECT_FALSE(TrackMenuOpen);
    EXPECT_EQ(DisplaySpeed, 820);
    EXPECT_EQ(AsciiSuffix, "_asc");
}

// --- Music switched off ---------------------------------------------------------------------------

TEST_F(MusicTest, SilentModeKeepsEverythingInert) {
    SilentMode = true;
    memcon::PressEnter();  // track 1
    Down();
    memcon::PressEnter();  // track 2
    Down(4);
    memcon::PressEnter();  // close
    PushBackstop();
    TrackMenu(run_);
    EXPECT_TRUE(BackstopUnread());

    run_.Player.PlayTrack(run_.Issue, "music3");
    run_.Player.ToggleMusic();
    run_.Player.ToggleMusic();
    EXPECT_FALSE(fs::exists(ModuleFile()));
    EXPECT_TRUE(CurrentMusicFile.empty());
    EXPECT_FALSE(MusicPlaying);
    EXPECT_FALSE(MusicFailed);
}

TEST_F(MusicTest, AfterAFailureChoicesDoNothing) {
    MusicFailed = true;
    memcon::PressEnter();
    Down(5);
    memcon::PressEnter();
    TrackMenu(run_);
    run_.Player.PlayTrack(run_.Issue, "music1");
    run_.Player.ToggleMusic();
    EXPECT_FALSE(fs::exists(ModuleFile()));
    EXPECT_FALSE(MusicPlaying);
    run_.Player.ReleaseMusic();  // nothing loaded: harmless
}

// --- The real library ---------------------------------------------------------------------------------

TEST_F(MusicTest, InitFailureSwitchesTheMusicOff) {
    ::setenv("SDL_AUDIODRIVER", "nonexistent_driver", 1);
    run_.Player.LoadSoundLibrary(run_.Issue, "music1");
    EXPECT_TRUE(MusicFailed);
    EXPECT_FALSE(MusicPlaying);
#ifdef _WIN32
    EXPECT_EQ(SoundLibraryFile, WorkFile("soundlib.dll"));
#else
    EXPECT_EQ(SoundLibraryFile, WorkFile("soundlib.so"));
#endif
    EXPECT_TRUE(fs::exists(SoundLibraryFile));
    EXPECT_EQ(memcon::RowText(0).substr(0, 11), "Init failed");
    EXPECT_FALSE(fs::exists(ModuleFile())) << "no track is started";

    run_.Player.ToggleMusic();
    run_.Player.PlayTrack(run_.Issue, "music1");
    EXPECT_FALSE(MusicPlaying);
    EXPECT_FALSE(fs::exists(ModuleFile()));
}

TEST_F(MusicTest, LoadsTheLibraryAndSwitchesTracks) {
    for (const char* name : {"music1", "music2", "music3", "music4", "music5"})
        if (FindResource(name) == nullptr) GTEST_SKIP() << "the issue's modules are not embedded yet";

    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    run_.Player.LoadSoundLibrary(run_.Issue, "music1");
    ASSERT_FALSE(MusicFailed) << memcon::RowText(0) << " / " << memcon::RowText(1);
    EXPECT_TRUE(MusicPlaying);
    EXPECT_EQ(memcon::RowText(0).find_first_not_of(' '), std::string::npos) << "no message on success";
    EXPECT_EQ(CurrentMusicFile, WorkFile("music.mod"));
    EXPECT_TRUE(ProgramFolderFiles().empty()) << "nothing is written beside the program";
    const ResourceData* first = FindResource("music1");
    EXPECT_EQ(ReadFile(ModuleFile()), std::string(reinterpret_cast<const char*>(first->Data), first->Size));

    run_.Player.ToggleMusic();
    EXPECT_FALSE(MusicPlaying);
    run_.Player.ToggleMusic();
    EXPECT_TRUE(MusicPlaying);

    Down(2);
    memcon::PressEnter();  // the third track
    Down(3);
    memcon::PressEnter();
    PushBackstop();
    TrackMenu(run_);
    EXPECT_TRUE(BackstopUnread());
    EXPECT_TRUE(MusicPlaying);
    const ResourceData* third = FindResource("music3");
    EXPECT_EQ(ReadFile(ModuleFile()), std::string(reinterpret_cast<const char*>(third->Data), third->Size));

    // The switches come first, even with the library loaded.
    SilentMode = true;
    run_.Player.ToggleMusic();
    run_.Player.PlayTrack(run_.Issue, "music2");
    EXPECT_TRUE(MusicPlaying);
    EXPECT_EQ(ReadFile(ModuleFile()), std::string(reinterpret_cast<const char*>(third->Data), third->Size));
    SilentMode = false;
    MusicFailed = true;
    run_.Player.ToggleMusic();
    EXPECT_TRUE(MusicPlaying);
    MusicFailed = false;

    // A module file the library refuses leaves the music off; P tries again.
    run_.Player.ToggleMusic();
    std::ofstream(ModuleFile(), std::ios::binary | std::ios::trunc) << "not a module";
    run_.Player.ToggleMusic();
    EXPECT_FALSE(MusicPlaying);

    run_.Player.ReleaseMusic();
    EXPECT_FALSE(MusicPlaying);
    run_.Player.ToggleMusic();  // nothing is loaded any more: harmless
    EXPECT_TRUE(fs::remove(SoundLibraryFile));
}

// --- Files of the music that cannot be written ---------------------------------------

TEST_F(MusicTest, AModuleThatCannotBeWrittenOnlySwitchesTheMusicOff) {
    if (FindResource("music1") == nullptr || FindResource("music2") == nullptr)
        GTEST_SKIP() << "the issue's modules are not embedded yet";
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);

    // The file calls of a clean start, and of writing the first module
    // alone: the calls of the start that come before the module's.
    faults::Clear();
    run_.Player.LoadSoundLibrary(run_.Issue, "music1");
    ASSERT_FALSE(MusicFailed) << StartUpText();
    const std::uint64_t startCalls = faults::Calls();
    run_.Player.ReleaseMusic();
    faults::Clear();
    std::string error;
    ASSERT_TRUE(TryExtractResource("music1", ModuleFile().string(), error)) << error;
    const std::uint64_t moduleCalls = faults::Calls();
    ASSERT_LT(moduleCalls, startCalls);
    ClearScreen();

    // The disk is full from the module's first call on: the library loads,
    // the module cannot be written, the magazine goes on without music.
    fs::remove(ModuleFile());  // what a full disk still allows: the old file goes
    faults::Plan(startCalls - moduleCalls + 1, ENOSPC, faults::Mode::FromThenOn);
    run_.Player.LoadSoundLibrary(run_.Issue, "music1");
    faults::Clear();
    EXPECT_TRUE(MusicFailed);
    EXPECT_FALSE(MusicPlaying);
    EXPECT_EQ(StartUpText().find("Error loading DLL"), std::string::npos) << "the library itself loaded";
    EXPECT_NE(StartUpText().find("music.mod"), std::string::npos) << StartUpText();
    EXPECT_FALSE(fs::exists(ModuleFile())) << "nothing half written is left";

    // The track menu says why; its choices do nothing now, even with room
    // on the disk again.
    WatchTheLineUnderTheFrame();
    const uint32_t later = memcon::Now() + 500;
    memcon::PressEnter(later);  // the first track
    Down(1, later);
    memcon::PressEnter(later);  // the second
    Down(4, later);
    memcon::PressEnter(later);  // close
    PushBackstop(later);
    TrackMenu(run_);
    EXPECT_TRUE(BackstopUnread());
    EXPECT_EQ(underFrame_.rfind("music off: cannot write ", 0), 0u) << underFrame_;
    EXPECT_EQ(underFrame_.substr(79).find_first_not_of(' '), std::string::npos) << "cut to 79 columns";
    EXPECT_FALSE(fs::exists(ModuleFile()));
    EXPECT_FALSE(MusicPlaying);
    run_.Player.ToggleMusic();
    EXPECT_FALSE(MusicPlaying);
}

TEST_F(MusicTest, AFolderThatFillsDuringTheReadingSwitchesTheMusicOffInTheTrackMenu) {
    if (FindResource("music1") == nullptr || FindResource("music2") == nullptr)
        GTEST_SKIP() << "the issue's modules are not embedded yet";
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    run_.Player.LoadSoundLibrary(run_.Issue, "music1");
    ASSERT_FALSE(MusicFailed) << StartUpText();
    ASSERT_TRUE(MusicPlaying);

    // While the music is on the line under the frame stays as it was.
    WatchTheLineUnderTheFrame();
    WriteXY(1, 11, 0x22, std::string(80, '#'));
    const uint32_t soon = memcon::Now() + 500;
    memcon::PressEnter(soon);  // the first track again: room enough
    CloseFromTop(soon + 500);
    TrackMenu(run_);
    EXPECT_EQ(underFrame_, std::string(80, '#'));
    EXPECT_TRUE(MusicPlaying);

    // Then the folder is full: the chosen track fails, the music goes off
    // and the menu, still open, says why in the frame's light red.
    faults::Plan(1, ENOSPC, faults::Mode::FromThenOn);
    underFrame_.clear();
    const uint32_t later = memcon::Now() + 500;
    Down(1, later);
    memcon::PressEnter(later);  // the second track
    Down(4, later + 500);       // read once the choice has failed
    memcon::PressEnter(later + 500);
    PushBackstop(later + 500);
    TrackMenu(run_);
    faults::Clear();
    EXPECT_TRUE(BackstopUnread());
    EXPECT_TRUE(MusicFailed);
    EXPECT_FALSE(MusicPlaying);
    EXPECT_EQ(underFrame_.rfind("music off: cannot write ", 0), 0u) << underFrame_;
    EXPECT_EQ(underFrameAttr_, 0x0C) << "light red on black, as the frame's title";
    run_.Player.ToggleMusic();
    run_.Player.PlayTrack(run_.Issue, "music1");
    EXPECT_FALSE(MusicPlaying) << "off for the rest of the run";
}

TEST_F(MusicTest, ALibraryThatCannotBeWrittenIsALibraryThatCannotBeLoaded) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    faults::Plan(1, ENOSPC, faults::Mode::FromThenOn);
    run_.Player.LoadSoundLibrary(run_.Issue, "music1");
    faults::Clear();
    EXPECT_TRUE(MusicFailed);
    EXPECT_FALSE(MusicPlaying);
    EXPECT_EQ(memcon::RowText(0).substr(0, 17), "Error loading DLL");
    EXPECT_NE(StartUpText().find("soundlib"), std::string::npos) << StartUpText();
    EXPECT_FALSE(fs::exists(SoundLibraryFile));
    EXPECT_FALSE(fs::exists(ModuleFile()));

    WatchTheLineUnderTheFrame();
    CloseFromTop(memcon::Now() + 500);
    TrackMenu(run_);
    EXPECT_EQ(underFrame_.rfind("music off: Error loading DLL", 0), 0u) << underFrame_;
}

TEST_F(MusicTest, NothingIsSaidUnderTheFrameWithSilent) {
    SilentMode = true;
    WatchTheLineUnderTheFrame();
    WriteXY(1, 11, 0x22, std::string(80, '#'));
    memcon::PressEnter(500);
    CloseFromTop(1000);
    TrackMenu(run_);
    EXPECT_EQ(underFrame_, std::string(80, '#'));
}

}  // namespace

#ifdef TEST_MAGAZINE_DIR
TEST_F(MusicTest, TheMusicFollowsTheIssueTheReaderSwitchesTo) {
    std::string error;
    ASSERT_TRUE(run_.Magazine.Load(TEST_MAGAZINE_DIR, error) && run_.Magazine.Open(2, run_.Issue, error)) << error;
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    run_.Player.LoadSoundLibrary(run_.Issue, "music3");  // issue 2's track
    ASSERT_FALSE(MusicFailed) << memcon::RowText(0);
    EXPECT_EQ(CurrentMusicFile, WorkFile("issue2-music.mod"));

    run_.SwitchTo = 1;
    SwitchIssue(run_);
    EXPECT_TRUE(MusicPlaying);
    EXPECT_EQ(CurrentMusicFile, WorkFile("issue1-music.mod")) << "each issue's module has a file of its own";
    const std::string played = ReadFile(CurrentMusicFile);
    EXPECT_EQ(played, ReadFile(std::string(TEST_MAGAZINE_DIR) + "/issue-a/music2.xm"))
        << "issue 1's module, not issue 2's";
    // P stops the new track and starts it again: issue 1's still.
    run_.Player.ToggleMusic();
    run_.Player.ToggleMusic();
    EXPECT_TRUE(MusicPlaying);
    EXPECT_EQ(ReadFile(CurrentMusicFile), played);
}
#endif
