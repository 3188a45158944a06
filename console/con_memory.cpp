// The in-memory console: an 80x50 cell array, a queue of scripted input
// records and a virtual clock. Sleeping advances the clock at once, so
// paced drawing, wipes and animations run in virtual time.
#include "console/con_memory.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <utility>

#include "console/term_cells.h"
#include "console/term_plain.h"

using namespace conapi;

namespace {

struct TimedEvent {
    InputRecord rec;
    uint32_t at;
};

struct MemoryConsole {
    termcells::CellBuffer cells;
    Coord cursor{};
    bool cursorVisible = true;
    bool open = false;  // between Open and Close
    std::deque<TimedEvent> input;
    uint32_t now = 0;
    uint64_t slept = 0;
    uint64_t sleepCalls = 0;
    uint64_t writeCalls = 0;
    uint64_t scrollCalls = 0;
    uint64_t redraws = 0;
    bool terminalPalette = false;
    bool connected = false;
    conapi::Connection connection;
    bool onlyAscii = false;
    bool plain = false;
    bool outputIsTerminal = true;
    termplain::Teller teller;
    std::string plainOutput;
    std::function<void()> endOfInput;
    void (*abortCleanup)() = nullptr;
    std::function<void()> sleepHook;
    std::function<void()> clockHook;
    memcon::Meaning meaning;
};

MemoryConsole& Con() {
    static MemoryConsole con;
    return con;
}

// Tells the clock's watcher, if any, that the clock moved.
void ClockMoved() {
    if (Con().clockHook) Con().clockHook();
}

bool EventDue() { return !Con().input.empty() && Con().input.front().at <= Con().now; }

}  // namespace

namespace conapi {

// Plain lines: the rows that changed, when the reader is to see them.
void SayChanged() {
    MemoryConsole& c = Con();
    if (c.plain) c.plainOutput += c.teller.Changed(c.cells.Data(), c.cells.Rows(), 0, c.cells.Rows() - 1);
}

void Open() { Con().open = true; }
void Close() {
    SayChanged();
    Con().open = false;
}
int16_t BufferRows() { return static_cast<int16_t>(Con().cells.Rows()); }

void SetBufferSize(Coord size) { Con().cells.SetRows(size.Y); }
void SetWindow(Rect) {}
void SetCursorInfo(int, bool visible) { Con().cursorVisible = visible; }
void SetCursorPosition(Coord pos) { Con().cursor = pos; }

void WriteCells(const Cell* cells, Coord size, Rect region) {
    ++Con().writeCalls;
    Con().cells.Write(cells, size, region);
}

void ReadCells(Cell* cells, Coord size, Rect region) { Con().cells.Read(cells, size, region); }

uint16_t ReadAttribute(Coord pos) { return Con().cells.Attribute(pos); }

void FillAttribute(uint16_t attr, int count, Coord pos) {
    ++Con().writeCalls;
    Con().cells.FillAttribute(attr, count, pos);
}

void FillCharacter(uint8_t ch, int count, Coord pos) {
    ++Con().writeCalls;
    Con().cells.FillCharacter(ch, count, pos);
}

void ScrollRect(Rect scroll, Rect clip, Coord dest, Cell fill) {
    ++Con().writeCalls;
    ++Con().scrollCalls;
    Con().cells.Scroll(scroll, clip, dest, fill);
}

int PendingEvents() {
    int due = 0;
    for (const auto& e : Con().input)
        if (e.at <= Con().now) ++due;
    return due;
}

void ReadEvent(InputRecord& rec) {
    if (!EventDue()) throw memcon::InputExhausted();
    rec = Con().input.front().rec;
    Con().input.pop_front();
}

bool WaitForInput(int timeoutMs) {
    SayChanged();
    if (EventDue()) return true;
    if (Con().input.empty()) {
        if (timeoutMs < 0) {
            if (Con().endOfInput) Con().endOfInput();
            throw memcon::InputExhausted();
        }
        Con().now += static_cast<uint32_t>(timeoutMs);
        ClockMoved();
        return false;
    }
    // The next scripted event lies in the future: let the clock run to it
    // or to the end of the time-out, whichever comes first.
    const uint32_t next = Con().input.front().at;
    if (timeoutMs >= 0 && Con().now + static_cast<uint32_t>(timeoutMs) < next) {
        Con().now += static_cast<uint32_t>(timeoutMs);
        ClockMoved();
        return false;
    }
    Con().now = next;
    ClockMoved();
    return true;
}

void Flush() {}

void Redraw() {
    ++Con().redraws;
    Con().teller.Forget();
}

bool OutputIsTerminal() { return Con().outputIsTerminal; }
void UsePlainLines() { Con().plain = true; }
bool ShowsPlainLines() { return Con().plain; }

bool SayRows(int first, int last) {
    MemoryConsole& c = Con();
    if (!c.plain) return false;
    const std::string lines = c.teller.Changed(c.cells.Data(), c.cells.Rows(), first, last);
    c.plainOutput += lines;
    return !lines.empty();
}

void SayText(std::string_view text) {
    if (Con().plain) Con().plainOutput += termplain::Bytes(text);
}

void UseTerminalPalette() { Con().terminalPalette = true; }

std::string UseConnection(const Connection& connection, std::string& note) {
    note.clear();
    Con().connected = true;
    Con().connection = connection;
    return {};
}

bool ShowsOnlyAscii() { return Con().onlyAscii || Con().plain; }

void Sleep(int ms) {
    SayChanged();
    if (ms < 0) ms = 0;
    Con().now += static_cast<uint32_t>(ms);
    Con().slept += static_cast<uint64_t>(ms);
    ++Con().sleepCalls;
    if (Con().sleepHook) Con().sleepHook();
    ClockMoved();
}

uint32_t TickCount() { return Con().now; }

void SetEndOfInputHandler(std::function<void()> handler) { Con().endOfInput = std::move(handler); }

// No signal ends a test run through this console: the cleanup is kept only.
void SetAbortCleanup(void (*cleanup)()) { Con().abortCleanup = cleanup; }

void DescribePlace(std::string_view place, std::string_view title) {
    Con().meaning.Places.emplace_back(place);
    Con().meaning.Title = title;
}

void DescribeMenu(const std::vector<std::string>& entries, int lit, int top, Rect box) {
    Con().meaning.MenuEntries = entries;
    Con().meaning.MenuLit = lit;
    Con().meaning.MenuTop = top;
    Con().meaning.MenuBox = box;
}

void DescribeText(Rect window) { Con().meaning.TextWindow = window; }

void DescribeLook(int letterSpacing, bool legacyAspect) {
    Con().meaning.LetterSpacing = letterSpacing;
    Con().meaning.LegacyAspect = legacyAspect;
}

// A console of cells: the font is kept for the tests, the cells keep
// their glyphs.
bool DescribeFont(std::string_view glyphs, int height, int count) {
    Con().meaning.FontGlyphs = glyphs;
    Con().meaning.FontHeight = height;
    Con().meaning.FontCount = count;
    return false;
}

std::string WantedPlace() { return Con().meaning.Wanted; }

void ForgetWantedPlace() { Con().meaning.Wanted.clear(); }

}  // namespace conapi

namespace memcon {

void Reset(int rows) {
    auto& con = Con();
    con.cells.Clear(Cell{});
    con.cells.SetRows(rows);
    con.cursor = Coord{};
    con.cursorVisible = true;
    con.open = false;
    con.input.clear();
    con.now = 0;
    con.slept = 0;
    con.sleepCalls = 0;
    con.writeCalls = 0;
    con.scrollCalls = 0;
    con.redraws = 0;
    con.terminalPalette = false;
    con.connected = false;
    con.onlyAscii = false;
    con.plain = false;
    con.outputIsTerminal = true;
    con.teller = {};
    con.plainOutput.clear();
    con.endOfInput = nullptr;
    con.sleepHook = nullptr;
    con.clockHook = nullptr;
    con.meaning = {};
}

const Meaning& Described() { return Con().meaning; }

void AskForPlace(const std::string& place) { Con().meaning.Wanted = place; }

void OnSleep(std::function<void()> hook) { Con().sleepHook = std::move(hook); }

void PushEvent(const InputRecord& rec, uint32_t atMs) {
    auto& input = Con().input;
    // Keep the queue ordered by time; equal times keep their order.
    auto pos =
        std::upper_bound(input.begin(), input.end(), atMs, [](uint32_t t, const TimedEvent& e) { return t < e.at; });
    input.insert(pos, TimedEvent{rec, atMs});
}

void OnClockMoved(std::function<void()> hook) { Con().clockHook = std::move(hook); }

void PushKeyPress(uint16_t virtualKey, uint16_t scanCode, uint8_t ch, uint32_t state, uint32_t atMs) {
    InputRecord rec{EventType::Key, true, virtualKey, scanCode, ch, state};
    PushEvent(rec, atMs);
    rec.KeyDown = false;
    PushEvent(rec, atMs);
}

namespace {

// Scan codes of a US keyboard for the printable characters.
struct KeyInfo {
    uint16_t vk;
    uint16_t scan;
    bool shift;
};

KeyInfo KeyFor(char c) {
    static const char* rows[] = {"1234567890-=", "qwertyuiop[]", "asdfghjkl;'`", "\\zxcvbnm,./"};
    static const char* shifted[] = {"!@#$%^&*()_+", "QWERTYUIOP{}", "ASDFGHJKL:\"~", "|ZXCVBNM<>?"};
    static const uint16_t firstScan[] = {2, 16, 30, 43};
    if (c == ' ') return {32, 57, false};
    for (int r = 0; r < 4; ++r)
        for (int i = 0; rows[r][i]; ++i) {
            const bool plain = rows[r][i] == c;
            if (plain || shifted[r][i] == c) {
                char base = rows[r][i];
                uint16_t vk = (base >= 'a' && base <= 'z')
                                  ? static_cast<uint16_t>(base - 32)
                                  : static_cast<uint16_t>(base >= '0' && base <= '9' ? base : 0xBA);
                return {vk, static_cast<uint16_t>(firstScan[r] + i), !plain};
            }
        }
    return {0, 0, false};
}

}  // namespace

void TypeText(const std::string& text, uint32_t atMs) {
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            PressEnter(atMs);
            continue;
        }
        const KeyInfo k = KeyFor(c);
        PushKeyPress(k.vk, k.scan, static_cast<uint8_t>(c), k.shift ? uint32_t{ShiftPressed} : uint32_t{0}, atMs);
    }
}

void PressEnter(uint32_t atMs) { PushKeyPress(13, 28, 13, 0, atMs); }
void PressEsc(uint32_t atMs) { PushKeyPress(27, 1, 27, 0, atMs); }
void PressBackspace(uint32_t atMs) { PushKeyPress(8, 14, 8, 0, atMs); }
void PressTab(uint32_t atMs) { PushKeyPress(9, 15, 9, 0, atMs); }

void PressCtrl(char letter, uint32_t atMs) {
    const KeyInfo k = KeyFor(letter);
    PushKeyPress(k.vk, k.scan, static_cast<uint8_t>(letter - 'a' + 1), LeftCtrlPressed, atMs);
}

void PressExtended(uint16_t scanCode, uint32_t state, uint32_t atMs) {
    static const struct {
        uint16_t scan, vk;
    } keys[] = {{71, 0x24}, {72, 0x26}, {73, 0x21}, {75, 0x25}, {77, 0x27},
                {79, 0x23}, {80, 0x28}, {81, 0x22}, {82, 0x2D}, {83, 0x2E}};
    uint16_t vk = 0;
    for (const auto& k : keys)
        if (k.scan == scanCode) vk = k.vk;
    PushKeyPress(vk, scanCode, 0, state | EnhancedKey, atMs);
}

void PressFunction(int n, uint32_t state, uint32_t atMs) {
    const uint16_t scan = static_cast<uint16_t>(n <= 10 ? 58 + n : 76 + n);  // F11 87, F12 88
    PushKeyPress(static_cast<uint16_t>(0x6F + n), scan, 0, state, atMs);
}

int QueuedEvents() { return static_cast<int>(Con().input.size()); }
uint32_t Now() { return Con().now; }
uint64_t SleptMs() { return Con().slept; }
uint64_t SleepCalls() { return Con().sleepCalls; }
Cell CellAt(int col, int row) {
    const bool inside = col >= 0 && col < MaxCols && row >= 0 && row < Con().cells.Rows();
    return inside ? Con().cells.At(col, row) : Cell{};
}

std::string RowText(int row) {
    std::string out;
    for (int x = 0; x < MaxCols; ++x) {
        const uint16_t ch = CellAt(x, row).Char & 0xFF;
        out += ch == 0 ? ' ' : static_cast<char>(ch);
    }
    return out;
}

Coord CursorPos() { return Con().cursor; }
bool Opened() { return Con().open; }

bool CursorVisible() { return Con().cursorVisible; }
int16_t Rows() { return static_cast<int16_t>(Con().cells.Rows()); }
uint64_t WriteCalls() { return Con().writeCalls; }

uint64_t ScrollCalls() { return Con().scrollCalls; }

uint64_t Redraws() { return Con().redraws; }

bool TerminalPalette() { return Con().terminalPalette; }

const conapi::Connection* ConnectionUsed() { return Con().connected ? &Con().connection : nullptr; }

void SetOnlyAscii(bool only) { Con().onlyAscii = only; }

const std::string& PlainOutput() { return Con().plainOutput; }

void SetOutputIsTerminal(bool terminal) { Con().outputIsTerminal = terminal; }

}  // namespace memcon
