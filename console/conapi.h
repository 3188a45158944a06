// The console API: the cell operations the screen and keyboard objects need
// from the platform. It mirrors a text-mode console: a buffer of cells (16-bit
// character, 16-bit attribute) that can be written, read, filled and scrolled,
// a cursor, and a queue of key input records.
//
// Four implementations exist, one linked into each binary:
//   con_terminal.cpp  POSIX terminals (the default build)
//   con_memory.cpp    an in-memory console with scripted input and a virtual
//                     clock, for the unit tests
//   con_win32.cpp     the native Windows console (kernel32)
//   con_web.cpp       a canvas in a browser page (the WebAssembly build)
// No virtual calls: the program calls these functions directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace conapi {

// One screen cell. The character field holds a code page 437 byte in its low
// eight bits; the attribute field the PC text attribute in its low eight bits.
struct Cell {
    uint16_t Char = 0;
    uint16_t Attr = 0;
};

struct Coord {
    int16_t X = 0;
    int16_t Y = 0;
};

// Inclusive rectangle, 0-based.
struct Rect {
    int16_t Left = 0;
    int16_t Top = 0;
    int16_t Right = 0;
    int16_t Bottom = 0;
};

// Control-key state flags of a key record.
enum ControlState : uint32_t {
    RightAltPressed = 0x0001,
    LeftAltPressed = 0x0002,
    RightCtrlPressed = 0x0004,
    LeftCtrlPressed = 0x0008,
    ShiftPressed = 0x0010,
    NumLockOn = 0x0020,
    ScrollLockOn = 0x0040,
    CapsLockOn = 0x0080,
    EnhancedKey = 0x0100,
};

// Paste: one character of pasted text (Char, KeyDown true), or, with KeyDown
// false, the end of the pasted text. Only the terminal back-end makes them.
enum class EventType : uint8_t { Key, Focus, Other, Paste };

// One input record. Only key and paste events carry the fields after Type.
struct InputRecord {
    EventType Type = EventType::Key;
    bool KeyDown = true;
    uint16_t VirtualKey = 0;
    uint16_t ScanCode = 0;
    uint8_t Char = 0;
    uint32_t ControlState = 0;
};

// Maximum buffer size the back-ends keep.
constexpr int MaxCols = 80;
constexpr int MaxRows = 50;

// Takes the console for the program (raw input, cursor shown) and remembers
// how to give it back. Called once, before anything else below.
void Open();
// Gives the console back exactly as it was found. Safe to call twice.
void Close();

// Rows of the console screen buffer.
int16_t BufferRows();
void SetBufferSize(Coord size);
void SetWindow(Rect window);
// Cursor size in percent of the cell, and visibility.
void SetCursorInfo(int size, bool visible);
void SetCursorPosition(Coord pos);

// Writes Size.X * Size.Y cells (row-major) to the buffer rectangle Region;
// the part of Region outside the buffer is clipped.
void WriteCells(const Cell* cells, Coord size, Rect region);
// Reads the buffer rectangle Region into Size.X * Size.Y cells (row-major);
// cells outside the buffer are left as they are.
void ReadCells(Cell* cells, Coord size, Rect region);
uint16_t ReadAttribute(Coord pos);
// Fills Count cells of one row from Pos (clipped at the row's end).
void FillAttribute(uint16_t attr, int count, Coord pos);
void FillCharacter(uint8_t ch, int count, Coord pos);
// Moves the cells of Scroll so that its top-left lands on Dest; only cells
// inside Clip change; uncovered cells get Fill.
void ScrollRect(Rect scroll, Rect clip, Coord dest, Cell fill);

// Number of input records waiting. It is called for every byte the ANSI
// renderer draws, so it must be cheap: a back-end may look for new input at
// most about once a millisecond (and, with no wait or flush between calls,
// once every few calls) and answer from its queue in between.
int PendingEvents();
// Takes one input record; only called when PendingEvents() > 0.
void ReadEvent(InputRecord& rec);
// Waits until an input record is pending or TimeoutMs passes (-1: no limit),
// without using the CPU meanwhile. Like Sleep it first brings the visible
// console up to date. It returns as soon as a record arrives (within about a
// millisecond: menus answer keys through it) and answers whether a record is
// pending; any record ends the wait, key or not, so a caller that waits for a
// key waits again for the rest of its time.
// On Windows: WaitForSingleObject on the input handle.
bool WaitForInput(int timeoutMs);

// Brings the visible console up to date with the cell operations so far.
void Flush();
// Draws the whole visible console again from the cells, every cell, not
// only the changed ones: what the reader sees may have been spoiled by
// others (a terminal's output from elsewhere).
void Redraw();
// Colours from the terminal's own palette of 16, whatever else the
// terminal could show (a reader's choice). Only the terminal back-end has a
// choice to make.
void UseTerminalPalette();
// Whether the console shows only plain ASCII: an 8-bit terminal that takes
// no code page 437 gets look-alikes for every other glyph, so the program
// picks its plain-ASCII screens.
bool ShowsOnlyAscii();
void Sleep(int ms);
// Milliseconds since an arbitrary start, monotonic.
uint32_t TickCount();

// Called when the input has ended for good (end of file on a terminal): the
// program leaves through its normal exit path. If no handler is set, or the
// handler returns, the process ends with status 0.
void SetEndOfInputHandler(void (*handler)());

// Called by the back-end when a signal or console-control event ends the
// process, after the console has been given back and before the process
// goes: removes the program's working files. It runs inside a signal
// handler, so it must be async-signal-safe.
void SetAbortCleanup(void (*cleanup)());

// --- A board's caller ------------------------------------------------------------
// A board hands a door its caller's connection. The console is then the
// caller's terminal, far away: code page 437 bytes (never UTF-8), CR LF,
// an 80x25 screen taken as given and nothing asked of it, the colours as the
// terminals of the BBS world take them. A caller who drops (end of input, a
// reset connection, a write that fails) ends the program as the end of
// input does.
struct Connection {
    // POSIX: a descriptor open for reading and writing, or 0 for standard
    // input and output as they are. Windows: the socket's handle.
    int64_t Handle = 0;
    bool Telnet = false;     // telnet's framing: IAC commands in, 255 doubled out
    bool AsciiOnly = false;  // plain ASCII look-alikes of every other glyph
};
// Called before Open. Answers "" when the console is now the caller on
// Connection, else why the handle is no connection (the console is then as
// it was).
std::string UseConnection(const Connection& connection);

// --- What the screen means -------------------------------------------------------
// Beside its cells the program says where the reader is and what the cells
// hold, for a back-end that can tell the reader more than the cells show: the
// web page gives each place an address and a history, and hands menus and
// texts to assistive technology and to its reading view. The other back-ends
// take no notice (console/meaning_none.cpp).
//
// A place is named as an address names it: "menu", "articles",
// "articles/news", "gallery/tidepool"; its title is what a reader calls it.
// Text is code page 437 bytes, as on the screen.
void DescribePlace(std::string_view place, std::string_view title);
// A menu of Entries (pipe codes and all, as the bar draws them) in Box, one
// row each from entry Top on, with entry Lit lit; no entries: no menu is on
// the screen any longer.
void DescribeMenu(const std::vector<std::string>& entries, int lit, int top, Rect box);
// The cells of Window show the lines of a text (a page of the viewer); an
// empty rectangle (Right < Left): no text any longer.
void DescribeText(Rect window);
// The look the art on the screen was made for: letters 8 or 9 pixels
// apart, pixels stretched for the legacy 4:3 display or not. A page can show
// both; terminals and the Windows console have their own cells.
void DescribeLook(int letterSpacing, bool legacyAspect);
// The place the reader asked for (an address opened, Back or Forward), empty
// when there is none. It stays asked for until ForgetWantedPlace.
std::string WantedPlace();
void ForgetWantedPlace();

}  // namespace conapi
