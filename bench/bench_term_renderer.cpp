// The ANSI renderer through the terminal back-end into a pseudo-terminal,
// whose other end a reader thread drains as a terminal emulator would.
//
// For every shipped screen and artwork, and for made-up files of 1 MB:
//  - throughput with pauses off, in MB/s of file bytes, beside the floor
//    that `iconv -f CP437 -t UTF-8` reaches on the same bytes (turning code
//    page 437 into UTF-8 is the least work a terminal output can cost);
//  - the bytes and write() calls one drawing on a cleared screen sends to
//    the terminal, with pauses off and with the pace of the program's start
//    (800), beside a minimum: the UTF-8 bytes of every glyph that is not
//    blank on black, plus the shortest SGR sequence for each change of
//    colour between them in reading order (cursor moves not counted), and
//    a floor: the minimum plus the shortest cursor moves past the blanks.
// Prints a table; never fails.
//
//   bench_term_renderer [SECONDS_PER_FILE] [--truecolor] [--shipped] [--draws N]
// SECONDS_PER_FILE defaults to 0.3; --shipped leaves out the made-up files;
// --draws N draws every file exactly N times instead, a fixed amount of work
// to count instructions or cycles with `perf stat` on a busy machine.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "ansi/ansi_renderer.h"
#include "issue/issue.h"
#include "sys/resources.h"
#include "bench_synthetic.h"
#include "console/con_terminal.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "console/term_screen.h"
#include "tools/content_rules.h"

namespace {

using Clock = std::chrono::steady_clock;

// Results go to the standard output the program was started with; the
// program's own standard input and output become the pseudo-terminal.
int g_report = STDOUT_FILENO;

template <typename... Args>
void Report(const char* format, Args... args) {
    dprintf(g_report, format, args...);
}

// The terminal side of the pseudo-terminal: reads everything the program
// writes, as fast as it comes, and counts it.
class Drain {
public:
    explicit Drain(int master) : master_(master), thread_([this] { Run(); }) {}
    ~Drain() {
        stop_ = true;
        thread_.join();
    }
    Drain(const Drain&) = delete;
    Drain& operator=(const Drain&) = delete;

    uint64_t Bytes() const { return bytes_; }
    // Waits until the reader has taken Count bytes in all (at most a second).
    void WaitFor(uint64_t count) const {
        const auto until = Clock::now() + std::chrono::seconds(1);
        while (bytes_ < count && Clock::now() < until) std::this_thread::yield();
    }

private:
    void Run() {
        std::array<char, 65536> buf{};
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = read(master_, buf.data(), buf.size());
            if (n > 0) bytes_ += static_cast<uint64_t>(n);
        }
    }

    int master_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> bytes_{0};
    std::thread thread_;
};

// Opens a pseudo-terminal of 80x25 and makes its slave side the program's
// standard input and output. Answers the master side, or -1.
int OpenPty() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
    const char* name = ptsname(master);
    const int slave = name ? open(name, O_RDWR | O_NOCTTY) : -1;
    if (slave < 0) return -1;
    winsize ws{};
    ws.ws_row = 25;
    ws.ws_col = 80;
    ioctl(slave, TIOCSWINSZ, &ws);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    close(slave);
    return master;
}

bool WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Length of the shortest SGR sequence from colours From to To: it names
// only the half (foreground or background) that changes, or both.
std::size_t SgrBytes(int from, int to, bool trueColor) {
    const std::string both = termscreen::SgrParams(static_cast<uint8_t>(to), trueColor);
    const std::size_t split = trueColor ? both.find(";48;2;") : both.find(';');
    const bool fg = (from & 0x0F) != (to & 0x0F);
    const bool bg = (from & 0xF0) != (to & 0xF0);
    const std::size_t params = fg && bg ? both.size() : fg ? split : both.size() - split - 1;
    return 3 + params;  // ESC [ params m
}

// The least a terminal must receive to show the console's cells, when it
// starts cleared to blanks on black in attribute 7.
// Digits of N.
std::size_t Digits(int n) { return std::to_string(n).size(); }

// The fewest bytes that take a cursor standing at Row, Col (Col may be 80:
// past the row's end) to NextRow, NextCol, when every cell skipped is blank:
// spaces, a move to the right, the start of a lower row by CR and line
// feeds plus a move to the right, or an absolute move.
uint64_t ShortestMove(int row, int col, int nextRow, int nextCol) {
    auto right = [](int n) -> uint64_t { return n <= 0 ? 0 : std::min<uint64_t>(n, n == 1 ? 3 : 3 + Digits(n)); };
    if (row == nextRow && nextCol >= col) return right(nextCol - col);
    const uint64_t absolute = 3 + Digits(nextRow + 1) + (nextCol > 0 ? 1 + Digits(nextCol + 1) : 0);
    if (nextRow <= row) return absolute;
    return std::min<uint64_t>(absolute, 1 + (nextRow - row) + right(nextCol));
}

// The same least bytes, plus the fewest bytes that move the cursor past
// the blank cells between the glyphs (cursor moves are the one cost the
// minimum leaves out, though no screen with gaps can be drawn without).
uint64_t FloorBytes(bool trueColor);

// The least bytes of the screen's glyphs and colour changes, plus, with
// Moves, the fewest bytes that bring the cursor to each glyph.
uint64_t LeastBytes(bool trueColor, bool moves) {
    std::array<conapi::Cell, 80 * 25> cells{};
    conapi::ReadCells(cells.data(), conapi::Coord{80, 25}, conapi::Rect{0, 0, 79, 24});
    uint64_t bytes = 0;
    int current = 7;
    int row = 0;
    int col = 0;
    for (int i = 0; i < 80 * 25; ++i) {
        const conapi::Cell& c = cells[i];
        const auto ch = static_cast<uint8_t>(c.Char);
        const auto attr = static_cast<uint8_t>(c.Attr);
        const bool emptyGlyph = ch == 0 || ch == ' ' || ch == 0xFF;
        if (emptyGlyph && (attr & 0xF0) == 0) continue;
        if (moves) {
            bytes += ShortestMove(row, col, i / 80, i % 80);
            row = i / 80;
            col = i % 80 + 1;
        }
        bytes += termscreen::GlyphBytes(emptyGlyph ? ' ' : ch, true).size();
        // A blank shows only its background: the foreground may stay.
        const int needed = emptyGlyph ? ((attr & 0xF0) | (current & 0x0F)) : attr;
        if (needed != current) {
            bytes += SgrBytes(current, needed, trueColor);
            current = needed;
        }
    }
    return bytes;
}

uint64_t MinimumBytes(bool trueColor) { return LeastBytes(trueColor, false); }

uint64_t FloorBytes(bool trueColor) { return LeastBytes(trueColor, true); }

struct Sent {
    uint64_t bytes = 0;
    uint64_t writes = 0;
};

// One drawing on a cleared screen: what it sent to the terminal.
Sent DrawOnce(const std::string& path, int32_t pause) {
    SetTextAttr(7);
    ClearScreen();
    conapi::Flush();
    const conterm::OutputStats before = conterm::Stats();
    ShowAnsiFile(path, pause);
    conapi::Flush();
    const conterm::OutputStats after = conterm::Stats();
    return {after.bytes - before.bytes, after.writeCalls - before.writeCalls};
}

// Draws the file over and over, pauses off, for at least MinSeconds; the
// terminal is brought up to date at the end. Answers MB/s of file bytes and
// adds the bytes drawn and the time taken to Bytes and Spent.
double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

long g_fixedDraws = 0;  // --draws: this many drawings per file instead of a time

double Throughput(const std::string& path, std::size_t size, double minSeconds, const Drain& drain, double& bytesDrawn,
                  double& spent, double& cpuSpent) {
    long draws = 0;
    double seconds = 0;
    const double cpuStart = ThreadCpuSeconds();
    const auto start = Clock::now();
    do {
        SetTextAttr(7);
        ClearScreen();
        ShowAnsiFile(path, 0);
        ++draws;
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (g_fixedDraws > 0 ? draws < g_fixedDraws : (seconds < minSeconds || draws < 3));
    conapi::Flush();
    drain.WaitFor(conterm::Stats().bytes);
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    bytesDrawn += static_cast<double>(size) * static_cast<double>(draws);
    spent += seconds;
    cpuSpent += ThreadCpuSeconds() - cpuStart;
    return static_cast<double>(size) * static_cast<double>(draws) / 1e6 / seconds;
}

// MB/s of iconv turning the bytes (repeated to at least 4 MB, so that the
// start of the process does not count) from code page 437 into UTF-8.
double IconvFloor(std::string_view bytes, const std::string& scratch) {
    if (bytes.empty()) return 0;
    std::string big;
    while (big.size() < (4u << 20)) big.append(bytes);
    if (!WriteFile(scratch, big)) return 0;
    const std::string command = "iconv -f CP437 -t UTF-8 '" + scratch + "' >/dev/null 2>&1 </dev/null";
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (status != 0) return 0;
    return static_cast<double>(big.size()) / 1e6 / seconds;
}

struct Totals {
    uint64_t file = 0, sent = 0, sentPaced = 0, minimum = 0, writes = 0, writesPaced = 0, floor = 0;
    double drawn = 0, seconds = 0, cpu = 0;  // of the throughput runs
};

void Measure(const std::string& name, std::string_view bytes, double minSeconds, bool trueColor,
             const std::string& path, const std::string& scratch, const Drain& drain, Totals& totals) {
    if (!WriteFile(path, bytes)) {
        Report("cannot write %s\n", path.c_str());
        return;
    }
    const Sent fast = DrawOnce(path, 0);
    const uint64_t minimum = MinimumBytes(trueColor);
    const uint64_t floorBytes = FloorBytes(trueColor);
    const Sent paced = DrawOnce(path, 800);
    const double mbs = Throughput(path, bytes.size(), minSeconds, drain, totals.drawn, totals.seconds, totals.cpu);
    const double floor = IconvFloor(bytes, scratch);
    Report("%-18s %8zu %8.2f %8.2f %6.2f %9llu %6llu %9llu %6llu %8llu %6.2f %8llu %7.2f\n", name.c_str(), bytes.size(),
           mbs, floor, floor > 0 ? mbs / floor : 0.0, static_cast<unsigned long long>(fast.bytes),
           static_cast<unsigned long long>(fast.writes), static_cast<unsigned long long>(paced.bytes),
           static_cast<unsigned long long>(paced.writes), static_cast<unsigned long long>(minimum),
           minimum ? static_cast<double>(fast.bytes) / static_cast<double>(minimum) : 0.0,
           static_cast<unsigned long long>(floorBytes),
           floorBytes ? static_cast<double>(fast.bytes) / static_cast<double>(floorBytes) : 0.0);
    totals.file += bytes.size();
    totals.sent += fast.bytes;
    totals.sentPaced += paced.bytes;
    totals.minimum += minimum;
    totals.floor += floorBytes;
    totals.writes += fast.writes;
    totals.writesPaced += paced.writes;
}

}  // namespace

int main(int argc, char** argv) {
    double minSeconds = 0.3;
    bool trueColor = false;
    bool shippedOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--truecolor") == 0)
            trueColor = true;
        else if (std::strcmp(argv[i], "--shipped") == 0)
            shippedOnly = true;
        else if (std::strcmp(argv[i], "--draws") == 0 && i + 1 < argc)
            g_fixedDraws = std::atol(argv[++i]);
        else
            minSeconds = std::atof(argv[i]);
    }
    // A UTF-8 terminal, with true colour only when asked for.
    setenv("LC_ALL", "C.UTF-8", 1);
    if (trueColor)
        setenv("COLORTERM", "truecolor", 1);
    else
        unsetenv("COLORTERM");

    g_report = dup(STDOUT_FILENO);
    const int master = OpenPty();
    if (master < 0) {
        Report("no pseudo-terminal: %s\n", std::strerror(errno));
        return 0;
    }
    const std::string tmp = std::filesystem::temp_directory_path().string();
    const std::string path = tmp + "/bench-term-" + std::to_string(getpid()) + ".ans";
    const std::string scratch = tmp + "/bench-term-iconv-" + std::to_string(getpid()) + ".bin";
    {
        const Drain drain(master);
        InitConsole();
        Report("ANSI renderer -> terminal back-end -> pseudo-terminal (UTF-8, %s colour), %.2f s or more per file\n",
               trueColor ? "24-bit" : "16", minSeconds);
        Report("%-18s %8s %8s %8s %6s %9s %6s %9s %6s %8s %6s %8s %7s\n", "file", "bytes", "MB/s", "iconv", "ratio",
               "sent", "writes", "sent@800", "writes", "minimum", "x min", "floor", "x floor");
        Totals totals;
        issue::Issue builtIn;
        std::string issueError;
        if (!builtIn.TakeBuiltIn(issueError)) Report("the built-in issue cannot be read: %s\n", issueError.c_str());
        for (const contentrules::CatalogueEntry& entry : contentrules::Catalogue(builtIn.Contents)) {
            if (entry.Type != contentrules::Kind::Screen && entry.Type != contentrules::Kind::Twin &&
                entry.Type != contentrules::Kind::Piece)
                continue;
            const ResourceData* res = FindResource(entry.Name);
            if (!res) continue;
            Measure(entry.Name, std::string_view(reinterpret_cast<const char*>(res->Data), res->Size), minSeconds,
                    trueColor, path, scratch, drain, totals);
        }
        Report("%-18s %8llu %8.2f %8s %6s %9llu %6llu %9llu %6llu %8llu %6.2f %8llu %7.2f\n", "all shipped",
               static_cast<unsigned long long>(totals.file),
               totals.seconds > 0 ? totals.drawn / 1e6 / totals.seconds : 0.0, "", "",
               static_cast<unsigned long long>(totals.sent), static_cast<unsigned long long>(totals.writes),
               static_cast<unsigned long long>(totals.sentPaced), static_cast<unsigned long long>(totals.writesPaced),
               static_cast<unsigned long long>(totals.minimum),
               totals.minimum ? static_cast<double>(totals.sent) / static_cast<double>(totals.minimum) : 0.0,
               static_cast<unsigned long long>(totals.floor),
               totals.floor ? static_cast<double>(totals.sent) / static_cast<double>(totals.floor) : 0.0);
        Report("all shipped: %.2f MB/s of wall time, %.2f MB/s of the drawing thread's CPU time\n",
               totals.seconds > 0 ? totals.drawn / 1e6 / totals.seconds : 0.0,
               totals.cpu > 0 ? totals.drawn / 1e6 / totals.cpu : 0.0);
        Totals ignored;
        if (!shippedOnly) {
            Measure("synthetic art 1MB", benchdata::ScreenArt(1 << 20), minSeconds, trueColor, path, scratch, drain,
                    ignored);
            Measure("scrolling 1MB", benchdata::ScrollingText(1 << 20), minSeconds, trueColor, path, scratch, drain,
                    ignored);
        }
        Report("(sent, writes: one drawing on a cleared screen with pauses off; sent@800: at the start-up pace;\n"
               " minimum: glyph bytes in UTF-8 plus one SGR per colour change, for the final picture;\n"
               " floor: the minimum plus the shortest cursor moves past the blanks between glyphs)\n");
        DoneConsole();
    }
    std::filesystem::remove(path);
    std::filesystem::remove(scratch);
    close(master);
    return 0;
}
