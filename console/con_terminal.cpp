// The console API on a POSIX terminal (standard input and output).
//
// The cells live here (term_cells); a flush hands them to the renderer
// (term_screen), which answers the bytes that bring the terminal up to date,
// and writes them with one write(). Key bytes go through the decoder
// (term_keys) into a queue of key records.
//
// The terminal is the user's: raw mode is given back, colours reset and the
// cursor shown whatever way the program ends (normal end, end of input,
// SIGTERM and its kin, a crash that can be caught).
#include "console/con_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "console/conapi.h"
#include "console/cp437.h"
#include "console/term_answers.h"
#include "console/term_cells.h"
#include "console/term_keys.h"
#include "console/term_plain.h"
#include "console/term_screen.h"
#include "console/term_size.h"
#include "console/telnet.h"
#include "sys/sys.h"

namespace {

constexpr uint64_t kMs = 1'000'000;  // nanoseconds
// A KeyPressed that finds no key flushes at most once a frame and asks the
// terminal for input at most once a millisecond: the ANSI renderer asks for
// every byte it draws, and a system call per byte would be most of its cost.
constexpr uint64_t kFrameNs = 16 * kMs;
constexpr uint64_t kPollEveryNs = 1 * kMs;
// Calls of PendingEvents in a row, without a wait or a flush between them,
// that share one look at the clock: the renderer calls it for every byte,
// tens of nanoseconds apart, while a caller that waits between its calls
// looks at the clock every time.
constexpr int kCallsPerClockRead = 8;
// How long the terminal may take to honour the request for 80x25.
constexpr int kResizeWaitMs = 200;
// How long the terminal may take to say where its cursor is, here and over
// a remote connection.
constexpr int kProbeWaitMs = 200;
constexpr int kRemoteProbeWaitMs = 1000;
// A cursor report that comes later than that is still no key.
constexpr uint64_t kLateReportNs = 3000 * kMs;
// The most columns or rows a terminal is taken to have.
constexpr int kLargestSide = 4096;
// How long a board's caller may leave the program's output unread before
// the caller is taken to have gone: a connection that vanished without a
// word would otherwise hold the program in write() for good.
constexpr int kCallerSendTimeoutMs = 20000;

uint64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(ts.tv_nsec);
}

// The same clock at the kernel's tick (a few milliseconds), read without
// asking the hardware: cheap enough for a check on every byte the ANSI
// renderer draws, where the exact clock would be a large part of the cost.
uint64_t CoarseNowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(ts.tv_nsec);
}

// What the signal handlers use: plain values only, all set up before the
// handlers are installed.
struct SignalState {
    volatile sig_atomic_t open = 0;      // between Open and Close
    volatile sig_atomic_t restored = 1;  // the terminal is the user's again
    volatile sig_atomic_t nextRow = 0;   // where the user's shell goes on
    volatile sig_atomic_t termRows = 25;
    volatile sig_atomic_t resized = 0;    // SIGWINCH came
    volatile sig_atomic_t continued = 0;  // SIGCONT came
    volatile sig_atomic_t ownShape = -1;  // the terminal's cursor shape; -1: left alone
    bool ttyIn = false;
    bool board = false;  // a board's caller on a connection
    bool plain = false;  // plain lines: nothing to give back but the modes
    void (*volatile cleanup)() = nullptr;  // the program's files, after the restore
    termios saved{};
    termios raw{};
};
SignalState g_sig;

// Signals that end the process: the terminal is restored, then the signal
// takes its default course.
constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGSEGV, SIGBUS, SIGFPE, SIGABRT, SIGILL};
constexpr int kOtherSignals[] = {SIGTSTP, SIGCONT, SIGWINCH};
constexpr int kSignalCount = std::size(kEndingSignals) + std::size(kOtherSignals);

// What came of writing to the terminal.
struct Written {
    int calls = 0;      // write() calls made
    bool gone = false;  // the output failed for good (closed, a full device)
    int error = 0;      // why, when it did
};

// One write of what is left. A board's socket is shared with the board:
// its own mode stays as the board set it, and each send is made without
// waiting and without SIGPIPE instead.
ssize_t WriteSome(const char* data, std::size_t len) {
    if (g_sig.board) {
        const ssize_t n = send(STDOUT_FILENO, data, len, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0 || errno != ENOTSOCK) return n;
    }
    return write(STDOUT_FILENO, data, len);
}

// Writes all of Data, going on after partial writes and interruptions;
// async-signal-safe.
Written WriteAll(const char* data, std::size_t len) {
    Written w;
    int waitedMs = 0;  // for room to write, since the last byte went
    while (len > 0) {
        const ssize_t n = WriteSome(data, len);
        ++w.calls;
        if (n > 0) {
            data += n;
            len -= static_cast<std::size_t>(n);
            waitedMs = 0;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{STDOUT_FILENO, POLLOUT, 0};
            if (poll(&p, 1, 100) > 0) continue;
            waitedMs += 100;
            // A board's caller who reads nothing for that long is gone; a
            // terminal's bytes that find no room are dropped.
            if (!g_sig.board || waitedMs >= kCallerSendTimeoutMs) {
                w.gone = g_sig.board;
                w.error = EAGAIN;
                break;
            }
        } else if (!(n < 0 && errno == EINTR)) {
            w.gone = true;  // nothing more can be shown
            w.error = n < 0 ? errno : EIO;
            break;
        }
    }
    return w;
}

// Async-signal-safe: fixed bytes, write() and tcsetattr() only.
void RestoreFromSignal() {
    if (g_sig.restored) return;
    g_sig.restored = 1;
    char buf[termscreen::kLeaveMax];
    if (!g_sig.plain)
        WriteAll(buf, termscreen::FormatLeave(buf, g_sig.nextRow, g_sig.termRows, g_sig.ownShape, g_sig.board));
    if (g_sig.ttyIn) tcsetattr(STDIN_FILENO, TCSANOW, &g_sig.saved);
}

void OnEndingSignal(int sig) {
    RestoreFromSignal();
    if (g_sig.cleanup) g_sig.cleanup();
    signal(sig, SIG_DFL);
    raise(sig);  // delivered with the default action once this returns
}

void OnStop(int) {
    const int saved = errno;
    RestoreFromSignal();
    raise(SIGSTOP);
    errno = saved;
}

void OnContinue(int) {
    if (!g_sig.open) return;
    if (g_sig.ttyIn) tcsetattr(STDIN_FILENO, TCSANOW, &g_sig.raw);
    g_sig.restored = 0;
    g_sig.continued = 1;
}

void OnResize(int) { g_sig.resized = 1; }

struct Terminal {
    bool open = false;
    bool utf8 = true;
    termcells::CellBuffer cells;
    conapi::Coord cursor{};
    bool cursorVisible = true;
    bool dirty = true;
    std::optional<termscreen::Renderer> renderer;
    termkeys::KeyInput keys;
    std::deque<conapi::InputRecord> queue;
    std::vector<conapi::InputRecord> decoded;
    int cols = 80;
    int rows = 25;
    bool tooSmall = false;
    termscreen::Options options;
    uint64_t probeEndsNs = 0;  // until then a late answer to the probe is dropped
    int ownShape = -1;         // the terminal's own cursor shape; -1: not known
    bool outputGone = false;   // the terminal can no longer be written to
    termsize::Notice notice;
    bool noticeShown = false;            // the last flush drew the notice
    std::vector<conapi::Cell> composed;  // the cells with the notice over them
    uint64_t lastFlushNs = 0;
    uint64_t lastPollNs = 0;
    int callsBeforeClock = 0;  // PendingEvents calls left before the next clock read
    bool inputEnded = false;
    bool inEndHandler = false;
    bool boardAscii = false;  // the board's caller takes plain ASCII only
    bool telnet = false;      // the connection speaks telnet
    bool plainAsked = false;  // plain lines, whatever the terminal
    termplain::Teller teller;  // what plain lines have sent of the screen
    bool plainLf = false;      // plain lines end in LF alone
    telnet::InputFilter telnetIn;
    std::function<void()> endHandler;
    struct sigaction oldActions[kSignalCount] {};
    conterm::OutputStats stats;
};

// The one terminal, at file scope rather than inside T(): T() runs for
// every cell the program writes, and a function's own static would be
// checked for its construction on every call.
Terminal g_terminal;

Terminal& T() { return g_terminal; }

void WriteOut(const std::string& text) {
    if (text.empty()) return;
    Terminal& t = T();
    const std::string bytes = t.telnet ? telnet::EscapeOutput(text) : text;
    const Written w = WriteAll(bytes.data(), bytes.size());
    t.stats.writeCalls += static_cast<uint64_t>(w.calls);
    t.stats.bytes += bytes.size();
    if (w.gone && !t.outputGone) {
        t.outputGone = true;
        const std::string why =
            std::string("quixmag: the terminal cannot be written to: ") + std::strerror(w.error) + "\n";
        if (write(STDERR_FILENO, why.data(), why.size()) < 0) {}  // stderr may be gone as well
    }
}

void InstallHandlers() {
    Terminal& t = T();
    int i = 0;
    auto install = [&](int sig, void (*handler)(int), int flags) {
        struct sigaction sa {};
        sa.sa_handler = handler;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = flags;
        sigaction(sig, &sa, &t.oldActions[i++]);
    };
    for (int sig : kEndingSignals) install(sig, OnEndingSignal, SA_RESETHAND);
    // A caller who drops makes writes fail, which ends the program through
    // its own exit path, not by the signal.
    if (g_sig.board) signal(SIGPIPE, SIG_IGN);
    install(SIGTSTP, OnStop, SA_RESTART);
    install(SIGCONT, OnContinue, SA_RESTART);
    install(SIGWINCH, OnResize, SA_RESTART);
}

void RemoveHandlers() {
    Terminal& t = T();
    int i = 0;
    for (int sig : kEndingSignals) sigaction(sig, &t.oldActions[i++], nullptr);
    for (int sig : kOtherSignals) sigaction(sig, &t.oldActions[i++], nullptr);
}

// UTF-8 output when the user's locale says so. The program's own locale
// stays "C": only the question is asked. A locale the C library does not
// have (a UTF-8 name on a machine where it is not installed) is judged by
// its name.
bool LocaleIsUtf8() {
    const std::string charset = sys::SystemCharset();
    if (charset.empty())
        return cp437::EnvironmentSaysUtf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
    return cp437::NamesUtf8(charset);
}

bool TrueColour() {
    const char* v = std::getenv("COLORTERM");
    return v && (std::strcmp(v, "truecolor") == 0 || std::strcmp(v, "24bit") == 0);
}

// A reader far away: over SSH (SSH_CONNECTION), or on a board that names
// the caller's host as a login does (REMOTEHOST, as the telnet board does).
bool FarAway() {
    for (const char* name : {"SSH_CONNECTION", "REMOTEHOST"}) {
        const char* v = std::getenv(name);
        if (v && *v) return true;
    }
    return false;
}

// What the terminal said at start; nullopt where it did not say.
struct Probe {
    std::optional<bool> utf8;
    std::optional<int> cursorShape;
    bool answered = false;  // the cursor position came
};

// Asks the terminal itself, with one cursor position request at the end
// whose answer ends the wait:
// - AskShape: its cursor shape, so that the shape can be given back at the
//   end (terminals differ in what "the default shape" means, and it need
//   not be the reader's own);
// - AskUtf8: whether it takes UTF-8: one glyph whose UTF-8 form is three
//   bytes (none of them a C1 control to an 8-bit terminal) is written at
//   the start of the top row; one column on: UTF-8; three columns on: one
//   byte per character.
// A terminal that ignores the shape request might show some of its bytes:
// the glyph is written after a carriage return, and the row is cleared at
// the end. What else came meanwhile (keys) is left in Typed.
Probe ProbeTerminal(bool askUtf8, bool askShape, std::string& typed) {
    std::string ask = "\x1b[H";
    if (askShape) ask += termanswers::kAskCursorShape;
    ask += '\r';
    if (askUtf8) ask += "\xe2\xa0\xbf";
    ask += termanswers::kAskCursorPosition;
    WriteAll(ask.data(), ask.size());
    const uint64_t deadline = NowNs() + static_cast<uint64_t>(FarAway() ? kRemoteProbeWaitMs : kProbeWaitMs) * kMs;
    Probe probe;
    for (uint64_t now = NowNs(); now < deadline; now = NowNs()) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>((deadline - now + kMs - 1) / kMs)) <= 0) continue;
        char buf[256];
        const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) break;
        typed.append(buf, static_cast<std::size_t>(n));
        const termanswers::Answers found = termanswers::Take(typed);
        if (found.shapeAnswered) probe.cursorShape = found.cursorShape;
        if (found.column) {
            probe.answered = true;
            if (askUtf8 && *found.column == 2) probe.utf8 = true;
            if (askUtf8 && *found.column == 4) probe.utf8 = false;
            break;
        }
    }
    WriteAll("\r\x1b[K", 4);  // the probe's glyph goes again
    return probe;
}

// The terminal's size; 80x25 when neither standard output nor standard
// input is a terminal that can say. Any client may report any size (up to
// 65535x65535 over SSH): it is held at a bound no real terminal reaches.
void QuerySize(int& cols, int& rows) {
    cols = conapi::MaxCols;
    rows = 25;
    if (g_sig.board) return;  // a board's caller has an 80x25 screen
    for (int fd : {STDOUT_FILENO, STDIN_FILENO}) {
        winsize ws{};
        if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
            cols = std::min<int>(ws.ws_col, kLargestSide);
            rows = std::min<int>(ws.ws_row, kLargestSide);
            return;
        }
    }
}

// Asks the terminal for 80x25 and gives it a moment to get there. Only
// once, at start: a reader who resizes the terminal later means it, and
// some terminals fail at the next resize after such a request.
void AskForSize(int& cols, int& rows) {
    Terminal& t = T();
    // Only what is missing: a wide terminal keeps its width.
    const int wantRows = std::max(rows, t.cells.Rows());
    const int wantCols = std::max(cols, static_cast<int>(conapi::MaxCols));
    WriteOut("\x1b[8;" + std::to_string(wantRows) + ';' + std::to_string(wantCols) + 't');
    for (int waited = 0; waited < kResizeWaitMs && !g_sig.resized; waited += 10) {
        timespec ts{0, 10 * static_cast<long>(kMs)};
        nanosleep(&ts, nullptr);
    }
    g_sig.resized = 0;
    QuerySize(cols, rows);
}

void UpdateSize(bool atStart = false) {
    Terminal& t = T();
    int cols = 0;
    int rows = 0;
    QuerySize(cols, rows);
    const int consoleRows = t.cells.Rows();
    // Never for a reader far away, whose terminal may not take it.
    if (atStart && termsize::TooSmall(cols, rows, consoleRows) && !FarAway()) AskForSize(cols, rows);
    // Smaller than the console: what fits is drawn, with a notice that
    // the rest is cut off (each time the size changes).
    t.tooSmall = termsize::TooSmall(cols, rows, consoleRows);
    t.notice.SizeIs(cols, rows, consoleRows, NowNs());
    t.cols = cols;
    t.rows = rows;
    g_sig.termRows = rows;
    t.renderer->SetTerminalSize(cols, rows);
}

// Resizes and continuing after a stop, noted by the signal handlers.
void CheckSignals() {
    if (!g_sig.continued && !g_sig.resized) return;
    g_sig.continued = 0;
    g_sig.resized = 0;
    Terminal& t = T();
    t.renderer->Invalidate();
    UpdateSize();
}

// Plain lines end in CR LF, as a board's caller and a terminal take them;
// into a pipe or a file (the switch summary read by another program) they
// end in LF alone, as the lines of every other program there do.
void SayOut(std::string lines) {
    if (!T().plainLf) return WriteOut(lines);
    std::string lf;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (!(lines[i] == '\r' && i + 1 < lines.size() && lines[i + 1] == '\n')) lf += lines[i];
    WriteOut(lf);
}

// Plain lines: the rows that changed, when the reader is to see them.
void SayChanged() {
    Terminal& t = T();
    if (g_sig.plain && t.open) SayOut(t.teller.Changed(t.cells.Data(), t.cells.Rows(), 0, t.cells.Rows() - 1));
}

void Restore() {
    Terminal& t = T();
    if (!g_sig.plain) {
        char buf[termscreen::kLeaveMax];
        const int next = t.renderer->NextFreeRow();
        const std::size_t len = termscreen::FormatLeave(buf, next, t.rows, t.ownShape, g_sig.board);
        WriteOut(std::string(buf, len));
    }
    if (g_sig.ttyIn) tcsetattr(STDIN_FILENO, TCSADRAIN, &g_sig.saved);
    g_sig.restored = 1;
}

void ExpireEscapeIfDue(uint64_t now) {
    Terminal& t = T();
    t.decoded.clear();
    t.keys.ExpireIfDue(now, t.decoded);
    t.queue.insert(t.queue.end(), t.decoded.begin(), t.decoded.end());
}

[[noreturn]] void EndForGood() {
    conapi::Close();
    std::exit(0);
}

// Standard input has ended, or the output is gone: the program leaves
// through its own exit path.
void InputEnded() {
    Terminal& t = T();
    t.inputEnded = true;
    if (t.inEndHandler) return;
    t.inEndHandler = true;
    if (t.endHandler) t.endHandler();
    EndForGood();
}

// Reads what standard input has (poll said it has something).
void ReadInput() {
    Terminal& t = T();
    char buf[512];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n > 0) {
        const uint64_t now = NowNs();
        std::string bytes;
        if (t.telnet)
            t.telnetIn.Take(std::string_view(buf, static_cast<std::size_t>(n)), bytes);
        else
            bytes.assign(buf, static_cast<std::size_t>(n));
        // The answers to the probe, if they come late, are no keys.
        if (now < t.probeEndsNs && termanswers::Take(bytes).column) t.probeEndsNs = 0;
        t.decoded.clear();
        t.keys.Feed(bytes, now, t.decoded);
        auto first = t.decoded.begin();
        // The first key while the notice is up only hides it (a paste is
        // no key: it goes where it goes, whole).
        if (first != t.decoded.end() && first->Type == conapi::EventType::Key && t.notice.KeyPressed(now)) {
            ++first;
            t.dirty = true;
        }
        t.queue.insert(t.queue.end(), first, t.decoded.end());
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        InputEnded();
    }
}

// Nothing can be shown any more: the program leaves as at the end of
// input. Inside the exit path the call returns (at once: the caller's
// waits are cut short, since nobody sees them); answers whether it did.
bool LeaveIfOutputGone() {
    if (!T().outputGone) return false;
    InputEnded();
    return true;
}

// A standard descriptor that is closed is held open on /dev/null, so that
// no file the program opens later takes its number (a save written to the
// terminal's descriptor, the terminal's bytes written into a save). Answers
// whether Fd was closed.
bool HoldIfClosed(int fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) return false;
    const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
        dup2(null, fd);
        close(null);
    }
    return true;
}

// Waits up to TimeoutMs (-1: no limit) for input and reads it. A signal
// cuts the wait short; the caller looks at the signal's flags.
void PollInput(int timeoutMs) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int r = poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) return;
    if (r < 0 || (r > 0 && (p.revents & POLLNVAL))) {
        InputEnded();  // no input to be had
    } else if (r > 0) {
        ReadInput();
    }
}

// A board's connection is a socket, a pipe or a terminal, never a file:
// the caller's screen must not go into one of the board's files.
bool IsConnection(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && (S_ISSOCK(st.st_mode) || S_ISFIFO(st.st_mode) || isatty(fd));
}

bool IsSocket(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISSOCK(st.st_mode);
}

// Something on the board's disk: a file, a folder, a disk.
bool IsOnDisk(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) || S_ISBLK(st.st_mode));
}

// Standard input and output taken without the board naming them: only
// where they plainly are a caller's line, a terminal or a socket. A pipe
// there may be the board's own plumbing, a log it keeps.
bool StdioIsCallersLine() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO})
        if (!isatty(fd) && !IsSocket(fd)) return false;
    return true;
}

std::string UseCallersStdio() {
    if (!StdioIsCallersLine()) return "the handle is -1, and standard input and output are no terminal or socket";
    return {};
}

// The caller on descriptor Handle; or, where the board may have named a
// handle of its own (StdioWhenNoSocket) and it is no socket, on standard
// input and output, with a Note saying so.
std::string UseDescriptor(const conapi::Connection& connection, std::string& note) {
    if (connection.Handle < 0 || connection.Handle > INT32_MAX) return "no descriptor has that number";
    const int fd = static_cast<int>(connection.Handle);
    const std::string name = "descriptor " + std::to_string(fd);
    const int flags = fcntl(fd, F_GETFL);
    if (fd != STDIN_FILENO && connection.StdioWhenNoSocket && !IsSocket(fd) && !IsOnDisk(fd) && StdioIsCallersLine()) {
        note = name + (flags == -1 ? " is not open" : " is no socket") + ": the caller is on standard input and output";
        return {};
    }
    if (flags == -1) return name + " is not open";
    if (fd == STDIN_FILENO) {
        // The board's standard input and output are the connection.
        if (fcntl(STDOUT_FILENO, F_GETFL) == -1) return "standard output is not open";
        if (!IsConnection(STDIN_FILENO) || !IsConnection(STDOUT_FILENO))
            return "standard input and output are no connection (a socket, a pipe or a terminal)";
        return {};
    }
    if (!IsConnection(fd)) return name + " is no connection (a socket, a pipe or a terminal)";
    if ((flags & O_ACCMODE) != O_RDWR) return name + " is not open for reading and writing";
    if (dup2(fd, STDIN_FILENO) < 0 || dup2(fd, STDOUT_FILENO) < 0) return std::strerror(errno);
    if (fd > STDERR_FILENO) close(fd);
    return {};
}

}  // namespace

namespace conterm {
OutputStats Stats() { return T().stats; }
}  // namespace conterm

namespace conapi {

void Open() {
    Terminal& t = T();
    if (t.open) return;
    HoldIfClosed(STDIN_FILENO);
    HoldIfClosed(STDERR_FILENO);
    if (HoldIfClosed(STDOUT_FILENO)) {
        t.outputGone = true;
        const char why[] = "quixmag: the terminal cannot be written to: standard output is closed\n";
        if (write(STDERR_FILENO, why, sizeof why - 1) < 0) {}  // stderr may be gone as well
    }
    t.utf8 = LocaleIsUtf8();
    g_sig.ttyIn = isatty(STDIN_FILENO) != 0;
    if (g_sig.ttyIn && tcgetattr(STDIN_FILENO, &g_sig.saved) == 0) {
        // Raw: every key byte as it comes, no echo, no signals from Ctrl+C
        // or Ctrl+Z, no CR/LF translation in either direction.
        g_sig.raw = g_sig.saved;
        cfmakeraw(&g_sig.raw);
        g_sig.raw.c_cc[VMIN] = 1;
        g_sig.raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSADRAIN, &g_sig.raw);
    } else {
        g_sig.ttyIn = false;
    }
    // A locale that does not say UTF-8 may be wrong (none sent over SSH, or
    // LANG=C in a UTF-8 terminal): the terminal is asked. A terminal that
    // takes cursor shapes is asked for its own; only one that says it gets
    // the console's underline, and exactly its own shape back at the end.
    // One that does not say keeps its shape untouched: no shape sent could
    // be known to be the reader's.
    const char* term = std::getenv("TERM");
    // A terminal that says it is dumb takes no escape code: it gets plain
    // lines, as a reader who asks for them does.
    g_sig.plain = t.plainAsked || (term && std::strcmp(term, "dumb") == 0);
    t.plainLf = !g_sig.board && !isatty(STDOUT_FILENO);
    std::string typed;
    std::optional<int> ownShape;
    if (g_sig.board) t.utf8 = false;  // a PC terminal, and nothing is asked of it
    const bool askUtf8 = !t.utf8 && !g_sig.board && !g_sig.plain;
    const bool askShape = termscreen::TermShapesCursor(term) && !g_sig.board && !g_sig.plain;
    if ((askUtf8 || askShape) && g_sig.ttyIn && isatty(STDOUT_FILENO)) {
        const Probe probe = ProbeTerminal(askUtf8, askShape, typed);
        if (probe.utf8) t.utf8 = *probe.utf8;
        ownShape = probe.cursorShape;
        if (!probe.answered) t.probeEndsNs = NowNs() + kLateReportNs;
    }
    t.options.utf8 = t.utf8;
    // An 8-bit terminal that is no PC terminal would show code page 437
    // bytes as other letters: it gets plain ASCII.
    t.options.asciiOnly = g_sig.plain || (g_sig.board ? t.boardAscii : !t.utf8 && !termscreen::TermTakesCp437(term));
    t.options.trueColor = !g_sig.board && TrueColour();
    t.options.palette256 = !g_sig.board && !t.options.trueColor && termscreen::TermHas256Colours(term);
    t.options.board = g_sig.board;
    // Scrolling by the terminal only where TERM names a terminal known to
    // have it, and not in raw code page 437 mode, whose terminals vary.
    t.options.scroll = t.utf8 && termscreen::TermScrollsRegions(term);
    t.options.cursorShape = ownShape.has_value();
    t.ownShape = ownShape.value_or(-1);
    g_sig.ownShape = t.ownShape;
    t.renderer.emplace(t.options);
    t.keys = termkeys::KeyInput(t.utf8);
    if (!typed.empty()) {
        t.keys.Feed(typed, NowNs(), t.decoded);
        t.queue.insert(t.queue.end(), t.decoded.begin(), t.decoded.end());
    }
    g_sig.restored = 0;
    g_sig.open = 1;
    InstallHandlers();
    static bool atExitSet = false;
    if (!atExitSet) {
        atExitSet = true;
        std::atexit([] { Close(); });
    }
    t.open = true;
    t.cells.Clear(Cell{' ', 7});  // what a fresh PC text screen holds
    // The keypad stays in numeric mode: with NumLock off its keys are the
    // cursor keys in every terminal, with NumLock on they type digits.
    UpdateSize(!g_sig.plain);  // plain lines ask the terminal nothing
    t.renderer->Invalidate();
    t.dirty = true;
    Flush();  // the terminal starts cleared, in a known state
}

void Close() {
    Terminal& t = T();
    if (!t.open) return;
    Flush();
    SayChanged();
    Restore();
    t.open = false;
    g_sig.open = 0;
    RemoveHandlers();
}

int16_t BufferRows() { return static_cast<int16_t>(T().cells.Rows()); }

void SetBufferSize(Coord size) {
    Terminal& t = T();
    t.cells.SetRows(size.Y);
    t.tooSmall = termsize::TooSmall(t.cols, t.rows, t.cells.Rows());
    t.dirty = true;
}

void SetWindow(Rect) {
    // The terminal shows the buffer from its top-left corner: no window.
}

void SetCursorInfo(int, bool visible) {
    T().cursorVisible = visible;
    T().dirty = true;
}

void SetCursorPosition(Coord pos) {
    T().cursor = pos;
    T().dirty = true;
}

void WriteCells(const Cell* cells, Coord size, Rect region) {
    T().cells.Write(cells, size, region);
    T().dirty = true;
}

void ReadCells(Cell* cells, Coord size, Rect region) { T().cells.Read(cells, size, region); }

uint16_t ReadAttribute(Coord pos) { return T().cells.Attribute(pos); }

void FillAttribute(uint16_t attr, int count, Coord pos) {
    T().cells.FillAttribute(attr, count, pos);
    T().dirty = true;
}

void FillCharacter(uint8_t ch, int count, Coord pos) {
    T().cells.FillCharacter(ch, count, pos);
    T().dirty = true;
}

void ScrollRect(Rect scroll, Rect clip, Coord dest, Cell fill) {
    T().cells.Scroll(scroll, clip, dest, fill);
    T().dirty = true;
}

int PendingEvents() {
    Terminal& t = T();
    if (!t.queue.empty() || !t.open) return static_cast<int>(t.queue.size());
    if (t.callsBeforeClock > 0) {
        --t.callsBeforeClock;
        return 0;
    }
    t.callsBeforeClock = kCallsPerClockRead - 1;
    // Both times below are kept on the coarse clock, so they never run
    // ahead of it.
    const uint64_t now = CoarseNowNs();
    if (now - t.lastFlushNs >= kFrameNs) Flush();
    LeaveIfOutputGone();
    if (!t.inputEnded && now - t.lastPollNs >= kPollEveryNs) {
        t.lastPollNs = now;
        PollInput(0);
        ExpireEscapeIfDue(NowNs());
    }
    return static_cast<int>(t.queue.size());
}

void ReadEvent(InputRecord& rec) {
    Terminal& t = T();
    if (t.queue.empty()) return;
    rec = t.queue.front();
    t.queue.pop_front();
}

bool WaitForInput(int timeoutMs) {
    Terminal& t = T();
    const uint64_t start = NowNs();
    const uint64_t deadline = start + static_cast<uint64_t>(timeoutMs < 0 ? 0 : timeoutMs) * kMs;
    SayChanged();
    for (;;) {
        if (!t.queue.empty()) return true;
        Flush();
        LeaveIfOutputGone();  // then as at the end of input
        const uint64_t now = NowNs();
        if (t.inputEnded) {
            // Nothing will ever come: a wait without limit ends the program,
            // a limited one just lets its time pass.
            if (timeoutMs < 0) EndForGood();
            if (now < deadline) Sleep(static_cast<int>((deadline - now + kMs - 1) / kMs));
            return false;
        }
        int wait = -1;
        if (timeoutMs >= 0) {
            if (now >= deadline) return false;
            wait = static_cast<int>((deadline - now + kMs - 1) / kMs);
        }
        // Wake for a pending ESC that is due, and for the notice's end.
        for (const int due : {t.keys.MsUntilDue(now), t.notice.MsUntilHidden(now)})
            if (due >= 0) wait = wait < 0 ? due : std::min(wait, due);
        PollInput(wait);
        ExpireEscapeIfDue(NowNs());
    }
}

void Flush() {
    Terminal& t = T();
    if (!t.open || g_sig.plain) return;
    CheckSignals();
    t.lastFlushNs = CoarseNowNs();
    t.callsBeforeClock = 0;
    const bool notice = t.tooSmall && t.notice.Visible(t.lastFlushNs);
    if (!t.dirty && !t.renderer->FullPending() && notice == t.noticeShown) return;
    termscreen::Frame frame{t.cells.Data(), t.cells.Rows(), t.cursor, t.cursorVisible};
    if (notice) {
        t.composed.assign(t.cells.Data(), t.cells.Data() + static_cast<std::size_t>(t.cells.Rows()) * MaxCols);
        termsize::DrawNotice(t.composed, t.cells.Rows(), t.cols, t.rows);
        frame.cells = t.composed.data();
    }
    t.noticeShown = notice;
    const std::string bytes = t.renderer->Update(frame);
    t.dirty = false;
    WriteOut(bytes);
    g_sig.nextRow = t.renderer->NextFreeRow();
}

void Redraw() {
    Terminal& t = T();
    if (!t.open) return;
    t.teller.Forget();
    t.renderer->Invalidate();
    Flush();
}

void UseTerminalPalette() {
    Terminal& t = T();
    t.options.trueColor = false;
    t.options.palette256 = false;
    if (!t.open) return;
    t.renderer.emplace(t.options);
    t.renderer->SetTerminalSize(t.cols, t.rows);
    t.dirty = true;
}

bool ShowsOnlyAscii() { return T().options.asciiOnly; }

void Sleep(int ms) {
    Flush();
    SayChanged();
    if (LeaveIfOutputGone()) return;
    const uint64_t deadline = NowNs() + static_cast<uint64_t>(ms < 0 ? 0 : ms) * kMs;
    for (;;) {
        const uint64_t now = NowNs();
        if (now >= deadline) return;
        // A board's caller who drops meanwhile ends the program at once;
        // keys typed meanwhile wait in the queue.
        if (g_sig.board && !T().inputEnded) {
            PollInput(static_cast<int>((deadline - now + kMs - 1) / kMs));
            continue;
        }
        const uint64_t left = deadline - now;
        timespec ts{static_cast<time_t>(left / 1'000'000'000u), static_cast<long>(left % 1'000'000'000u)};
        if (nanosleep(&ts, nullptr) != 0 && errno == EINTR) Flush();  // a resize: redraw at once
    }
}

uint32_t TickCount() { return static_cast<uint32_t>(NowNs() / kMs); }

void SetEndOfInputHandler(std::function<void()> handler) { T().endHandler = std::move(handler); }

std::string UseConnection(const Connection& connection, std::string& note) {
    note.clear();
    Terminal& t = T();
    if (t.open) return "the console is already in use";
    const std::string taken = connection.Handle == -1 ? UseCallersStdio() : UseDescriptor(connection, note);
    if (!taken.empty()) return taken;
    g_sig.board = true;
    t.telnet = connection.Telnet;
    t.boardAscii = connection.AsciiOnly;
    return {};
}

void SetAbortCleanup(void (*cleanup)()) { g_sig.cleanup = cleanup; }

bool OutputIsTerminal() { return g_sig.board || isatty(STDOUT_FILENO) != 0; }

void UsePlainLines() { T().plainAsked = true; }

bool ShowsPlainLines() { return T().open ? static_cast<bool>(g_sig.plain) : T().plainAsked; }

bool SayRows(int first, int last) {
    Terminal& t = T();
    if (!g_sig.plain || !t.open) return false;
    const std::string lines = t.teller.Changed(t.cells.Data(), t.cells.Rows(), first, last);
    SayOut(lines);
    return !lines.empty();
}

void SayText(std::string_view text) {
    if (g_sig.plain && T().open) SayOut(termplain::Bytes(text));
}

}  // namespace conapi
