// Framed boxes with a raised or sunken look, and the raised panel.
#pragma once

#include <array>
#include <string>

#include "console/m_Console.h"

// Eight frame character sets (index 1..8; index 0 unused): top-left, top,
// top-right, left, right, bottom-left, bottom, bottom-right.
extern const std::array<std::string, 9> FrameStyles;

class TMenuBox {
public:
    TMenuBox() = default;
    virtual ~TMenuBox() = default;

    void Draw(Byte X1, Byte Y1, Byte X2, Byte Y2);

    TScreenImage Background{};
    Byte FrameStyle = 6;
    Byte LightAttr = 0x7F;
    bool TwoTone = true;
    Byte DarkAttr = 0x78;
    Byte BottomLeftAttr = 0x7F;
    Byte TopRightAttr = 0x78;
    bool Shadow = true;
    Byte ShadowAttr = 0;
    Byte TitleAttr = 0x1F;
    Byte TitleAlign = 0;
    std::string Title;
    bool Saved = false;
    bool Sunken = false;
};

void DrawPanel(Byte X1, Byte Y1, Byte X2, Byte Y2, Byte Color);

// A framed notice in the dialogs' place (columns 15 to 67, rows 12 to 16):
// Title on the frame, Message on its first row and a prompt to press a key
// two rows below. Waits for a key and gives back what was under it.
void ShowNotice(const std::string& Title, const std::string& Message);
