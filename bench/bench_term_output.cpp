// Terminal output figures: bytes and write() calls for one full 80x25
// screen of varied colours, against the least that screen can cost (its
// glyph bytes plus one SGR per colour change); the write() calls of a
// screen drawn cell by cell the way the ANSI renderer draws; and the cost of
// one PendingEvents() with no key waiting, and the CPU an idle wait costs.
//
// The terminal is a pseudo-terminal of its own, 80x25, that a thread
// drains, so that the figures do not depend on where the benchmark's output
// goes; "bench_term_output null" writes to /dev/null instead. It prints figures
// and never fails on a number.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "console/con_terminal.h"
#include "console/conapi.h"
#include "console/cp437.h"
#include "console/term_screen.h"

namespace {

using Clock = std::chrono::steady_clock;

// Where the report goes: the benchmark's own standard output, kept aside
// before the terminal takes that descriptor.
FILE* g_report = nullptr;

// An ANSI-art-like screen: runs of 1..12 cells in one colour, a mix of
// letters, blocks and box drawing.
std::vector<conapi::Cell> ArtScreen() {
    std::mt19937 rng(437);
    const std::string glyphs = "abcdefghij \xB0\xB1\xB2\xDB\xDC\xDF\xC4\xCD\xB3\xBA";
    std::vector<conapi::Cell> cells(80 * 25);
    uint16_t attr = 7;
    int run = 0;
    for (auto& c : cells) {
        if (run-- <= 0) {
            attr = static_cast<uint16_t>(rng() % 256);
            run = 1 + static_cast<int>(rng() % 12);
        }
        c.Char = static_cast<uint8_t>(glyphs[rng() % glyphs.size()]);
        c.Attr = attr;
    }
    return cells;
}

// One colour's SGR parameters: Base is 30 (foreground) or 40 (background).
std::string ColourParams(int base, int colour, bool trueColor) {
    if (trueColor) {
        const auto& c = termscreen::kVgaPalette[colour];
        return std::to_string(base + 8) + ";2;" + std::to_string(c.r) + ';' + std::to_string(c.g) + ';' +
               std::to_string(c.b);
    }
    constexpr int kAnsiOf[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    return std::to_string((colour < 8 ? base : base + 60) + kAnsiOf[colour & 7]);
}

// The bytes of an SGR that sets only what changed between two attributes.
std::size_t SgrCost(int from, int to, bool trueColor) {
    std::string params;
    if (from < 0 || (from & 15) != (to & 15)) params = ColourParams(30, to & 15, trueColor);
    if (from < 0 || (from >> 4) != (to >> 4)) {
        if (!params.empty()) params += ';';
        params += ColourParams(40, to >> 4, trueColor);
    }
    return params.size() + 3;  // ESC [ ... m
}

std::size_t MinimumBytes(const std::vector<conapi::Cell>& cells, bool utf8, bool trueColor) {
    std::size_t bytes = 0;
    int attr = -1;
    for (const auto& c : cells) {
        bytes += utf8 ? cp437::GlyphUtf8(static_cast<uint8_t>(c.Char)).size() : 1;
        if (c.Attr != attr) bytes += SgrCost(attr, c.Attr, trueColor);
        attr = c.Attr;
    }
    return bytes;
}

void WriteScreen(const std::vector<conapi::Cell>& cells) {
    conapi::WriteCells(cells.data(), conapi::Coord{80, 25}, conapi::Rect{0, 0, 79, 24});
}

void FullScreen(const char* label, const char* lang, const char* colorterm) {
    setenv("LANG", lang, 1);
    if (colorterm)
        setenv("COLORTERM", colorterm, 1);
    else
        unsetenv("COLORTERM");
    const bool utf8 = std::strstr(lang, "UTF-8") != nullptr;
    conapi::Open();
    conapi::SetCursorInfo(15, false);
    conapi::Flush();
    const auto cells = ArtScreen();
    const auto before = conterm::Stats();
    WriteScreen(cells);
    conapi::Flush();
    const auto after = conterm::Stats();
    const std::size_t bytes = after.bytes - before.bytes;
    const std::size_t minimum = MinimumBytes(cells, utf8, colorterm != nullptr);
    std::fprintf(g_report, "  %-24s %6zu bytes in %llu write() (minimum %zu, +%.1f%%)\n", label, bytes,
                 static_cast<unsigned long long>(after.writeCalls - before.writeCalls), minimum,
                 100.0 * (static_cast<double>(bytes) - minimum) / minimum);
    conapi::Close();
}

// The ANSI renderer's way: one cell at a time, KeyPressed between cells,
// no pauses.
void CellByCell() {
    setenv("LANG", "C.UTF-8", 1);
    setenv("COLORTERM", "truecolor", 1);
    conapi::Open();
    const auto cells = ArtScreen();
    const auto before = conterm::Stats();
    const auto start = Clock::now();
    for (int i = 0; i < 80 * 25; ++i) {
        const auto x = static_cast<int16_t>(i % 80), y = static_cast<int16_t>(i / 80);
        conapi::WriteCells(&cells[i], conapi::Coord{1, 1}, conapi::Rect{x, y, x, y});
        conapi::SetCursorPosition(conapi::Coord{static_cast<int16_t>((i + 1) % 80), y});
        conapi::PendingEvents();
    }
    conapi::Flush();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const auto after = conterm::Stats();
    std::fprintf(g_report, "  cell by cell, no pauses:  %llu bytes in %llu write() over %.2f ms\n",
                 static_cast<unsigned long long>(after.bytes - before.bytes),
                 static_cast<unsigned long long>(after.writeCalls - before.writeCalls), ms);
    conapi::Close();
}

void PendingEventsCost() {
    conapi::Open();
    conapi::Flush();
    constexpr int kCalls = 5'000'000;
    const auto start = Clock::now();
    int pending = 0;
    for (int i = 0; i < kCalls; ++i) pending += conapi::PendingEvents();
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    std::fprintf(g_report, "  PendingEvents, no key:    %.1f ns per call (%d calls, %.0f ms, %d keys seen)\n",
                 ns / kCalls, kCalls, ns / 1e6, pending);
    conapi::Close();
}

double CpuMs() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

// Waiting for a key that does not come must cost no CPU.
void IdleWait() {
    conapi::Open();
    conapi::Flush();
    const double cpu = CpuMs();
    const auto start = Clock::now();
    const bool key = conapi::WaitForInput(500);
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::fprintf(g_report, "  WaitForInput(500), no key: %.0f ms waited, %.2f ms CPU%s\n", wall, CpuMs() - cpu,
                 key ? " (a key came)" : "");
    conapi::Close();
}

}  // namespace

int main(int argc, char** argv) {
    const bool toNull = argc > 1 && std::strcmp(argv[1], "null") == 0;
    g_report = fdopen(dup(STDOUT_FILENO), "w");
    std::setvbuf(g_report, nullptr, _IOLBF, 0);

    std::atomic<bool> done{false};
    std::thread drain;
    int master = -1;
    int quietInput[2] = {-1, -1};
    if (toNull) {
        // Output to /dev/null; input from a pipe that stays open and empty
        // (/dev/null as input would be the end of input, which ends the
        // program).
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
        if (pipe(quietInput) == 0) dup2(quietInput[0], STDIN_FILENO);
    } else {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            std::fprintf(g_report, "no pseudo-terminal here; try: bench_term_output null\n");
            return 0;
        }
        const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        winsize ws{25, 80, 0, 0};
        ioctl(slave, TIOCSWINSZ, &ws);
        dup2(slave, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        close(slave);
        drain = std::thread([master, &done] {
            char buf[65536];
            while (!done && read(master, buf, sizeof buf) > 0) {}
        });
    }
    std::fprintf(g_report, "terminal output (%s)\n", toNull ? "/dev/null" : "pseudo-terminal 80x25");
    FullScreen("UTF-8, true colour", "C.UTF-8", "truecolor");
    FullScreen("UTF-8, 16 colours", "C.UTF-8", nullptr);
    FullScreen("code page 437, 16 colours", "C", nullptr);
    CellByCell();
    PendingEventsCost();
    IdleWait();
    done = true;
    if (drain.joinable()) {
        // A last byte wakes the drain thread out of its read().
        const char nl = '\n';
        if (write(STDOUT_FILENO, &nl, 1) < 0) {}
        drain.join();
    }
    return 0;
}
