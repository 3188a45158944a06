// The console API on the Windows console, through kernel32 alone.
//
// Cells go to the console's screen buffer with the cell functions
// (WriteConsoleOutputW and its kin), never through the character stream, so
// the console interprets nothing. Characters are code page 437 bytes: they
// are handed over as the Unicode glyphs of that code page, so the smileys,
// arrows and card suits of 0x01-0x1F show too, and the console's code pages
// are set to 437 so that typed characters arrive in the same code page.
// Input records are passed on as the console reports them.
//
// The console is the user's: its input mode, code pages, cursor, colours
// and buffer size are given back on every way out, including Ctrl+Break,
// the console window being closed, log-off, shut-down and a crash that
// reaches the unhandled-exception filter. Those events arrive on a thread
// of their own: a lock keeps them from restoring the console in the middle
// of a cell operation, and once the console is given back the program's
// cell operations change nothing any more.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <utility>
#include <vector>

#include "console/board_line.h"
#include "console/conapi.h"
#include "console/cp437.h"

namespace {

// What the console was like when the program took it.
struct SavedConsole {
    DWORD inputMode = 0;
    bool inputModeKnown = false;
    UINT inputCodePage = 0;
    UINT outputCodePage = 0;
    CONSOLE_CURSOR_INFO cursor{};
    bool cursorKnown = false;
    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    bool bufferKnown = false;
};

struct Win32Console {
    SRWLOCK lock = SRWLOCK_INIT;
    bool open = false;     // between Open and Close
    bool restored = true;  // the console is the user's again
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
    bool inputIsConsole = false;
    SavedConsole saved;
    // Records of one key report repeated by the console (a held key).
    std::deque<conapi::InputRecord> queue;
    std::function<void()> endHandler;
    void (*cleanupHandler)() = nullptr;
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
    std::vector<CHAR_INFO> scratch;
};

Win32Console& W() {
    static Win32Console w;
    return w;
}

// Holds the console's lock for a scope. Every cell operation runs under it,
// and does nothing once the console has been given back.
class Locked {
public:
    Locked() { AcquireSRWLockExclusive(&W().lock); }
    ~Locked() { ReleaseSRWLockExclusive(&W().lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    bool Usable() const { return W().open && !W().restored; }
};

WCHAR Glyph(uint16_t ch) { return static_cast<WCHAR>(cp437::ToUnicode(static_cast<uint8_t>(ch & 0xFF))); }

uint16_t FromGlyph(WCHAR glyph) {
    if (glyph == 0) return 0;
    return cp437::FromUnicode(glyph).value_or(static_cast<uint8_t>('?'));
}

CHAR_INFO ToCharInfo(conapi::Cell cell) {
    CHAR_INFO info{};
    info.Char.UnicodeChar = Glyph(cell.Char);
    info.Attributes = static_cast<WORD>(cell.Attr & 0xFF);
    return info;
}

COORD ToCoord(conapi::Coord c) { return COORD{c.X, c.Y}; }
SMALL_RECT ToSmallRect(conapi::Rect r) { return SMALL_RECT{r.Left, r.Top, r.Right, r.Bottom}; }

// The row after the last one that holds anything but blanks, where the
// user's prompt goes on once the program has ended.
SHORT NextFreeRow(const CONSOLE_SCREEN_BUFFER_INFO& info) {
    const SHORT width = info.dwSize.X;
    const SHORT top = info.srWindow.Top;
    const SHORT bottom = info.srWindow.Bottom;
    std::vector<WCHAR> row(static_cast<std::size_t>(std::max<SHORT>(width, 1)));
    for (SHORT y = bottom; y >= top; --y) {
        DWORD read = 0;
        if (!ReadConsoleOutputCharacterW(W().out, row.data(), static_cast<DWORD>(width), COORD{0, y}, &read))
            return info.dwCursorPosition.Y;
        for (DWORD x = 0; x < read; ++x)
            if (row[x] != L' ' && row[x] != 0) return static_cast<SHORT>(std::min<int>(y + 1, bottom));
    }
    return top;
}

// Gives the console back as it was found: sizes first (the window must fit
// the buffer at every step), then cursor, colours, code pages and mode.
// Runs under the lock.
void RestoreLocked() {
    Win32Console& w = W();
    if (w.restored) return;
    w.restored = true;
    const SavedConsole& s = w.saved;
    CONSOLE_SCREEN_BUFFER_INFO now{};
    const bool nowKnown = GetConsoleScreenBufferInfo(w.out, &now) != 0;
    if (s.bufferKnown) {
        const SHORT nextRow = nowKnown ? NextFreeRow(now) : 0;
        SetConsoleScreenBufferSize(w.out, s.buffer.dwSize);
        SetConsoleWindowInfo(w.out, TRUE, &s.buffer.srWindow);
        SetConsoleScreenBufferSize(w.out, s.buffer.dwSize);
        const SHORT lastRow = static_cast<SHORT>(s.buffer.dwSize.Y - 1);
        SetConsoleCursorPosition(w.out, COORD{0, std::min(nextRow, lastRow)});
        SetConsoleTextAttribute(w.out, s.buffer.wAttributes);
    }
    if (s.cursorKnown) SetConsoleCursorInfo(w.out, &s.cursor);
    if (s.outputCodePage != 0) SetConsoleOutputCP(s.outputCodePage);
    if (s.inputCodePage != 0) SetConsoleCP(s.inputCodePage);
    if (s.inputModeKnown) SetConsoleMode(w.in, s.inputMode);
}

// The console is being taken away from outside (Ctrl+C, Ctrl+Break, the
// window closed, log-off, shut-down): give it back, let the program remove
// its working files, and let the default handler end the process.
BOOL WINAPI OnControlEvent(DWORD) {
    void (*cleanup)() = nullptr;
    {
        Locked lock;
        RestoreLocked();
        cleanup = std::exchange(W().cleanupHandler, nullptr);
    }
    if (cleanup) cleanup();
    return FALSE;
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    // No lock: the crashing thread may hold it. The process is going down.
    RestoreLocked();
    const auto previous = W().previousFilter;
    return previous ? previous(info) : EXCEPTION_CONTINUE_SEARCH;
}

void SaveConsole() {
    Win32Console& w = W();
    SavedConsole& s = w.saved;
    s.inputModeKnown = GetConsoleMode(w.in, &s.inputMode) != 0;
    s.inputCodePage = GetConsoleCP();
    s.outputCodePage = GetConsoleOutputCP();
    s.cursorKnown = GetConsoleCursorInfo(w.out, &s.cursor) != 0;
    s.bufferKnown = GetConsoleScreenBufferInfo(w.out, &s.buffer) != 0;
}

conapi::InputRecord Translate(const INPUT_RECORD& raw) {
    conapi::InputRecord rec;
    if (raw.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD& key = raw.Event.KeyEvent;
        rec.Type = conapi::EventType::Key;
        rec.KeyDown = key.bKeyDown != 0;
        rec.VirtualKey = key.wVirtualKeyCode;
        rec.ScanCode = key.wVirtualScanCode;
        rec.Char = static_cast<uint8_t>(key.uChar.AsciiChar);
        rec.ControlState = key.dwControlKeyState;
        // A Windows console reports the Esc key with its character 27; Wine
        // on a Unix terminal leaves the character out, which would make Esc
        // an extended key.
        if (rec.VirtualKey == VK_ESCAPE && rec.Char == 0) rec.Char = 27;
    } else {
        rec.Type = raw.EventType == FOCUS_EVENT ? conapi::EventType::Focus : conapi::EventType::Other;
        rec.KeyDown = false;
    }
    return rec;
}

// Reads one console record into the queue; a key reported with a repeat
// count becomes that many records, as if each press had come alone.
void ReadOneRecord() {
    INPUT_RECORD raw{};
    DWORD read = 0;
    if (!ReadConsoleInputA(W().in, &raw, 1, &read) || read == 0) return;
    const conapi::InputRecord rec = Translate(raw);
    WORD repeat = raw.EventType == KEY_EVENT ? raw.Event.KeyEvent.wRepeatCount : 1;
    repeat = std::clamp<WORD>(repeat, 1, 64);
    for (WORD i = 0; i < repeat; ++i) W().queue.push_back(rec);
}

int ConsolePending() {
    DWORD count = 0;
    if (!W().inputIsConsole || !GetNumberOfConsoleInputEvents(W().in, &count)) return 0;
    return static_cast<int>(count);
}

// Input that is not a console delivers no records: a wait without limit
// would never end, so the program leaves through its exit path instead.
[[noreturn]] void InputEnded() {
    static bool inHandler = false;
    if (!inHandler && W().endHandler) {
        inHandler = true;
        W().endHandler();
    }
    conapi::Close();
    std::exit(0);
}

}  // namespace

namespace conapi {

void Open() {
    if (boardline::Active()) return boardline::Open();
    Win32Console& w = W();
    {
        Locked lock;
        if (w.open) return;
        w.in = GetStdHandle(STD_INPUT_HANDLE);
        w.out = GetStdHandle(STD_OUTPUT_HANDLE);
        SaveConsole();
        w.inputIsConsole = w.saved.inputModeKnown;
        // Input mode 0: keys as records, no line editing, no echo, and
        // Ctrl+C a key like any other instead of a break.
        if (w.inputIsConsole) SetConsoleMode(w.in, 0);
        // Wine's console on a Unix terminal starts taking keys from the
        // terminal only once the input handle has been waited on; until then
        // counting pending records finds none, and a program that only polls
        // (the ANSI renderer, the light-bar's animation) would never see a key.
        if (w.inputIsConsole) WaitForSingleObject(w.in, 0);
        SetConsoleOutputCP(437);
        SetConsoleCP(437);
        w.open = true;
        w.restored = false;
    }
    SetConsoleCtrlHandler(OnControlEvent, TRUE);
    w.previousFilter = SetUnhandledExceptionFilter(OnCrash);
    static bool atExitSet = false;
    if (!atExitSet) {
        atExitSet = true;
        std::atexit([] { Close(); });
    }
}

void Close() {
    if (boardline::Active()) return boardline::Close();
    Win32Console& w = W();
    {
        Locked lock;
        if (!w.open) return;
        RestoreLocked();
        w.open = false;
    }
    SetConsoleCtrlHandler(OnControlEvent, FALSE);
    SetUnhandledExceptionFilter(w.previousFilter);
}

int16_t BufferRows() {
    if (boardline::Active()) return boardline::BufferRows();
    Locked lock;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(W().out, &info)) return 25;
    return info.dwSize.Y;
}

void SetBufferSize(Coord size) {
    if (boardline::Active()) return boardline::SetBufferSize(size);
    Locked lock;
    if (lock.Usable()) SetConsoleScreenBufferSize(W().out, ToCoord(size));
}

void SetWindow(Rect window) {
    if (boardline::Active()) return;  // the caller's terminal shows all 25 rows
    Locked lock;
    const SMALL_RECT rect = ToSmallRect(window);
    if (lock.Usable()) SetConsoleWindowInfo(W().out, TRUE, &rect);
}

void SetCursorInfo(int size, bool visible) {
    if (boardline::Active()) return boardline::SetCursorInfo(visible);
    Locked lock;
    const CONSOLE_CURSOR_INFO info{static_cast<DWORD>(std::clamp(size, 1, 100)), visible ? TRUE : FALSE};
    if (lock.Usable()) SetConsoleCursorInfo(W().out, &info);
}

void SetCursorPosition(Coord pos) {
    if (boardline::Active()) return boardline::SetCursorPosition(pos);
    Locked lock;
    if (lock.Usable()) SetConsoleCursorPosition(W().out, ToCoord(pos));
}

void WriteCells(const Cell* cells, Coord size, Rect region) {
    if (boardline::Active()) return boardline::WriteCells(cells, size, region);
    Locked lock;
    if (!lock.Usable() || size.X <= 0 || size.Y <= 0) return;
    std::vector<CHAR_INFO>& buf = W().scratch;
    buf.resize(static_cast<std::size_t>(size.X) * static_cast<std::size_t>(size.Y));
    std::transform(cells, cells + buf.size(), buf.begin(), ToCharInfo);
    SMALL_RECT rect = ToSmallRect(region);
    WriteConsoleOutputW(W().out, buf.data(), ToCoord(size), COORD{0, 0}, &rect);
}

void ReadCells(Cell* cells, Coord size, Rect region) {
    if (boardline::Active()) return boardline::ReadCells(cells, size, region);
    Locked lock;
    if (!lock.Usable() || size.X <= 0 || size.Y <= 0) return;
    std::vector<CHAR_INFO>& buf = W().scratch;
    buf.assign(static_cast<std::size_t>(size.X) * static_cast<std::size_t>(size.Y), CHAR_INFO{});
    SMALL_RECT rect = ToSmallRect(region);
    if (!ReadConsoleOutputW(W().out, buf.data(), ToCoord(size), COORD{0, 0}, &rect)) return;
    // The console answers the part of Region it could read; only those
    // cells change.
    const int rows = std::min<int>(rect.Bottom - rect.Top + 1, size.Y);
    const int cols = std::min<int>(rect.Right - rect.Left + 1, size.X);
    const int offsetY = rect.Top - region.Top;
    const int offsetX = rect.Left - region.Left;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            const std::size_t at = static_cast<std::size_t>((offsetY + y) * size.X + offsetX + x);
            if (at >= buf.size()) continue;
            cells[at].Char = FromGlyph(buf[at].Char.UnicodeChar);
            cells[at].Attr = buf[at].Attributes & 0xFF;
        }
}

uint16_t ReadAttribute(Coord pos) {
    if (boardline::Active()) return boardline::ReadAttribute(pos);
    Locked lock;
    WORD attr = 0;
    DWORD read = 0;
    if (!lock.Usable() || !ReadConsoleOutputAttribute(W().out, &attr, 1, ToCoord(pos), &read) || read != 1) return 0;
    return attr & 0xFF;
}

namespace {

// Count clipped at the end of Pos's row.
DWORD RunLength(int count, Coord pos) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (count <= 0 || !GetConsoleScreenBufferInfo(W().out, &info)) return 0;
    if (pos.X < 0 || pos.X >= info.dwSize.X || pos.Y < 0 || pos.Y >= info.dwSize.Y) return 0;
    return static_cast<DWORD>(std::min(count, info.dwSize.X - pos.X));
}

}  // namespace

void FillAttribute(uint16_t attr, int count, Coord pos) {
    if (boardline::Active()) return boardline::FillAttribute(attr, count, pos);
    Locked lock;
    DWORD written = 0;
    const DWORD run = lock.Usable() ? RunLength(count, pos) : 0;
    if (run > 0) FillConsoleOutputAttribute(W().out, static_cast<WORD>(attr & 0xFF), run, ToCoord(pos), &written);
}

void FillCharacter(uint8_t ch, int count, Coord pos) {
    if (boardline::Active()) return boardline::FillCharacter(ch, count, pos);
    Locked lock;
    DWORD written = 0;
    const DWORD run = lock.Usable() ? RunLength(count, pos) : 0;
    if (run > 0) FillConsoleOutputCharacterW(W().out, Glyph(ch), run, ToCoord(pos), &written);
}

void ScrollRect(Rect scroll, Rect clip, Coord dest, Cell fill) {
    if (boardline::Active()) return boardline::ScrollRect(scroll, clip, dest, fill);
    Locked lock;
    if (!lock.Usable()) return;
    const SMALL_RECT from = ToSmallRect(scroll);
    const SMALL_RECT within = ToSmallRect(clip);
    const CHAR_INFO blank = ToCharInfo(fill);
    ScrollConsoleScreenBufferW(W().out, &from, &within, ToCoord(dest), &blank);
}

int PendingEvents() {
    if (boardline::Active()) return boardline::PendingEvents();
    Locked lock;
    return static_cast<int>(W().queue.size()) + ConsolePending();
}

void ReadEvent(InputRecord& rec) {
    if (boardline::Active()) return boardline::ReadEvent(rec);
    Locked lock;
    if (W().queue.empty() && ConsolePending() > 0) ReadOneRecord();
    if (W().queue.empty()) return;
    rec = W().queue.front();
    W().queue.pop_front();
}

bool WaitForInput(int timeoutMs) {
    if (boardline::Active()) return boardline::WaitForInput(timeoutMs);
    Win32Console& w = W();
    {
        Locked lock;
        if (!w.queue.empty()) return true;
    }
    if (!w.inputIsConsole) {
        if (timeoutMs < 0) InputEnded();
        ::Sleep(static_cast<DWORD>(timeoutMs));
        return false;
    }
    // The input handle is signalled while records are pending. Not under
    // the lock: a control event must be able to restore meanwhile.
    const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    if (WaitForSingleObject(w.in, wait) != WAIT_OBJECT_0) return false;
    Locked lock;
    return ConsolePending() > 0;
}

void Flush() {
    // Every cell operation reaches the console at once; a caller's
    // terminal is brought up to date.
    if (boardline::Active()) boardline::Flush();
}

// The Windows console shows its own cells; nobody else draws over them. A
// caller's terminal far away may have been drawn over.
void Redraw() {
    if (boardline::Active()) boardline::Redraw();
}

// The console's colours are its own 16 already.
void UseTerminalPalette() {}

std::string UseConnection(const Connection& connection, std::string& note) {
    note.clear();
    if (W().open) return "the console is already in use";
    return boardline::Use(connection);
}

bool ShowsOnlyAscii() { return boardline::Active() && boardline::ShowsOnlyAscii(); }

// The console's own cells are read by the screen readers of Windows: only a
// board's caller gets plain lines.
bool OutputIsTerminal() {
    DWORD mode = 0;
    return boardline::Active() || GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}
void UsePlainLines() { boardline::UsePlainLines(); }
bool ShowsPlainLines() { return boardline::ShowsPlainLines(); }
bool SayRows(int first, int last) { return boardline::SayRows(first, last); }
void SayText(std::string_view text) { boardline::SayText(text); }

void Sleep(int ms) {
    if (boardline::Active()) return boardline::Sleep(ms);
    ::Sleep(static_cast<DWORD>(std::max(ms, 0)));
}

uint32_t TickCount() { return GetTickCount(); }

void SetEndOfInputHandler(std::function<void()> handler) {
    W().endHandler = handler;
    boardline::SetEndOfInputHandler(std::move(handler));
}

void SetAbortCleanup(void (*handler)()) {
    Locked lock;
    W().cleanupHandler = handler;
}

}  // namespace conapi
