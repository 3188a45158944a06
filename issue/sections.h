// The magazine's sections as one table (issue/sections.toml, built into
// the program): each section's menu box, labels, place, screens and the
// list of the manifest it shows, and the main menu, the track menu and the
// back issues beside them. The menus take their places from it, the
// manifest reader its limits (a label must fit its menu's width, a list its
// rows), the checker the screens every issue has and the areas a backdrop
// must leave blank, and the screen generator where to leave them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace issue {

// A menu's box: its top-left corner (1-based), width and rows. The last row
// of a list's box holds "[ b a c k ]" or "[ c l o s e ]", so a list has room
// for Rows - 1 entries of the issue.
struct Box {
    int Column = 1, Row = 1, Width = 1, Rows = 1;

    constexpr int Right() const { return Column + Width - 1; }
    constexpr int Bottom() const { return Row + Rows - 1; }
    constexpr std::size_t MaxEntries() const { return static_cast<std::size_t>(Rows > 1 ? Rows - 1 : 0); }
};

// The light bar's colours in ANSI mode: the lit entry, the others (pipe-code
// prefixes) and the ripple's attribute.
struct BarColours {
    std::string Selected;
    std::string Normal;
    uint8_t Anim = 15;
};

// A screen's pause interval: a number, or the reader's display speed.
struct Pause {
    int32_t Interval = 0;
    bool Display = false;
};

enum class SectionKind {
    Entries,  // a list of texts, each opened under the header screen
    Gallery,  // the artworks
    Page,     // a framed page: a frame screen and a text in its window
};

struct Section {
    std::string Key;    // its place, as an address names it ("articles")
    std::string Label;  // its entry in the main menu
    std::string Title;  // what a reader calls it
    SectionKind Kind = SectionKind::Entries;
    std::string List;    // the manifest's list it shows ("article")
    std::string Screen;  // its backdrop or frame screen
    bool Twin = true;    // the screen has a plain-ASCII twin
    std::string Text;    // a page's text
    Box Menu;            // an entries section's or the gallery's menu
    Box Window;          // a page's text window: column, row, width, rows below the first
    BarColours Colours;
    Pause ScreenPause;
    int32_t HeaderPause = 5000;           // the header screen of an entry
    std::vector<std::string> LevelTags;   // one of them begins every label
    std::string AsciiRefusal;             // told, in ASCII mode, instead of opening
};

// A screen every issue has beside its sections' own.
struct FixedScreen {
    std::string Name;
    bool Twin = true;
};

struct MainMenuTable {
    std::string Screen, Place, ExitLabel;
    Box Menu;
    BarColours Colours;
    Pause ScreenPause;
    int MessageRow = 22, MessageFirst = 12, MessageLast = 70;
};

struct OverlayMenuTable {
    std::string List;   // the tracks' manifest list
    std::string Place;  // the back issues' place
    std::string Title;
    Box Menu;
    BarColours Colours;
    std::string CloseLabel;
};

struct SectionTable {
    std::vector<FixedScreen> Screens;
    MainMenuTable Main;
    std::vector<Section> Sections;
    OverlayMenuTable Tracks;
    OverlayMenuTable BackIssues;

    // The section of Key, or of the manifest's list List; null when none.
    const Section* Find(std::string_view key) const;
    const Section* OfList(std::string_view list) const;
};

// Reads the table from Text (TOML). Answers false with one line in Error
// ("sections.toml:LINE: what is wrong").
bool ReadSectionTable(std::string_view text, SectionTable& table, std::string& error);

// The table built into the program, read when first asked for.
const SectionTable& Sections();

// The table's own text, as it was built in.
std::string_view SectionTableText();

}  // namespace issue
