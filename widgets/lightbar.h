// The light-bar menu: a vertical list of items in a box with one highlighted
// item that ripples while the menu waits for a key.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/m_Console.h"

struct TBItem {
    std::string Text;
};

// Result codes of TBar::Run besides a chosen index.
constexpr int32_t BarEsc = -998;
constexpr int32_t BarBackspace = -997;
constexpr int32_t BarLeft = -996;
constexpr int32_t BarRight = -995;
constexpr int32_t BarPlus = -994;
constexpr int32_t BarMinus = -993;
constexpr int32_t BarStar = -992;
constexpr int32_t BarSlash = -991;

// Where the reader gets plain lines (conapi::ShowsPlainLines) the menu is a
// list instead: what the screen holds first, then each item as a line with
// a key before it (1 to 9, then the letters that are no hot key), then a
// prompt line. The item's key alone chooses it; Esc or 0 ends the run as Esc
// does; other keys reach OnKey as they do on the bar.
class TBar {
public:
    TBar() = default;
    virtual ~TBar() = default;

    void Add(const std::string& Text);
    int32_t Run(Byte X, Byte Y, Byte Width, Byte Rows, int32_t Start);

    int32_t Index = 0;
    std::string SelectedColour = "|23|00";
    std::string NormalColour = "|07|16";
    int32_t Count = 0;
    bool ShowMore = false;
    Byte MoreX = 1;
    Byte MoreY = 1;
    std::string MoreColour = "|08|16";
    bool SpecialKeys = false;
    std::string SearchText;
    bool ShowScrollBar = false;
    Byte ScrollTrackChar = 176;
    Byte ScrollThumbChar = 178;
    Byte ScrollTrackAttr = 8;
    Byte ScrollThumbAttr = 15;
    Byte AnimLowerAttr = 15;
    Byte AnimUpperAttr = 15;
    Byte SearchX = 0;
    Byte SearchY = 0;
    Byte SearchAttr = 7;
    int32_t SearchFrom = 0;
    std::vector<TBItem> Items;
    std::function<void(int32_t)> OnHighlight;
    std::function<void(int32_t)> OnSelect;
    std::function<void(char, int32_t)> OnKey;
    // Whether OnKey acts on a key; such a key is not searched for as well.
    std::function<bool(char)> IsHotKey;
    // Asked after OnKey: true ends the run at once as Esc does (the key
    // took the reader to another issue, whose menus the owner draws).
    std::function<bool()> Leaving;
    // Milliseconds without a key after which the ripple rests until the next
    // key; 0: it never rests.
    int32_t IdleRestMs = 0;
};

// The prompt line under a menu said as a list.
inline const std::string PlainMenuPrompt = "press the key of your choice (0 or esc goes back)";

// A menu item as a list says it: its colour codes gone, and the letters of
// a spaced-out label ("a r t i c l e s", "b b s  a r t  1") closed up into
// words ("articles", "bbs art 1").
std::string SaidLabel(const std::string& label);

// The keys of Count items said as a list: 1 to 9, then the letters a to z
// for which IsHotKey (if set) answers false, as lower and as upper case.
// Items beyond the keys there are get none.
std::string PlainMenuKeys(int count, const std::function<bool(char)>& isHotKey);
