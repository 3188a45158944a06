// The web console: the program's cells drawn on a canvas in a browser page,
// keys from the page's key events, waits turned into yields to the browser.
//
// The page's side (web/page.js) keeps what the canvas shows and repaints
// only the cells that changed; this side keeps the console's cells and hands
// them over on every flush, sleep and wait for input. Nothing is painted on
// screen until the program yields to the browser, so sleeps and waits are
// where frames appear: a wait for input becomes an asynchronous wait that
// ends on the first key or at its time-out (Emscripten's ASYNCIFY), and the
// tick count is the page's performance.now().
#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "console/conapi.h"
#include "console/term_cells.h"
#include "console/web_keys.h"

// --- The page's side -------------------------------------------------------------

// Cells points at Rows * 80 cells (conapi::Cell, 12 bytes: the character
// and the attribute, 16 bits each, then the own foreground and background,
// 32 bits each), which the page reads as six 16-bit words a cell.
static_assert(sizeof(conapi::Cell) == 12 && offsetof(conapi::Cell, Fore) == 4 && offsetof(conapi::Cell, Back) == 8,
              "the page reads a cell as six 16-bit words");
// clang-format off
EM_JS(void, qm_paint, (const void* cells, int rows, int cursorX, int cursorY, int cursorVisible), {
    Module.quixPage.paint(HEAPU16, cells >> 1, rows, cursorX, cursorY, cursorVisible !== 0);
});

EM_JS(int, qm_pending_keys, (), { return Module.quixPage.pendingKeys(); });

// Takes the oldest key of the page's queue: its key and code go to Key and
// Code as NUL-ended UTF-8 (at most Size bytes each); answers its modifier
// bits, or -1 when no key is queued.
EM_JS(int, qm_take_key, (char* key, char* code, int size), {
    const k = Module.quixPage.takeKey();
    if (!k) return -1;
    stringToUTF8(k.key, key, size);
    stringToUTF8(k.code, code, size);
    return k.modifiers;
});

EM_JS(double, qm_now, (), { return performance.now(); });

// Resolves on the first key or after TimeoutMs (-1: no limit); answers
// whether a key is queued.
EM_ASYNC_JS(int, qm_wait_key, (int timeoutMs), {
    return await Module.quixPage.waitForKey(timeoutMs);
});

// What the screen means (conapi.h): texts go over as code page 437 bytes
// (pointer and length) for the page to decode; a menu's entries are joined
// by newlines.
EM_JS(void, qm_place, (const char* place, int placeLength, const char* title, int titleLength), {
    Module.quixPage.place(HEAPU8.subarray(place, place + placeLength), HEAPU8.subarray(title, title + titleLength));
});

EM_JS(void, qm_menu, (const char* entries, int length, int lit, int top, int left, int boxTop, int right, int bottom), {
    Module.quixPage.menu(HEAPU8.subarray(entries, entries + length), lit, top, left, boxTop, right, bottom);
});

EM_JS(void, qm_text, (int left, int top, int right, int bottom), { Module.quixPage.text(left, top, right, bottom); });

EM_JS(void, qm_look, (int letterSpacing, int legacyAspect), { Module.quixPage.look(letterSpacing, legacyAspect !== 0); });

// Glyphs points at Length bytes of a font (Count glyphs of Height rows), which
// the page copies; no bytes: the page's own font again.
EM_JS(void, qm_font, (const char* glyphs, int length, int height, int count), {
    Module.quixPage.font(HEAPU8.slice(glyphs, glyphs + length), height, count);
});

// Copies the place the page wants to Place (at most Size bytes with the
// NUL); answers its length.
EM_JS(int, qm_wanted, (char* place, int size), {
    const wanted = Module.quixPage.wanted();
    stringToUTF8(wanted, place, size);
    return lengthBytesUTF8(wanted);
});

EM_JS(void, qm_forget_wanted, (), { Module.quixPage.forgetWanted(); });

// Gives the browser its turn for Ms milliseconds (0: just one turn).
EM_ASYNC_JS(void, qm_yield, (int ms), {
    await Module.quixPage.pause(ms);
    // clang-format on
});

namespace {

using namespace conapi;

// Below this a pause is not worth a trip through the browser's timers,
// which cost about 4 ms each: shorter sleeps only move the deadline.
constexpr double kShortestYieldMs = 4.0;
// The browser gets a turn at least this often, so that frames appear while
// a screen is drawn even when the sleeps are short.
constexpr double kFrameMs = 16.0;
// A deadline further behind the clock than this is given up: the program
// was held up (a tab in the background) and should not race to catch up.
constexpr double kMostLagMs = 250.0;

struct WebConsole {
    termcells::CellBuffer cells;
    Coord cursor{};
    bool cursorVisible = true;
    bool dirty = true;
    std::deque<InputRecord> queue;
    double sleepDeadline = 0;
    double lastYield = 0;
    std::function<void()> endOfInput;
};

WebConsole& W() {
    static WebConsole con;
    return con;
}

// Turns the page's queued keys into input records.
void TakeKeys() {
    std::array<char, 64> key{};
    std::array<char, 64> code{};
    for (;;) {
        const int modifiers = qm_take_key(key.data(), code.data(), static_cast<int>(key.size()));
        if (modifiers < 0) return;
        if (auto rec = webkeys::BrowserKey(key.data(), code.data(), static_cast<uint32_t>(modifiers))) {
            W().queue.push_back(*rec);
            rec->KeyDown = false;
            W().queue.push_back(*rec);
        }
    }
}

void Yield(int ms) {
    qm_yield(ms);
    W().lastYield = qm_now();
}

}  // namespace

namespace conapi {

void Open() {
    W().lastYield = qm_now();
    W().sleepDeadline = W().lastYield;
}

void Close() { Flush(); }

int16_t BufferRows() { return static_cast<int16_t>(W().cells.Rows()); }

void SetBufferSize(Coord size) {
    W().cells.SetRows(size.Y);
    W().dirty = true;
}

void SetWindow(Rect) {}

void SetCursorInfo(int, bool visible) {
    W().cursorVisible = visible;
    W().dirty = true;
}

void SetCursorPosition(Coord pos) {
    W().cursor = pos;
    W().dirty = true;
}

void WriteCells(const Cell* cells, Coord size, Rect region) {
    W().cells.Write(cells, size, region);
    W().dirty = true;
}

void ReadCells(Cell* cells, Coord size, Rect region) { W().cells.Read(cells, size, region); }

uint16_t ReadAttribute(Coord pos) { return W().cells.Attribute(pos); }

void FillAttribute(uint16_t attr, int count, Coord pos) {
    W().cells.FillAttribute(attr, count, pos);
    W().dirty = true;
}

void FillCharacter(uint8_t ch, int count, Coord pos) {
    W().cells.FillCharacter(ch, count, pos);
    W().dirty = true;
}

void ScrollRect(Rect scroll, Rect clip, Coord dest, Cell fill) {
    W().cells.Scroll(scroll, clip, dest, fill);
    W().dirty = true;
}

// Keys reach the page only while the program yields, so looking costs one
// call into the page and no wait.
int PendingEvents() {
    if (W().queue.empty() && qm_pending_keys() > 0) TakeKeys();
    return static_cast<int>(W().queue.size());
}

void ReadEvent(InputRecord& rec) {
    if (W().queue.empty()) return;
    rec = W().queue.front();
    W().queue.pop_front();
}

bool WaitForInput(int timeoutMs) {
    if (PendingEvents() > 0) return true;
    Flush();
    qm_wait_key(timeoutMs);
    W().lastYield = qm_now();
    W().sleepDeadline = W().lastYield;
    return PendingEvents() > 0;
}

void Flush() {
    WebConsole& w = W();
    if (!w.dirty) return;
    w.dirty = false;
    qm_paint(w.cells.Data(), w.cells.Rows(), w.cursor.X, w.cursor.Y, w.cursorVisible ? 1 : 0);
}

// The canvas belongs to the page alone, so nothing else can have spoiled
// it: drawing the cells again is all a redraw needs.
void Redraw() {
    W().dirty = true;
    Flush();
}

// The page always draws the VGA palette; there is no other to choose.
void UseTerminalPalette() {}

std::string UseConnection(const Connection&, std::string& note) {
    note.clear();
    return "a page has no board's connection";
}

bool ShowsOnlyAscii() { return false; }

// The page has a reading view of its own for readers who want lines
// (conapi::DescribeText): it draws its cells as ever.
bool OutputIsTerminal() { return true; }
void UsePlainLines() {}
bool ShowsPlainLines() { return false; }
bool SayRows(int, int) { return false; }
void SayText(std::string_view) {}

// Sleeps keep a running deadline: each adds its time to it, and the program
// yields only when it is ahead of the clock by a pause worth taking (or when
// the browser has not had a frame for a while). Drawing paced by many 1 ms
// sleeps then keeps its pace on average instead of taking four times as long.
void Sleep(int ms) {
    WebConsole& w = W();
    Flush();
    const double now = qm_now();
    if (w.sleepDeadline < now - kMostLagMs) w.sleepDeadline = now;
    w.sleepDeadline += std::max(ms, 0);
    const double ahead = w.sleepDeadline - now;
    if (ahead >= kShortestYieldMs)
        Yield(static_cast<int>(ahead));
    else if (now - w.lastYield >= kFrameMs)
        Yield(0);
}

uint32_t TickCount() { return static_cast<uint32_t>(static_cast<uint64_t>(qm_now())); }

// The page never runs out of input: the handler is kept for form's sake.
void SetEndOfInputHandler(std::function<void()> handler) { W().endOfInput = std::move(handler); }

// No signal ends a page; the working files live in the page's memory and go
// with it.
void SetAbortCleanup(void (*)()) {}

void DescribePlace(std::string_view place, std::string_view title) {
    qm_place(place.data(), static_cast<int>(place.size()), title.data(), static_cast<int>(title.size()));
}

void DescribeMenu(const std::vector<std::string>& entries, int lit, int top, Rect box) {
    std::string joined;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) joined += '\n';
        joined += entries[i];
    }
    qm_menu(joined.data(), static_cast<int>(joined.size()), entries.empty() ? -1 : lit, top, box.Left, box.Top,
            box.Right, box.Bottom);
}

void DescribeText(Rect window) { qm_text(window.Left, window.Top, window.Right, window.Bottom); }

void DescribeLook(int letterSpacing, bool legacyAspect) { qm_look(letterSpacing, legacyAspect ? 1 : 0); }

// The page draws with its own font until a piece brings one; a font that
// is none the page can draw (a height or count out of range, too few
// bytes) leaves it with its own. Answers whether the page draws the piece's.
bool DescribeFont(std::string_view glyphs, int height, int count) {
    const bool drawable = height >= 1 && height <= 32 && (count == 256 || count == 512) &&
                          glyphs.size() >= static_cast<std::size_t>(height) * static_cast<std::size_t>(count);
    if (!drawable) glyphs = {};
    qm_font(glyphs.data(), static_cast<int>(glyphs.size()), height, count);
    return drawable && !glyphs.empty();
}

// Places are short ("articles/news"); one longer than this is no place of
// this magazine and is not followed.
std::string WantedPlace() {
    std::array<char, 128> place{};
    const int length = qm_wanted(place.data(), static_cast<int>(place.size()));
    return length < static_cast<int>(place.size()) ? std::string(place.data()) : std::string();
}

void ForgetWantedPlace() { qm_forget_wanted(); }

}  // namespace conapi
