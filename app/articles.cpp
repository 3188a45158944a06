#include "app/articles.h"

#include <algorithm>

#include "ansi/ansi_renderer.h"
#include "ansi/marker_runs.h"
#include "app/magazine_run.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "app/section_menu.h"
#include "console/m_Console.h"

std::vector<TCoord> HeaderFields;

namespace {

// When a header screen lacks the window's corner markers, the text is
// shown in the window the about page uses.
constexpr TCoord FallbackWindow{1, 5, 80, 17};

// The text window the header screen marks with its fourth and fifth runs.
// The last column's number is the width, as it is when the window starts
// in column 1; a header whose top-left marker stands further right would
// make a window that runs past the right edge of the screen (and scrolls
// it), so the width stops at the edge.
TCoord TextWindow() {
    if (HeaderFields.size() < 5) return FallbackWindow;
    const TCoord& topLeft = HeaderFields[3];
    const TCoord& bottomRight = HeaderFields[4];
    const Byte width = std::min(bottomRight.X, static_cast<Byte>(81 - topLeft.X));
    return TCoord{topLeft.X, topLeft.Y, width, static_cast<Byte>(bottomRight.Y - topLeft.Y)};
}

}  // namespace

void EntriesSection(MagazineRun& Run, const issue::Section& Section) {
    SectionMenu menu;
    menu.Screen = Section.Screen;
    menu.AnsiColours = Section.Colours;
    menu.Pause = Section.ScreenPause;
    menu.Box = Section.Menu;
    menu.Place = Section.Key;
    menu.Title = Section.Title;
    const std::vector<issue::Entry>& entries = Run.Issue.Contents.Entries(Section.List);
    for (const issue::Entry& entry : entries) {
        menu.Labels.push_back(entry.Label);
        menu.Keys.push_back(issue::ResourceOf(entry.Text));
    }
    menu.Labels.push_back("[ b a c k ]");
    menu.Keys.emplace_back();
    // "[ b a c k ]" follows the issue's entries.
    const int32_t backEntry = static_cast<int32_t>(entries.size());
    menu.Leave = backEntry;
    RunSectionMenu(Run, menu, [&](int32_t chosen) {
        if (chosen == backEntry) return false;
        if (chosen >= 0 && chosen < backEntry) {
            const issue::Entry& entry = entries[static_cast<std::size_t>(chosen)];
            const std::string resource = issue::ResourceOf(entry.Text);
            const std::string place = Section.Key + "/" + resource;
            EnterPlace(Run, place, entry.Title);
            Run.Log.Write("article: " + PlaceName(Run, place) + " (" + entry.Title + ")");
            OpenArticle(Run.Issue, resource, entry.Title, entry.Author, entry.Category, Section.HeaderPause,
                        ViewerPolicy(SaveRefusedLogger(Run, place)));
        }
        return true;
    });
}

void ArticlesSection(MagazineRun& Run) { EntriesSection(Run, *issue::Sections().Find("articles")); }

void TutorsSection(MagazineRun& Run) { EntriesSection(Run, *issue::Sections().Find("tutors")); }

void OpenArticle(const issue::Issue& Issue, const std::string& Resource, const std::string& Title,
                 const std::string& Author, const std::string& Category, int32_t PauseInterval,
                 const ViewerSettings& Settings) {
    const std::string_view text = ResourceContent(Issue, Resource);
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(ResourceContent(Issue, "article_hdr" + AsciiSuffix), PauseInterval);
    MarkWhatTheLineLacks();
    ScanHeaderFields('!', ' ');
    WriteHeaderField(0, Title);
    WriteHeaderField(1, Author);
    WriteHeaderField(2, Category);
    const TCoord window = TextWindow();
    ViewText(text, window.X, window.Y, window.Width, window.Height, Settings);
}

void ScanHeaderFields(char Marker, char Replacement) {
    // The runs as the checker finds them, each marker then replaced in its
    // run's attribute (the scan reads every cell once, so replacing after
    // the reading changes nothing it sees).
    HeaderFields = FindMarkerRuns(Marker);
    for (const TCoord& run : HeaderFields) {
        int col = run.X, row = run.Y;
        for (int i = 0; i < run.Height; ++i) {
            WriteXY(col, row, run.Width, std::string(1, Replacement));
            if (++col > 80) col = 1, ++row;
        }
    }
}

void WriteHeaderField(int Index, const std::string& Text) {
    if (Index < 0 || Index >= static_cast<int>(HeaderFields.size())) return;
    const TCoord& field = HeaderFields[static_cast<std::size_t>(Index)];
    // In a field record: X column, Y row, Width attribute, Height length.
    if (field.Height == 1)
        WriteXY(field.X, field.Y, field.Width, Text);
    else
        WriteXY(field.X, field.Y, field.Width, PadRight(Text, field.Height, '\0'));
}

void ClearHeaderFields() { HeaderFields.clear(); }
