// The loop every section menu runs (the main menu, articles, tutorials and
// the gallery): wipe the screen, draw the section's backdrop, run its light
// bar at its place, act on the choice, and again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/m_Console.h"
#include "issue/sections.h"
#include "widgets/lightbar.h"

struct MagazineRun;

struct SectionMenu {
    std::string Screen;  // backdrop resource; the mode's suffix is added
    std::vector<std::string> Labels;
    issue::BarColours AnsiColours;  // ASCII mode has one set for every menu
    issue::Pause Pause;             // the backdrop's, taken at every drawing
    issue::Box Box;
    // Where the menu is, as an address names it ("menu", "articles"), what
    // a reader calls it, and the name of each entry's place below it (""
    // for an entry that is no place: back, exit). Entry Leave leaves the
    // menu for the one above it (-1: there is none).
    std::string Place;
    std::string Title;
    std::vector<std::string> Keys;
    int32_t Leave = -1;
};

// What the viewer tells when a save was refused at Place: a line of the
// sysop's log.
std::function<void()> SaveRefusedLogger(MagazineRun& run, const std::string& place);

// The reader is at Place now, called Title: the console is told, and a place
// that was asked for is reached.
void EnterPlace(const MagazineRun& run, const std::string& place, const std::string& title);

// A place as an address names it: in a magazine of more than one issue with
// the open issue's number first ("2/articles/news").
std::string PlaceName(const MagazineRun& run, const std::string& place);

// Runs the menu until Choose answers false. A place the reader asks for
// (conapi::WantedPlace) is followed without the bar: into the entry on its
// way, or out through the Leave entry when it lies elsewhere. Choose gets every result of the
// bar: an entry's index or a negative code (Esc, Left, Right). The next run
// starts on the entry chosen, or on the first after a negative code. The
// colours and the backdrop follow the mode as it is when the menu begins.
void RunSectionMenu(MagazineRun& run, const SectionMenu& menu, const std::function<bool(int32_t)>& Choose);

// The light bar's colours for the mode in force: a menu's own in ANSI mode,
// the one set of every menu in ASCII mode.
issue::BarColours ModeColours(const issue::BarColours& ansi);

// The bar of a menu of the program: its labels, the mode's colours, the
// global hot keys.
void ConfigureBar(MagazineRun& run, TBar& bar, const std::vector<std::string>& labels, const issue::BarColours& ansi);

// A screen's pause interval: its own, or the display speed.
int32_t PauseOf(const issue::Pause& pause);
