// The screen object: an 80x25 (or 80x50) console with a cursor, a current
// attribute and a shadow copy of what the character writer wrote. It talks to
// the console only through whole-cell operations (conapi.h), so no control
// character or escape sequence is ever interpreted by the console; the
// character writer decides what CR, LF and BS do.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/conapi.h"

using Byte = uint8_t;

// A saved rectangle of the screen, with cursor and attribute.
struct TScreenImage {
    std::array<conapi::Cell, 4000> Data{};
    Byte CursorX = 0;
    Byte CursorY = 0;
    Byte Attr = 0;
    Byte X1 = 0;
    Byte X2 = 0;
    Byte Y1 = 0;
    Byte Y2 = 0;
};

class TOutputWindows {
public:
    explicit TOutputWindows(bool active);
    virtual ~TOutputWindows() = default;
    TOutputWindows(const TOutputWindows&) = delete;
    TOutputWindows& operator=(const TOutputWindows&) = delete;

    void SetScreenSize(Byte rows);
    void GotoXY(int x, int y);
    Byte WhereX() const;
    Byte WhereY() const;
    void ClearScreen();
    void WriteChar(char ch);
    void WriteStr(const std::string& text);
    // WriteStr of text that need not be a string (and is not cut).
    void WriteText(std::string_view text);
    void WriteLine(const std::string& text);
    void WriteXY(int x, int y, Byte attr, const std::string& text);
    void WriteXYPipe(int x, int y, Byte attr, int width, const std::string& text);
    // Count cells as they are (a piece's own colours and glyphs beyond 255
    // kept), from column X of row Y, without moving the cursor.
    void WriteCells(int x, int y, const conapi::Cell* cells, int count) { WriteRow(x, y, cells, count); }
    void WritePipe(const std::string& text);
    void SetTextAttr(Byte attr);
    void ScrollUp();
    void SaveRegion(int x1, int y1, int x2, int y2, TScreenImage& image);
    void RestoreRegion(TScreenImage image);
    Byte AttrAt(int x, int y) const;
    // The shadow buffer's character at 0-based column/row (for CharAt).
    char ShadowChar(int col, int row) const;
    void FlushOutput();

    conapi::Coord Cursor{};
    Byte ScreenSize = 25;
    bool Active = true;
    Byte TextAttr = 7;
    std::array<conapi::Cell, 80 * 50> Buffer{};
    conapi::Rect Window{0, 0, 79, 24};

private:
    void MoveConsoleCursor();
    // How many of the Count characters at Text WriteChar would simply put
    // in a row and step past: no CR, LF or BS, and none in the last column.
    int InnerSpan(const char* text, std::size_t count) const;
    void WriteRow(int x, int y, const conapi::Cell* cells, int count);
};
