#include "app/articles.h"

#include <algorithm>

#include "ansi/ansi_renderer.h"
#include "app/issue.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "app/section_menu.h"
#include "console/m_Console.h"

std::vector<TCoord> HeaderFields;

namespace {

// What makes a section of the shared section menu.
struct SectionSettings {
    std::string ScreenResource;  // base name; the mode's suffix is appended
    std::string Place;           // as an address names it
    std::string Title;
    BarColours AnsiColours;
    int32_t HeaderPause;
    const std::vector<ArticleEntry>& Entries;  // from the manifest
};

// When a header screen lacks the window's corner markers, the text is
// shown in the window the about page uses.
constexpr TCoord FallbackWindow{1, 5, 80, 17};

void RunSection(const SectionSettings& section) {
    SectionMenu menu{section.ScreenResource,
                     {},
                     section.AnsiColours,
                     [] { return 5000; },
                     18,
                     14,
                     44,
                     7,
                     section.Place,
                     section.Title,
                     {},
                     -1};
    for (const ArticleEntry& entry : section.Entries) {
        menu.Labels.push_back(entry.Label);
        menu.Keys.push_back(entry.Resource);
    }
    menu.Labels.push_back("[ b a c k ]");
    menu.Keys.emplace_back();
    // "[ b a c k ]" follows the entries.
    const int32_t backEntry = static_cast<int32_t>(section.Entries.size());
    menu.Leave = backEntry;
    RunSectionMenu(menu, [&](int32_t chosen) {
        if (chosen == backEntry) return false;
        if (chosen >= 0 && chosen < backEntry) {
            const ArticleEntry& entry = section.Entries[static_cast<std::size_t>(chosen)];
            EnterPlace(section.Place + "/" + entry.Resource, entry.Title);
            OpenArticle(entry.Resource, entry.Title, entry.Author, entry.Category, section.HeaderPause);
        }
        return true;
    });
}

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

void ArticlesSection() {
    RunSection({"articles", "articles", "articles", {"|10|16", "|02|16", 10}, 5000, ArticleEntries});
}

void TutorsSection() { RunSection({"tutors", "tutors", "tutorials", {"|12|16", "|04|16", 12}, 10000, TutorEntries}); }

void OpenArticle(const std::string& Resource, const std::string& Title, const std::string& Author,
                 const std::string& Category, int32_t PauseInterval) {
    const std::string_view text = ResourceContent(Resource);
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(ResourceContent("article_hdr" + AsciiSuffix), PauseInterval);
    ScanHeaderFields('!', ' ');
    WriteHeaderField(0, Title);
    WriteHeaderField(1, Author);
    WriteHeaderField(2, Category);
    const TCoord window = TextWindow();
    ViewText(text, window.X, window.Y, window.Width, window.Height, ViewerPolicy());
}

void ScanHeaderFields(char Marker, char Replacement) {
    HeaderFields.clear();
    bool inRun = false;
    // The run flag is kept across the end of a row: a run reaching column
    // 80 goes on at column 1 of the next row.
    for (int row = 1; row <= 25; ++row)
        for (int col = 1; col <= 80; ++col) {
            if (CharAt(col, row) != Marker) {
                inRun = false;
                continue;
            }
            if (inRun) {
                ++HeaderFields.back().Height;
            } else {
                HeaderFields.push_back(TCoord{static_cast<Byte>(col), static_cast<Byte>(row), AttrAt(col, row), 1});
                inRun = true;
            }
            WriteXY(col, row, HeaderFields.back().Width, std::string(1, Replacement));
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
