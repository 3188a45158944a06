// The loop every section menu runs (the main menu, articles, tutorials and
// the gallery): wipe the screen, draw the section's backdrop, run its light
// bar at its place, act on the choice, and again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/m_Console.h"

// The bar's colours in ANSI mode; ASCII mode has one set for every menu.
struct BarColours {
    std::string Selected;
    std::string Normal;
    Byte Anim = 15;
};

struct SectionMenu {
    std::string Screen;  // backdrop resource; the mode's suffix is added
    std::vector<std::string> Labels;
    BarColours AnsiColours;
    std::function<int32_t()> Pause;  // the backdrop's pause interval, asked at every drawing
    Byte X = 1, Y = 1, Width = 1, Rows = 1;
    // Where the menu is, as an address names it ("menu", "articles"), what
    // a reader calls it, and the name of each entry's place below it (""
    // for an entry that is no place: back, exit). Entry Leave leaves the
    // menu for the one above it (-1: there is none).
    std::string Place;
    std::string Title;
    std::vector<std::string> Keys;
    int32_t Leave = -1;
};

// The reader is at Place now, called Title: the console is told, and a place
// that was asked for is reached.
void EnterPlace(const std::string& place, const std::string& title);

// Runs the menu until Choose answers false. A place the reader asks for
// (conapi::WantedPlace) is followed without the bar: into the entry on its
// way, or out through the Leave entry when it lies elsewhere. Choose gets every result of the
// bar: an entry's index or a negative code (Esc, Left, Right). The next run
// starts on the entry chosen, or on the first after a negative code. The
// colours and the backdrop follow the mode as it is when the menu begins.
void RunSectionMenu(const SectionMenu& menu, const std::function<bool(int32_t)>& Choose);
