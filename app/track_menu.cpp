// The track menu (hot keys T and M): the issue's tracks in a frame of its
// own over whatever is on screen.

#include "app/track_menu.h"

#include "app/magazine_run.h"
#include "app/program.h"
#include "app/resources.h"
#include "app/public_mode.h"
#include "app/section_menu.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "music/music.h"
#include "widgets/lightbar.h"

// The frame is block art in the reds of the magazine, its title on the first
// row; the menu sits in its plain red field from column 6, row 2.
const std::array<std::string, 10> TrackFrameRows = {
    "|04\xDB\xDB|12|20\xDB\xDB\xDB\xB2\xB1\xB0|00  |12Tracks...|00                     "
    "|04\xDC\xDC\xDB\xDC|15\xB0|04     |12\xB2\xDF|04|16\xDB|07 \xB0|04 |07 ",

    "|04\xB2\xDB|12|20\xDB|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|20\xDB\xDB\xDC\xDB\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC  \xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|00 |04\xDB\xDB\xDB\xDB |12\xB2|04|16\xDB\xDB|07 \xB2\xB0",

    "|04\xB2\xDB|12|20\xDB|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB|00|20         "
    "|04\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|00 |04\xDB\xDB\xDB\xDB\xDC|12\xB0|04|16\xDB\xDB|07 \xDB\xB2",

    "|04\xB1\xDB\xDB\xDB\xDB|00|20                                              "
    "|04|16\xDB\xDB|07 \xDF\xDB",

    "|04\xB0\xDB\xDB\xDB\xDB\xDB|00|20                            "
    "|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDF"
    "|07 \xDB|15|23\xB0|16\xB0",

    "|04\xB0\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|00|20 |04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|12|20\xDB|04|16\xDB|07 \xDB\xDB\xDB",

    "|12 |00|20                                  "
    "|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|12|20\xB0\xB1\xB2\xDB\xDF|04|16\xDB|07 \xDB\xDB",

    "|12 |00|20             "
    "|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDF\xDF\xDF\xDF"
    "|07 \xDC\xDB\xDB",

    "|04 |07\xDC\xDC\xDC\xDC|15\xDC|07\xDC\xDC\xDC\xDC|15\xDC\xDC|07\xDC\xDC|15\xDC"
    "|07\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC"
    "\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC"
    "\xDB\xDB\xDB\xDB\xDF\xDF ",

    "\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF|15\xDF\xDF|07\xDF\xDF\xDF|15\xDF"
    "|07\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF"
    "\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF",
};

namespace {


// The line under the frame that says why the music is off, in the frame's
// light red; one column short of the row so that it never reaches the edge.
constexpr int ReasonRow = 11;
constexpr uint8_t ReasonAttr = 12;
constexpr std::size_t ReasonWidth = 79;

// Says why the music is off: on a line that carries no sound (a board's
// caller, a reader far away), where music plays at all; when a failure
// switched it off, the failure. Nothing while it is on or with --silent.
void DrawMusicOffReason(const Music& music) {
    if (!MusicAllowed()) {
        WriteXY(1, ReasonRow, ReasonAttr, NoSoundOnLine.substr(0, ReasonWidth));
        return;
    }
    if (!MusicFailed || music.OffReason().empty()) return;
    WriteXY(1, ReasonRow, ReasonAttr, ("music off: " + music.OffReason()).substr(0, ReasonWidth));
}

// Keeps the global hot keys T, M and H shut while the track menu is up,
// also when the menu is left by an exception.
class TrackMenuFlag {
public:
    TrackMenuFlag() { TrackMenuOpen = true; }
    ~TrackMenuFlag() { TrackMenuOpen = false; }
    TrackMenuFlag(const TrackMenuFlag&) = delete;
    TrackMenuFlag& operator=(const TrackMenuFlag&) = delete;
};

void RunTrackChoices(MagazineRun& run) {
    const issue::OverlayMenuTable& tracks = issue::Sections().Tracks;
    const std::vector<issue::Track>& list = run.Issue.Contents.Tracks;
    TBar bar;
    // The issue's tracks, then "[ c l o s e ]".
    std::vector<std::string> labels;
    for (const issue::Track& track : list) labels.push_back(track.Label);
    labels.push_back(tracks.CloseLabel);
    ConfigureBar(run, bar, labels, tracks.Colours);
    // The track menu keeps its reds in either mode.
    bar.SelectedColour = tracks.Colours.Selected;
    bar.NormalColour = tracks.Colours.Normal;
    bar.AnimLowerAttr = bar.AnimUpperAttr = tracks.Colours.Anim;

    const int32_t closeEntry = static_cast<int32_t>(list.size());
    int32_t entry = 0;
    for (;;) {
        // Esc, Left and Right leave negative codes: start over at the top.
        if (entry < 0 || entry > closeEntry + 1) entry = 0;
        const issue::Box& box = tracks.Menu;
        entry = bar.Run(static_cast<Byte>(box.Column), static_cast<Byte>(box.Row), static_cast<Byte>(box.Width),
                        static_cast<Byte>(box.Rows), entry);
        // A place the reader asked for closes the menu as its last entry does.
        if (entry == closeEntry || !conapi::WantedPlace().empty()) return;
        if (entry >= 0 && entry < closeEntry) {
            run.Player.PlayTrack(run.Issue, issue::ResourceOf(list[static_cast<std::size_t>(entry)].Module));
            DrawMusicOffReason(run.Player);  // the choice may have switched the music off
        }
    }
}

}  // namespace

void DrawTrackFrame() {
    for (std::size_t row = 0; row < TrackFrameRows.size(); ++row) {
        WriteXYPipe(1, static_cast<int>(row) + 1, 7, TrackFrameRows[row]);
        if (!conapi::ShowsPlainLines()) Delay(10);  // plain lines say the frame once it stands
    }
}

void TrackMenu(MagazineRun& Run) {
    {
        TrackMenuFlag open;
        DrawTrackFrame();
        DrawMusicOffReason(Run.Player);
        RunTrackChoices(Run);
    }
    SetTextColor(7);
    ClearScreen();
    ShowCurrentScreen(Run.Issue, 10000);
}
