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
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace conapi {

// A colour of its own that a cell of art may carry beside the PC's sixteen
// (a piece's own palette, or 24-bit colour): OwnColourFlag | 0xRRGGBB. The
// value 0 means the colour of the cell's attribute.
inline constexpr uint32_t OwnColourFlag = 0x01000000;
constexpr uint32_t OwnColour(uint8_t r, uint8_t g, uint8_t b) {
    return OwnColourFlag | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
}

// One screen cell. The character field holds a code page 437 byte in its low
// eight bits (a piece drawn for a font of 512 characters uses nine); the
// attribute field the PC text attribute in its low eight bits. A cell of art
// with colours of its own carries them in Fore and Back, and its attribute
// then holds the nearest of the sixteen, for a console that shows no others.
struct Cell {
    uint16_t Char = 0;
    uint16_t Attr = 0;
    uint32_t Fore = 0;
    uint32_t Back = 0;
};

inline bool operator==(const Cell& a, const Cell& b) {
    return a.Char == b.Char && a.Attr == b.Attr && a.Fore == b.Fore && a.Back == b.Back;
}

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
void SetEndOfInputHandler(std::function<void()> handler);

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
    // POSIX: a descriptor open for reading and writing, 0 for standard
    // input and output as they are, or -1 for standard input and output
    // where they are a terminal or a socket. Windows: the socket's handle.
    int64_t Handle = 0;
    bool Telnet = false;     // telnet's framing: IAC commands in, 255 doubled out
    bool AsciiOnly = false;  // plain ASCII look-alikes of every other glyph
    // POSIX: a handle that is no socket (one the board could not hand over,
    // as boards write that serve their door on standard input and output)
    // stands for standard input and output where they are a terminal or a
    // socket; a file is refused all the same.
    bool StdioWhenNoSocket = false;
};
// Called before Open. Answers "" when the console is now the caller on
// Connection, else why the handle is no connection (the console is then as
// it was). Note: how the caller was found where it is not where Handle
// says ("descriptor 7 is not open: the caller is on standard input and
// output"), else "".
std::string UseConnection(const Connection& connection, std::string& note);

// --- Plain lines -----------------------------------------------------------------
// A reader whose terminal takes no escape codes gets plain lines instead of
// a screen (console/term_plain.h): the cells are kept as ever, but nothing
// is drawn; the rows that changed are sent as lines of plain ASCII, CR LF,
// whenever the program waits (WaitForInput, Sleep) and at Close. Not one
// byte below 32 but CR and LF reaches the reader. Redraw sends the whole
// screen again at the next wait. The page, and the Windows console itself
// (a board's caller on Windows aside), draw their cells as ever: there
// asking for plain lines changes nothing.
//
// Whether what the console writes reaches a reader's screen: standard
// output is a terminal (a console on Windows), or a board's connection is
// in use, or a page. Where it is not, another program or a file takes the
// output, and no escape code belongs in it. Asked before Open too.
bool OutputIsTerminal();
// Called before Open: plain lines from now on.
void UsePlainLines();
// Whether the reader gets plain lines: asked for, or a terminal that says
// it is dumb (TERM=dumb).
bool ShowsPlainLines();
// Sends the rows First..Last (0-based) that changed since they were last
// sent; every row counts as sent afterwards (the caller speaks for the rest
// in its own lines). Answers whether a line was sent; nothing without
// plain lines.
bool SayRows(int first, int last);
// Sends Text, lines ended by "\n", as plain lines. Nothing without plain
// lines.
void SayText(std::string_view text);

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
// The font the art on the screen was drawn for: Count (256 or 512) glyphs of
// Height (1 to 32) rows, one byte a row, the leftmost pixel in the top bit;
// empty Glyphs: the console's own font again. A page draws with it; the
// other consoles keep their glyphs. Answers whether the console draws with it.
bool DescribeFont(std::string_view glyphs, int height, int count);
// The place the reader asked for (an address opened, Back or Forward), empty
// when there is none. It stays asked for until ForgetWantedPlace.
std::string WantedPlace();
void ForgetWantedPlace();

}  // namespace conapi
