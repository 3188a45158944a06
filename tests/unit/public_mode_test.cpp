// The public reading mode (QUIXMAG_PUBLIC): which variables switch music and
// saving off, and the notice that answers the save keys of the viewer and
// the gallery instead of the dialog.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/gallery.h"
#include "app/program.h"
#include "app/resources.h"
#include "app/track_menu.h"
#include "app/public_mode.h"
#include "app_fixture.h"
#include "console/con_memory.h"
#include "viewer/text_viewer.h"
#include "widgets/lightbar.h"

namespace {

using apptest::FillScreen;
using apptest::ReadFile;
using apptest::WriteFile;

const std::string Notice = "saving is off on this board";

// Sets (or with nullopt removes) an environment variable for the lifetime of
// the object and puts the old value back after.
class EnvVar {
public:
    EnvVar(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~EnvVar() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Whether Text is shown anywhere on the screen.
bool Shown(const std::string& text) {
    for (int y = 0; y < 25; ++y)
        if (memcon::RowText(y).find(text) != std::string::npos) return true;
    return false;
}

// --- The switches ---------------------------------------------------------------------

struct Environment {
    std::optional<std::string> publicValue, sshConnection;
    bool music, saving;
};

class PublicSwitches : public ::testing::TestWithParam<Environment> {};

TEST_P(PublicSwitches, DecideMusicAndSaving) {
    const Environment& e = GetParam();
    EnvVar pub("QUIXMAG_PUBLIC", e.publicValue);
    EnvVar ssh("SSH_CONNECTION", e.sshConnection);
    EXPECT_EQ(MusicAllowed(), e.music);
    EXPECT_EQ(SavingAllowed(), e.saving);
    // What the program hands down to the viewer and the light bars.
    EXPECT_EQ(ViewerPolicy().SavingOffNotice, e.saving ? "" : Notice);
    EXPECT_EQ(BarIdleRestMs(), e.saving ? 0 : 60000) << "a board's bars rest after a minute without a key";
}

const std::string Remote = "127.0.0.1 50000 127.0.0.1 22";

INSTANTIATE_TEST_SUITE_P(PublicMode, PublicSwitches,
                         ::testing::Values(Environment{std::nullopt, std::nullopt, true, true},  // nothing changes
                                           Environment{"", std::nullopt, true, true},            // set but empty
                                           Environment{"0", std::nullopt, true, true},           // switched off
                                           Environment{"1", std::nullopt, false, false},         // a board
                                           Environment{"yes", std::nullopt, false, false},       // mistyped: stays safe
                                           Environment{std::nullopt, Remote, false,
                                                       true},  // remote reader keeps saving
                                           Environment{"1", Remote, false, false}));

// --- The viewer's Ctrl+S -------------------------------------------------------------------

class PublicViewer : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        FillScreen('#', 0x22);
        std::string text;
        for (int i = 0; i < 40; ++i) text += "line" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "\n";
        WriteFile(dir_ / "text.txt", text);
    }
    // Views the text in the whole screen but its last row, with the viewer
    // settings the program hands down in this environment.
    bool View() {
        try {
            ViewTextFile(dir_ / "text.txt", 1, 1, 80, 23, ViewerPolicy());
        } catch (const memcon::InputExhausted&) {
            return false;
        }
        return true;
    }

    apptest::TempDir dir_;
    apptest::TempDir work_;
    apptest::WorkingDir cwd_{work_.Path()};
};

TEST_F(PublicViewer, CtrlSShowsTheNoticeInsteadOfTheDialog) {
    EnvVar pub("QUIXMAG_PUBLIC", "1");
    memcon::PressCtrl('s');
    EXPECT_FALSE(View()) << "the notice waits for a key";
    EXPECT_TRUE(Shown(Notice));
    EXPECT_FALSE(Shown("Enter Filename:"));
    EXPECT_FALSE(Shown("Save Article"));
}

TEST_F(PublicViewer, NoticeGoesWithAKeyAndGivesTheTextBack) {
    EnvVar pub("QUIXMAG_PUBLIC", "1");
    const auto screen = [] {
        std::vector<std::string> rows;
        for (int y = 1; y <= 25; ++y) rows.push_back(Row(y));
        return rows;
    };
    EXPECT_FALSE(View());
    const std::vector<std::string> page = screen();
    ASSERT_EQ(page[0].substr(0, 6), "line00");

    memcon::PressCtrl('s');
    memcon::TypeText("q");
    EXPECT_FALSE(View());
    EXPECT_EQ(screen(), page) << "the notice is gone and the page is whole again";

    memcon::PressCtrl('s');
    memcon::TypeText("q");
    memcon::PressExtended(80);  // Down
    EXPECT_FALSE(View());
    EXPECT_EQ(Row(1).substr(0, 6), "line01") << "the viewer still scrolls";
}

TEST_F(PublicViewer, KeysTypedAsIfTheDialogWereThereWriteNothing) {
    EnvVar pub("QUIXMAG_PUBLIC", "1");
    // A reader who types a name blind: the first letter closes the notice,
    // the rest are viewer keys, and Enter leaves the viewer.
    memcon::PressCtrl('s');
    memcon::TypeText("out.txt");
    memcon::PressEnter();
    memcon::TypeText("y");
    EXPECT_TRUE(View()) << "Enter left the viewer";
    EXPECT_EQ(dir_.Files(), std::vector<std::string>{"text.txt"});
    EXPECT_TRUE(work_.Files().empty());
}

TEST_F(PublicViewer, RemoteReaderWithoutThePublicModeGetsTheDialog) {
    EnvVar pub("QUIXMAG_PUBLIC", std::nullopt);
    EnvVar ssh("SSH_CONNECTION", "127.0.0.1 50000 127.0.0.1 22");
    memcon::PressCtrl('s');
    memcon::TypeText(dir_ / "copy.txt");
    memcon::PressEnter();
    memcon::TypeText("y");
    EXPECT_FALSE(View());
    EXPECT_FALSE(Shown(Notice));
    EXPECT_EQ(ReadFile(dir_ / "copy.txt").substr(0, 16), "line00\r\nline01\r\n");
}

// --- The gallery's E ---------------------------------------------------------------------

constexpr uint32_t Gap = 10000;  // longer than a wipe and a drawing

class PublicGallery : public apptest::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (FindResource("ansi") == nullptr || FindResource("art1") == nullptr)
            GTEST_SKIP() << "the gallery is not there yet";
    }
    uint32_t Next() { return at_ += Gap; }
    void ChooseFirst() { memcon::PressEnter(Next()); }
    void ChooseLast() {
        const uint32_t at = Next();
        memcon::PressExtended(79, 0, at);  // End
        memcon::PressEnter(at);
    }
    void Type(const std::string& text) { memcon::TypeText(text, Next()); }

    apptest::Watchdog watchdog_{std::chrono::seconds(30)};
    uint32_t at_ = 0;
};

TEST_F(PublicGallery, EShowsTheNoticeOverTheArtwork) {
    EnvVar pub("QUIXMAG_PUBLIC", "1");
    ChooseFirst();
    Type("e");
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted) << "the notice waits for a key";
    EXPECT_TRUE(Shown(Notice));
    EXPECT_FALSE(Shown("f i l e n a m e :"));
}

TEST_F(PublicGallery, AfterTheNoticeTheGalleryGoesOnAndNothingIsWritten) {
    EnvVar pub("QUIXMAG_PUBLIC", "1");
    ChooseFirst();
    Type("e");
    Type("y");  // closes the notice; a YES meant for a dialog does nothing
    ChooseLast();
    GallerySection(run_);
    EXPECT_TRUE(program_.Files().empty());
    EXPECT_TRUE(work_.Files().empty());
}

TEST_F(PublicGallery, WithoutTheVariableEStillOpensTheDialog) {
    EnvVar pub("QUIXMAG_PUBLIC", "0");
    EnvVar ssh("SSH_CONNECTION", "127.0.0.1 50000 127.0.0.1 22");
    ChooseFirst();
    Type("e");
    EXPECT_THROW(GallerySection(run_), memcon::InputExhausted);
    EXPECT_FALSE(Shown(Notice));
    EXPECT_TRUE(Shown("f i l e n a m e :"));
}

// --- The light bar goes quiet --------------------------------------------------------------

class PublicBar : public ConsoleTest {
protected:
    // Cell writes of a bar that waits five minutes for its Enter: each
    // ripple step writes its letter. The bar rests as the program's policy
    // for this environment says.
    static uint64_t WritesWaitingFiveMinutes() {
        TBar bar;
        bar.IdleRestMs = BarIdleRestMs();
        bar.Add("first entry");
        bar.Add("second entry");
        memcon::PressEnter(memcon::Now() + 5 * 60 * 1000);
        const uint64_t before = memcon::WriteCalls();
        EXPECT_EQ(bar.Run(10, 5, 20, 2, 1), 1) << "the waiting bar still takes its key";
        return memcon::WriteCalls() - before;
    }
};

TEST_F(PublicBar, RippleRestsOnABoardSoThatAnIdleReaderGoesQuiet) {
    uint64_t local = 0, board = 0;
    {
        EnvVar pub("QUIXMAG_PUBLIC", std::nullopt);
        local = WritesWaitingFiveMinutes();
    }
    {
        EnvVar pub("QUIXMAG_PUBLIC", "1");
        board = WritesWaitingFiveMinutes();
    }
    EXPECT_GT(local, 4000u) << "a ripple step every 60 ms for five minutes";
    EXPECT_LT(board * 2, local) << "on a board the ripple stopped well before the key came";
    EXPECT_GT(board, 0u) << "it rippled for a while first";
}

}  // namespace

// --- What a line without sound or saving shows ---------------------------------------

// The three kinds of line: the reader's own machine, a reader far away
// (music off, saving on), a board's caller (both off).
struct Line {
    const char* name;
    std::optional<std::string> publicMode;
    std::optional<std::string> ssh;
    bool music;
    bool saving;
};
const Line Lines[] = {
    {"own machine", std::nullopt, std::nullopt, true, true},
    {"over ssh", std::nullopt, "127.0.0.1 50000 127.0.0.1 22", false, true},
    {"a board's caller", "1", std::nullopt, false, false},
};

using LineLacks = apptest::ProgramTest;

TEST_F(LineLacks, TheScreensOffersAreSaidOnlyWhereTheLineKeepsThem) {
    // The offers as the issue's own screens make them.
    for (const Line& line : Lines) {
        EnvVar pub("QUIXMAG_PUBLIC", line.publicMode);
        EnvVar ssh("SSH_CONNECTION", line.ssh);
        ShowResourceScreen(run_.Issue, "menu");
        EXPECT_EQ(Shown("now playing"), line.music) << line.name;
        EXPECT_EQ(Shown("t picks another tune"), line.music) << line.name;
        ShowResourceScreen(run_.Issue, "menu_asc");
        EXPECT_EQ(Shown("now playing"), line.music) << line.name << ", ascii";
        ShowResourceScreen(run_.Issue, "help");
        EXPECT_EQ(Shown("save the text"), line.saving) << line.name;
        ShowResourceScreen(run_.Issue, "article_hdr");
        EXPECT_EQ(Shown("ctrl+s save"), line.saving) << line.name;
        ShowResourceScreen(run_.Issue, "ansi");
        EXPECT_EQ(Shown("saves a copy"), line.saving) << line.name;
        EXPECT_EQ(Shown("views a piece"), true) << line.name << ": the rest of the line stays";
    }
}

TEST_F(LineLacks, TheTrackMenuSaysWhereMusicPlaysOnALineWithoutSound) {
    for (const Line& line : Lines) {
        EnvVar pub("QUIXMAG_PUBLIC", line.publicMode);
        EnvVar ssh("SSH_CONNECTION", line.ssh);
        SilentMode = true;  // no sound library here either way
        // The menu ripples on without a key: five seconds of it will do.
        memcon::OnClockMoved([] {
            if (memcon::Now() > 5000) throw memcon::InputExhausted();
        });
        EXPECT_THROW(TrackMenu(run_), memcon::InputExhausted) << line.name;
        EXPECT_EQ(Shown("own machine"), !line.music) << line.name;
        EXPECT_FALSE(Shown("now playing")) << line.name;
        memcon::Reset();
    }
}

TEST_F(LineLacks, TheViewersHelpAndTheGallerysPromptOfferSavingOnlyWhereItIsOn) {
    for (const Line& line : Lines) {
        EnvVar pub("QUIXMAG_PUBLIC", line.publicMode);
        EnvVar ssh("SSH_CONNECTION", line.ssh);
        memcon::PressFunction(1);
        EXPECT_THROW(ViewText("some text\r\n", 1, 5, 80, 17, ViewerPolicy()), memcon::InputExhausted);
        EXPECT_EQ(Shown("Save file to disk"), line.saving) << line.name;
        EXPECT_TRUE(Shown("CTRL + S")) << line.name << ": the key is still named";

        if (FindResource("art1") == nullptr) continue;
        memcon::PressEnter(memcon::Now() + 10000);  // the gallery's first piece
        EXPECT_THROW(GallerySection(run_), memcon::InputExhausted);
        EXPECT_EQ(Shown("e x t r a c t"), line.saving) << line.name;
        EXPECT_TRUE(Shown("k e y  t o  c o n t i n u e")) << line.name;
    }
}
