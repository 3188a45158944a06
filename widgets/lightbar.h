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
    // Milliseconds without a key after which the ripple rests until the next
    // key; 0: it never rests.
    int32_t IdleRestMs = 0;
};
