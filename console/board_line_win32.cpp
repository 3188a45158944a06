// The console API over a board's socket on Windows. The cells live here; a
// flush hands them to the renderer, which answers the bytes that bring the
// caller's terminal up to date, and sends them at once. The caller's bytes
// go through telnet's framing (where the board says telnet) and the key
// decoder into a queue of key records. A caller who drops (the connection
// closed or reset, a send that fails or finds no room for long) ends the
// program through its end-of-input path.
//
// The socket is the board's as much as the door's: its mode is left as the
// board set it, and it is neither shut down nor closed here. A thread of
// its own reads it and hands what comes to the program's waits through an
// event: the waits then need nothing of the socket, which is what lets a
// handle that Windows sockets do not know as one of this process's (Wine
// inherits them so) be read and written as the file it also is.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <optional>
#include <vector>

#include "console/board_line.h"
#include "console/telnet.h"
#include "console/term_cells.h"
#include "console/term_keys.h"
#include "console/term_plain.h"
#include "console/term_screen.h"

namespace {

constexpr uint64_t kMs = 1'000'000;  // nanoseconds
// As on a terminal: a KeyPressed that finds no key flushes at most once a
// frame and looks at the socket at most once a millisecond.
constexpr uint64_t kFrameNs = 16 * kMs;
constexpr uint64_t kPollEveryNs = 1 * kMs;
// How long a caller may leave the output unread before being taken to
// have gone.
constexpr int kCallerSendTimeoutMs = 20000;

// What the reading thread hands over, under the lock.
struct Arrivals {
    SRWLOCK lock = SRWLOCK_INIT;
    std::string bytes;
    bool ended = false;           // the caller's end closed or failed
    HANDLE ready = nullptr;       // set while Bytes or Ended has news
};

struct Line {
    bool active = false;
    bool open = false;
    HANDLE handle = nullptr;
    bool winsock = false;  // Windows sockets know the handle; else file I/O
    bool telnet = false;
    bool plain = false;  // plain lines (console/term_plain.h), no screen
    termplain::Teller teller;
    termscreen::Options options;
    termcells::CellBuffer cells;
    std::optional<termscreen::Renderer> renderer;
    termkeys::KeyInput keys{false};
    telnet::InputFilter telnetIn;
    std::deque<conapi::InputRecord> queue;
    std::vector<conapi::InputRecord> decoded;
    conapi::Coord cursor{};
    bool cursorVisible = true;
    bool dirty = true;
    uint64_t lastFlushNs = 0;
    uint64_t lastPollNs = 0;
    bool inputEnded = false;
    bool outputGone = false;
    bool inEndHandler = false;
    std::function<void()> endHandler;
    Arrivals arrivals;
};

Line g_line;

uint64_t NowNs() { return GetTickCount64() * kMs; }

SOCKET AsSocket(HANDLE h) { return reinterpret_cast<SOCKET>(h); }

// Waits up to Ms (-1: no limit) until the socket can be read or written.
bool SocketReady(HANDLE h, bool forWriting, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(AsSocket(h), &set);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, ms < 0 ? nullptr : &tv) > 0;
}

// One read or write of the handle as a file, waiting for it to complete:
// the bytes moved, 0 when it failed. A socket's handle is overlapped, so
// the request may complete later; on other handles the same call waits.
DWORD FileIo(bool write, char* buf, DWORD size) {
    const HANDLE h = g_line.handle;
    OVERLAPPED io{};
    io.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!io.hEvent) return 0;
    DWORD done = 0;
    const BOOL now = write ? WriteFile(h, buf, size, &done, &io) : ReadFile(h, buf, size, &done, &io);
    if (!now && (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(h, &io, &done, TRUE))) done = 0;
    CloseHandle(io.hEvent);
    return done;
}

// One read of the caller's bytes: their count, 0 at the end.
int ReadSome(char* buf, int size) {
    const Line& l = g_line;
    if (l.winsock) {
        for (;;) {
            const int n = recv(AsSocket(l.handle), buf, size, 0);
            if (n >= 0) return n;
            // A board's socket may be one that does not wait.
            if (WSAGetLastError() != WSAEWOULDBLOCK || !SocketReady(l.handle, false, -1)) return 0;
        }
    }
    return static_cast<int>(FileIo(false, buf, static_cast<DWORD>(size)));
}

DWORD WINAPI ReadCaller(void*) {
    Arrivals& a = g_line.arrivals;
    char buf[512];
    for (;;) {
        const int n = ReadSome(buf, sizeof buf);
        AcquireSRWLockExclusive(&a.lock);
        if (n > 0)
            a.bytes.append(buf, static_cast<std::size_t>(n));
        else
            a.ended = true;
        SetEvent(a.ready);
        ReleaseSRWLockExclusive(&a.lock);
        if (n <= 0) return 0;
    }
}

bool WriteSome(const char* data, int size, int& written) {
    const Line& l = g_line;
    if (l.winsock) {
        for (;;) {
            written = send(AsSocket(l.handle), data, size, 0);
            if (written > 0) return true;
            // A caller who takes nothing for long is gone.
            if (written == 0 || WSAGetLastError() != WSAEWOULDBLOCK ||
                !SocketReady(l.handle, true, kCallerSendTimeoutMs))
                return false;
        }
    }
    written = static_cast<int>(FileIo(true, const_cast<char*>(data), static_cast<DWORD>(size)));
    return written > 0;
}

bool SendAll(const std::string& bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        int written = 0;
        if (!WriteSome(data, static_cast<int>(std::min<std::size_t>(left, 1 << 20)), written)) return false;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

void WriteOut(const std::string& text) {
    Line& l = g_line;
    if (text.empty() || l.outputGone) return;
    if (!SendAll(l.telnet ? telnet::EscapeOutput(text) : text)) l.outputGone = true;
}

[[noreturn]] void EndForGood() {
    conapi::Close();
    std::exit(0);
}

// The caller has gone: the program leaves through its own exit path.
// Inside that path the call returns, so that its waits are cut short.
void InputEnded() {
    Line& l = g_line;
    l.inputEnded = true;
    if (l.inEndHandler) return;
    l.inEndHandler = true;
    if (l.endHandler) l.endHandler();
    EndForGood();
}

// Plain lines: the rows that changed, when the caller is to see them.
void SayChanged() {
    Line& l = g_line;
    if (l.plain && l.open) WriteOut(l.teller.Changed(l.cells.Data(), l.cells.Rows(), 0, l.cells.Rows() - 1));
}

bool LeaveIfOutputGone() {
    if (!g_line.outputGone) return false;
    InputEnded();
    return true;
}

// Waits up to Ms (-1: no limit) for the caller's bytes and takes them.
void PollInput(int ms) {
    Line& l = g_line;
    Arrivals& a = l.arrivals;
    if (WaitForSingleObject(a.ready, ms < 0 ? INFINITE : static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return;
    AcquireSRWLockExclusive(&a.lock);
    std::string bytes;
    bytes.swap(a.bytes);
    const bool ended = a.ended;
    ResetEvent(a.ready);
    ReleaseSRWLockExclusive(&a.lock);
    if (!bytes.empty()) {
        std::string keys;
        if (l.telnet)
            l.telnetIn.Take(bytes, keys);
        else
            keys.swap(bytes);
        l.decoded.clear();
        l.keys.Feed(keys, NowNs(), l.decoded);
        l.queue.insert(l.queue.end(), l.decoded.begin(), l.decoded.end());
    }
    if (ended) InputEnded();
}

void ExpireEscapeIfDue() {
    Line& l = g_line;
    l.decoded.clear();
    l.keys.ExpireIfDue(NowNs(), l.decoded);
    l.queue.insert(l.queue.end(), l.decoded.begin(), l.decoded.end());
}

}  // namespace

namespace boardline {

std::string Use(const conapi::Connection& connection) {
    Line& l = g_line;
    if (connection.Handle == 0) return "a board on Windows hands its door a socket, named in a DOOR32.SYS";
    // Standard input and output are no caller's line on Windows.
    if (connection.Handle < 0) return "the handle is -1: a board on Windows hands its door the caller's socket";
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return "Windows sockets cannot be used";
    const auto handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(connection.Handle));
    const std::string name = "handle " + std::to_string(connection.Handle);
    int type = 0;
    int size = sizeof type;
    l.winsock = getsockopt(AsSocket(handle), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &size) == 0;
    if (l.winsock && type != SOCK_STREAM) return name + " is no stream socket";
    // Sockets (and pipes) are of the pipe type to the file functions.
    if (!l.winsock && GetFileType(handle) != FILE_TYPE_PIPE) return name + " is no socket";
    l.arrivals.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!l.arrivals.ready) return "no event for the caller's keys";
    l.handle = handle;
    HANDLE reader = CreateThread(nullptr, 0, ReadCaller, nullptr, 0, nullptr);
    if (!reader) return "no thread to read the caller's keys";
    CloseHandle(reader);  // it ends with the connection, or with the process
    l.telnet = connection.Telnet;
    l.options.utf8 = false;
    l.options.board = true;
    l.options.asciiOnly = connection.AsciiOnly;
    l.active = true;
    return {};
}

bool Active() { return g_line.active; }

void Open() {
    Line& l = g_line;
    if (l.open) return;
    l.renderer.emplace(l.options);
    l.renderer->SetTerminalSize(conapi::MaxCols, 25);
    l.cells.Clear(conapi::Cell{' ', 7});
    l.open = true;
    static bool atExitSet = false;
    if (!atExitSet) {
        atExitSet = true;
        std::atexit([] { conapi::Close(); });
    }
    l.renderer->Invalidate();
    l.dirty = true;
    Flush();
}

void Close() {
    Line& l = g_line;
    if (!l.open) return;
    Flush();
    SayChanged();
    if (!l.plain) {
        char buf[termscreen::kLeaveMax];
        WriteOut(std::string(buf, termscreen::FormatLeave(buf, l.renderer->NextFreeRow(), 25, -1, true)));
    }
    l.open = false;
}

int16_t BufferRows() { return static_cast<int16_t>(g_line.cells.Rows()); }

void SetBufferSize(conapi::Coord size) {
    g_line.cells.SetRows(size.Y);
    g_line.dirty = true;
}

void SetCursorInfo(bool visible) {
    g_line.cursorVisible = visible;
    g_line.dirty = true;
}

void SetCursorPosition(conapi::Coord pos) {
    g_line.cursor = pos;
    g_line.dirty = true;
}

void WriteCells(const conapi::Cell* cells, conapi::Coord size, conapi::Rect region) {
    g_line.cells.Write(cells, size, region);
    g_line.dirty = true;
}

void ReadCells(conapi::Cell* cells, conapi::Coord size, conapi::Rect region) { g_line.cells.Read(cells, size, region); }

uint16_t ReadAttribute(conapi::Coord pos) { return g_line.cells.Attribute(pos); }

void FillAttribute(uint16_t attr, int count, conapi::Coord pos) {
    g_line.cells.FillAttribute(attr, count, pos);
    g_line.dirty = true;
}

void FillCharacter(uint8_t ch, int count, conapi::Coord pos) {
    g_line.cells.FillCharacter(ch, count, pos);
    g_line.dirty = true;
}

void ScrollRect(conapi::Rect scroll, conapi::Rect clip, conapi::Coord dest, conapi::Cell fill) {
    g_line.cells.Scroll(scroll, clip, dest, fill);
    g_line.dirty = true;
}

int PendingEvents() {
    Line& l = g_line;
    if (!l.queue.empty() || !l.open) return static_cast<int>(l.queue.size());
    const uint64_t now = NowNs();
    if (now - l.lastFlushNs >= kFrameNs) Flush();
    LeaveIfOutputGone();
    if (!l.inputEnded && now - l.lastPollNs >= kPollEveryNs) {
        l.lastPollNs = now;
        PollInput(0);
        ExpireEscapeIfDue();
    }
    return static_cast<int>(l.queue.size());
}

void ReadEvent(conapi::InputRecord& rec) {
    Line& l = g_line;
    if (l.queue.empty()) return;
    rec = l.queue.front();
    l.queue.pop_front();
}

bool WaitForInput(int timeoutMs) {
    Line& l = g_line;
    const uint64_t deadline = NowNs() + static_cast<uint64_t>(std::max(timeoutMs, 0)) * kMs;
    SayChanged();
    for (;;) {
        if (!l.queue.empty()) return true;
        Flush();
        LeaveIfOutputGone();
        const uint64_t now = NowNs();
        if (l.inputEnded) {
            if (timeoutMs < 0) EndForGood();
            if (now < deadline) ::Sleep(static_cast<DWORD>((deadline - now) / kMs));
            return false;
        }
        int wait = -1;
        if (timeoutMs >= 0) {
            if (now >= deadline) return false;
            wait = static_cast<int>((deadline - now + kMs - 1) / kMs);
        }
        const int due = l.keys.MsUntilDue(now);  // a lone ESC becomes the Esc key
        if (due >= 0) wait = wait < 0 ? due : std::min(wait, due);
        PollInput(wait);
        ExpireEscapeIfDue();
    }
}

void Flush() {
    Line& l = g_line;
    if (!l.open || l.plain) return;
    l.lastFlushNs = NowNs();
    if (!l.dirty && !l.renderer->FullPending()) return;
    const termscreen::Frame frame{l.cells.Data(), l.cells.Rows(), l.cursor, l.cursorVisible};
    const std::string bytes = l.renderer->Update(frame);
    l.dirty = false;
    WriteOut(bytes);
}

void Redraw() {
    Line& l = g_line;
    if (!l.open) return;
    l.teller.Forget();
    l.renderer->Invalidate();
    Flush();
}

bool ShowsOnlyAscii() { return g_line.options.asciiOnly || g_line.plain; }

void UsePlainLines() { g_line.plain = true; }
bool ShowsPlainLines() { return g_line.active && g_line.plain; }

bool SayRows(int first, int last) {
    Line& l = g_line;
    if (!l.plain || !l.open) return false;
    const std::string lines = l.teller.Changed(l.cells.Data(), l.cells.Rows(), first, last);
    WriteOut(lines);
    return !lines.empty();
}

void SayText(std::string_view text) {
    if (g_line.plain && g_line.open) WriteOut(termplain::Bytes(text));
}

void Sleep(int ms) {
    Line& l = g_line;
    Flush();
    SayChanged();
    if (LeaveIfOutputGone()) return;
    const uint64_t deadline = NowNs() + static_cast<uint64_t>(std::max(ms, 0)) * kMs;
    // Watching the socket meanwhile: a caller who drops ends the program at
    // once, and keys typed meanwhile wait in the queue.
    for (uint64_t now = NowNs(); now < deadline; now = NowNs()) {
        const int left = static_cast<int>((deadline - now + kMs - 1) / kMs);
        if (l.inputEnded)
            ::Sleep(static_cast<DWORD>(left));
        else
            PollInput(left);
    }
}

void SetEndOfInputHandler(std::function<void()> handler) { g_line.endHandler = std::move(handler); }

}  // namespace boardline
