#include "console/m_Output_Windows.h"

#include <algorithm>

#include "console/m_Console.h"

using conapi::Cell;
using conapi::Coord;
using conapi::Rect;

namespace {

constexpr int BufferCols = 80;
constexpr int BufferRows = 50;

Cell MakeCell(char ch, uint16_t attr) { return Cell{static_cast<uint16_t>(static_cast<unsigned char>(ch)), attr}; }

}  // namespace

TOutputWindows::TOutputWindows(bool active) : Active(active) {
    const int16_t rows = conapi::BufferRows();
    if (rows == 25 || rows == 50) {
        ScreenSize = static_cast<Byte>(rows);
    } else {
        ScreenSize = 0;  // forces the resize below
        SetScreenSize(25);
    }
    if (Active) conapi::SetCursorInfo(15, true);
    Window = Rect{0, 0, 79, static_cast<int16_t>(ScreenSize - 1)};
    TextAttr = 7;
    ClearScreen();
}

void TOutputWindows::SetScreenSize(Byte rows) {
    if (rows == ScreenSize || (rows != 25 && rows != 50)) return;
    Window = Rect{0, 0, 79, static_cast<int16_t>(rows - 1)};
    if (Active) {
        // The buffer size is set on both sides of the window change: a
        // console refuses a window larger than its buffer and a buffer
        // smaller than its window.
        conapi::SetBufferSize(Coord{80, static_cast<int16_t>(rows)});
        conapi::SetWindow(Window);
        conapi::SetBufferSize(Coord{80, static_cast<int16_t>(rows)});
    }
    ScreenSize = rows;
}

void TOutputWindows::MoveConsoleCursor() {
    if (Active) conapi::SetCursorPosition(Cursor);
}

void TOutputWindows::GotoXY(int x, int y) {
    Cursor.X = static_cast<int16_t>(std::clamp(x - 1, static_cast<int>(Window.Left), static_cast<int>(Window.Right)));
    Cursor.Y = static_cast<int16_t>(std::clamp(y - 1, static_cast<int>(Window.Top), static_cast<int>(Window.Bottom)));
    MoveConsoleCursor();
}

Byte TOutputWindows::WhereX() const { return static_cast<Byte>(Cursor.X + 1); }
Byte TOutputWindows::WhereY() const { return static_cast<Byte>(Cursor.Y + 1); }

void TOutputWindows::ClearScreen() {
    Cursor.X = Window.Left;
    if (Active) {
        // One blank row, written to every row of the window.
        const int16_t width = static_cast<int16_t>(Window.Right - Window.Left + 1);
        std::array<Cell, BufferCols> blank{};
        blank.fill(MakeCell(' ', TextAttr));
        for (int16_t row = Window.Top; row <= Window.Bottom; ++row)
            conapi::WriteCells(blank.data(), Coord{width, 1}, Rect{Window.Left, row, Window.Right, row});
    }
    Buffer.fill(Cell{});
    GotoXY(Window.Left + 1, Window.Top + 1);
}

void TOutputWindows::ScrollUp() {
    if (Active) {
        const Cell fill = MakeCell(' ', TextAttr);
        conapi::ScrollRect(Window, Window, Coord{Window.Left, static_cast<int16_t>(Window.Top - 1)}, fill);
    }
    // The shadow buffer always moves as a whole, whatever the window.
    std::copy(Buffer.begin() + BufferCols, Buffer.end(), Buffer.begin());
    std::fill_n(Buffer.begin() + Window.Bottom * BufferCols, BufferCols, Cell{});
}

void TOutputWindows::WriteChar(char ch) {
    switch (ch) {
    case 8:  // BS moves back without erasing; the visible cursor waits
        if (Cursor.X > Window.Left) --Cursor.X;
        return;
    case 10:  // LF keeps the column
        if (Cursor.Y == Window.Bottom)
            ScrollUp();
        else
            ++Cursor.Y;
        MoveConsoleCursor();
        return;
    case 13: Cursor.X = Window.Left; return;
    default: break;
    }

    const Cell cell = MakeCell(ch, TextAttr);
    if (Active && Cursor.X <= Window.Right) {
        conapi::WriteCells(&cell, Coord{1, 1}, Rect{Cursor.X, Cursor.Y, Cursor.X, Cursor.Y});
    }
    // Column 80 (one past the edge) addresses the first cell of the next
    // row in the row-major shadow buffer.
    const int index = Cursor.Y * BufferCols + Cursor.X;
    if (index >= 0 && index < BufferCols * BufferRows) Buffer[index] = cell;

    if (Cursor.X < Window.Right) {
        ++Cursor.X;
    } else if (Cursor.X == Window.Right && Cursor.Y == Window.Bottom - 1) {
        // Deferred wrap on the second-to-last row, so that a full row 24
        // followed by CR LF leaves no empty row behind.
        Cursor.X = 80;
        return;
    } else {
        Cursor.X = Window.Left;
        if (Cursor.Y == Window.Bottom)
            ScrollUp();
        else
            ++Cursor.Y;
    }
    MoveConsoleCursor();
}

void TOutputWindows::WriteStr(const std::string& text) { WriteText(text); }

void TOutputWindows::WriteText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const int span = InnerSpan(text.data() + i, text.size() - i);
        if (span == 0) {
            WriteChar(text[i++]);
            continue;
        }
        // What WriteChar does for each of these characters, in one console
        // write: none of them reaches the last column. The shadow buffer's
        // row is written first and is what the console gets.
        Cell* const row = Buffer.data() + Cursor.Y * BufferCols + Cursor.X;
        const uint16_t attr = TextAttr;
        for (int k = 0; k < span; ++k) row[k] = MakeCell(text[i + k], attr);
        if (Active) {
            conapi::WriteCells(row, Coord{static_cast<int16_t>(span), 1},
                               Rect{Cursor.X, Cursor.Y, static_cast<int16_t>(Cursor.X + span - 1), Cursor.Y});
        }
        Cursor.X = static_cast<int16_t>(Cursor.X + span);
        MoveConsoleCursor();
        i += static_cast<std::size_t>(span);
    }
}

int TOutputWindows::InnerSpan(const char* text, std::size_t count) const {
    // A character in the last column wraps or scrolls: WriteChar's work.
    if (Cursor.X >= Window.Right) return 0;
    const int room = static_cast<int>(std::min<std::size_t>(count, static_cast<std::size_t>(Window.Right - Cursor.X)));
    int n = 0;
    while (n < room && text[n] != 8 && text[n] != 10 && text[n] != 13) ++n;
    return n;
}

void TOutputWindows::WriteLine(const std::string& text) { WriteStr(Cut255(text + "\r\n")); }

void TOutputWindows::WriteRow(int x, int y, const Cell* cells, int count) {
    if (!Active || count <= 0) return;
    const int left = x - 1;
    const int visible = std::min(count, BufferCols - left);
    if (visible <= 0) return;
    conapi::WriteCells(cells, Coord{static_cast<int16_t>(visible), 1},
                       Rect{static_cast<int16_t>(left), static_cast<int16_t>(y - 1),
                            static_cast<int16_t>(left + visible - 1), static_cast<int16_t>(y - 1)});
}

void TOutputWindows::WriteXY(int x, int y, Byte attr, const std::string& text) {
    std::array<Cell, BufferCols> row{};
    const int count = static_cast<int>(std::min<std::size_t>(text.size(), BufferCols));
    for (int i = 0; i < count; ++i) row[i] = MakeCell(text[i], attr);
    WriteRow(x, y, row.data(), count);
}

void TOutputWindows::WriteXYPipe(int x, int y, Byte attr, int width, const std::string& text) {
    width = std::clamp(width, 0, BufferCols);
    std::array<Cell, BufferCols> row{};
    uint16_t running = attr;
    int count = 0;
    for (std::size_t i = 0; i < text.size() && count < width; ++i) {
        // Only a bar can begin a code: no other character pays for a look
        // at the two after it.
        if (text[i] == '|') {
            const std::string code = text.substr(i + 1, 2);
            if (IsPipeCode(code, PipeRule::WriteXYPipe)) {
                running = PipeAttr(code, running);
                i += code.size();
                continue;
            }
        }
        row[count++] = MakeCell(text[i], running);
    }
    while (count < width) row[count++] = MakeCell(' ', running);
    WriteRow(x, y, row.data(), width);
}

void TOutputWindows::WritePipe(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '|') {
            const std::string code = text.substr(i + 1, 2);
            if (IsPipeCode(code, PipeRule::WritePipe)) {
                SetTextAttr(static_cast<Byte>(PipeAttr(code, TextAttr)));
                i += code.size();
                continue;
            }
        }
        WriteChar(text[i]);
    }
    FlushOutput();
}

void TOutputWindows::SetTextAttr(Byte attr) { TextAttr = attr; }

void TOutputWindows::SaveRegion(int x1, int y1, int x2, int y2, TScreenImage& image) {
    image.X1 = static_cast<Byte>(x1);
    image.X2 = static_cast<Byte>(x2);
    image.Y1 = static_cast<Byte>(y1);
    image.Y2 = static_cast<Byte>(y2);
    image.CursorX = WhereX();
    image.CursorY = WhereY();
    image.Attr = TextAttr;
    if (!Active) {
        std::copy(Buffer.begin(), Buffer.end(), image.Data.begin());
        return;
    }
    const int width = x2 - x1 + 1;
    const int height = y2 - y1 + 1;
    if (width <= 0 || height <= 0 || width * height > static_cast<int>(image.Data.size())) return;
    conapi::ReadCells(image.Data.data(), Coord{static_cast<int16_t>(width), static_cast<int16_t>(height)},
                      Rect{static_cast<int16_t>(x1 - 1), static_cast<int16_t>(y1 - 1), static_cast<int16_t>(x2 - 1),
                           static_cast<int16_t>(y2 - 1)});
}

void TOutputWindows::RestoreRegion(TScreenImage image) {
    const int width = image.X2 - image.X1 + 1;
    const int height = image.Y2 - image.Y1 + 1;
    if (Active && width > 0 && height > 0 && width * height <= static_cast<int>(image.Data.size())) {
        conapi::WriteCells(image.Data.data(), Coord{static_cast<int16_t>(width), static_cast<int16_t>(height)},
                           Rect{static_cast<int16_t>(image.X1 - 1), static_cast<int16_t>(image.Y1 - 1),
                                static_cast<int16_t>(image.X2 - 1), static_cast<int16_t>(image.Y2 - 1)});
    }
    GotoXY(image.CursorX, image.CursorY);
    TextAttr = image.Attr;
}

Byte TOutputWindows::AttrAt(int x, int y) const {
    return static_cast<Byte>(conapi::ReadAttribute(Coord{static_cast<int16_t>(x - 1), static_cast<int16_t>(y - 1)}));
}

char TOutputWindows::ShadowChar(int col, int row) const {
    return static_cast<char>(Buffer[row * BufferCols + col].Char & 0xFF);
}

void TOutputWindows::FlushOutput() {
    // Every operation reaches the console at once; the terminal back-end
    // decides itself when to bring the real terminal up to date.
}
