// Plays frames through the terminal screen renderer, for the differential
// test (test_term_differential.py): the renderer's bytes go to standard
// output (a terminal emulator), and after each frame the frame itself goes to
// file descriptor 3, so that the test can compare every cell the emulator
// shows with it. With a file descriptor 4 open, the player waits for one byte
// on it after each frame (the test has looked at the emulator). Options
// --frames-fd=N and --go-fd=N name other descriptors.
//
//   term_replay random SEED FRAMES [OPTIONS]   random frames
//   term_replay art PAUSE FILE... [OPTIONS]    ANSI files drawn by the
//                                              magazine's renderer on the
//                                              memory console, a frame at
//                                              every pause
// Options: --raw (code page 437 bytes, not UTF-8), --colours=true|256|16,
// --no-scroll (the terminal never scrolls a band).
//
// A frame record: "F" rows cursorX cursorY visible bytesSoFar "\n", then
// rows x 80 cells of two bytes each (character, attribute).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ansi/ansi_renderer.h"
#include "console/con_memory.h"
#include "console/m_Console.h"
#include "console/term_screen.h"

namespace {

using conapi::Cell;

constexpr int kCols = 80;
constexpr int kRows = 25;

bool WriteFd(int fd, const char* data, std::size_t len) {
    while (len > 0) {
        const ssize_t n = write(fd, data, len);
        if (n <= 0) return false;
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

class Player {
public:
    explicit Player(termscreen::Options options) : renderer_(options) { renderer_.SetTerminalSize(kCols, kRows); }

    // Renders one frame, hands it over and waits for the go-ahead.
    bool Play(const Cell* cells, conapi::Coord cursor, bool visible) {
        const termscreen::Frame frame{cells, kRows, cursor, visible};
        const std::string bytes = renderer_.Update(frame);
        if (!WriteFd(STDOUT_FILENO, bytes.data(), bytes.size())) return false;
        sent_ += bytes.size();
        std::string record = "F " + std::to_string(kRows) + ' ' + std::to_string(cursor.X) + ' ' +
                             std::to_string(cursor.Y) + ' ' + (visible ? '1' : '0') + ' ' + std::to_string(sent_) +
                             '\n';
        for (int i = 0; i < kRows * kCols; ++i) {
            record += static_cast<char>(cells[i].Char & 0xFF);
            record += static_cast<char>(cells[i].Attr & 0xFF);
        }
        if (!WriteFd(framesFd_, record.data(), record.size())) return false;
        char go = 0;
        return goFd_ < 0 || read(goFd_, &go, 1) == 1;
    }

    // Where the frames go, and where the go-ahead comes from (-1: none).
    void Channels(int framesFd, int goFd) {
        framesFd_ = framesFd;
        goFd_ = goFd;
    }

private:
    termscreen::Renderer renderer_;
    std::size_t sent_ = 0;
    int framesFd_ = 3;
    int goFd_ = -1;
};

// The console of the random frames: what the magazine does to its cells,
// in the kinds of change the renderer treats each its own way.
class RandomConsole {
public:
    explicit RandomConsole(unsigned seed) : rng_(seed) {
        for (auto& c : cells_) c = Cell{' ', 7};
    }

    const Cell* Cells() const { return cells_.data(); }
    conapi::Coord Cursor() const { return cursor_; }
    bool Visible() const { return visible_; }

    // One to four changes, then a new cursor.
    void Step() {
        const int changes = 1 + Pick(4);
        for (int i = 0; i < changes; ++i) {
            switch (Pick(7)) {
            case 0: ScrollBand(); break;
            case 1: NewRows(); break;
            case 2: Recolour(false); break;
            case 3: Recolour(true); break;
            case 4: GappedRun(); break;
            case 5: BlankGapRun(); break;
            default: PartialRow(); break;
            }
        }
        cursor_ = conapi::Coord{static_cast<int16_t>(Pick(kCols)), static_cast<int16_t>(Pick(kRows))};
        visible_ = Pick(5) != 0;
    }

private:
    int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    Cell& At(int col, int row) { return cells_[static_cast<std::size_t>(row * kCols + col)]; }

    uint16_t Attr() { return static_cast<uint16_t>(Pick(256)); }
    // Art glyphs mostly (blocks, half blocks, shades), some letters and
    // blanks of each kind (space, 0, 255).
    uint16_t Glyph() {
        static constexpr uint8_t kArt[] = {0xDB, 0xDC, 0xDF, 0xDD, 0xDE, 0xB0, 0xB1, 0xB2, 0xC4, 0xCD, 0xFA, 0xFE};
        switch (Pick(6)) {
        case 0: return ' ';
        case 1: return static_cast<uint16_t>(Pick(3) == 0 ? 0 : Pick(2) == 0 ? 0xFF : ' ');
        case 2: return static_cast<uint16_t>('a' + Pick(26));
        case 3: return static_cast<uint16_t>(Pick(256));
        default: return kArt[Pick(sizeof kArt)];
        }
    }

    void Fill(int row, int from, int to) {
        for (int c = from; c < to; ++c) At(c, row) = Cell{Glyph(), Attr()};
    }

    // A band of rows moves up or down by 1..24 rows, as a scrolling picture
    // or a text window does; the rows it uncovers are blank in one colour
    // or new art.
    void ScrollBand() {
        const int top = Pick(kRows - 1);
        const int bottom = top + 1 + Pick(kRows - 1 - top);
        const int height = bottom - top + 1;
        const int n = 1 + Pick(std::min(24, height - 1) > 0 ? std::min(24, height - 1) : 1);
        const bool up = Pick(2) == 0;
        std::vector<Cell> band(cells_.begin() + top * kCols, cells_.begin() + (bottom + 1) * kCols);
        for (int r = top; r <= bottom; ++r) {
            const int from = up ? r - top + n : r - top - n;
            for (int c = 0; c < kCols; ++c)
                At(c, r) = from >= 0 && from < height ? band[static_cast<std::size_t>(from * kCols + c)] : Cell{' ', 0};
        }
        const uint16_t fill = static_cast<uint16_t>(Pick(2) == 0 ? 7 : Attr());
        const int first = up ? bottom - n + 1 : top;
        for (int r = first; r < first + n && r <= bottom; ++r) {
            if (r < top) continue;
            if (Pick(2) == 0) {
                for (int c = 0; c < kCols; ++c) At(c, r) = Cell{' ', fill};
            } else {
                Fill(r, 0, kCols);
            }
        }
    }

    void NewRows() {
        const int row = Pick(kRows);
        const int count = 1 + Pick(3);
        for (int r = row; r < std::min(kRows, row + count); ++r) Fill(r, 0, kCols);
    }

    // Colours change where the glyphs stay (Blanks: on blank cells, where
    // only a new background shows).
    void Recolour(bool blanks) {
        const int row = Pick(kRows);
        const int from = Pick(kCols);
        const int to = std::min(kCols, from + 1 + Pick(40));
        const uint16_t attr = Attr();
        for (int c = from; c < to; ++c) {
            Cell& cell = At(c, row);
            if (blanks) cell.Char = Pick(2) == 0 ? ' ' : 0;
            cell.Attr = Pick(3) == 0 ? static_cast<uint16_t>((cell.Attr & 0xF0) | (attr & 0x0F)) : attr;
        }
    }

    // Art drawn with cursor-forward gaps: runs of new cells with untouched
    // cells between them, colours changing at each run.
    void GappedRun() {
        const int row = Pick(kRows);
        int col = Pick(20);
        while (col < kCols) {
            const int run = 1 + Pick(8);
            const uint16_t attr = Attr();
            for (int c = col; c < std::min(kCols, col + run); ++c) At(c, row) = Cell{Glyph(), attr};
            col += run + 1 + Pick(16);
        }
    }

    // A run of one colour, blanks and glyphs; in the next frame a few of
    // its cells change to glyphs of that colour. The renderer may rewrite
    // the unchanged cells between them instead of moving the cursor.
    void BlankGapRun() {
        if (gapRow_ >= 0) {
            for (int c = gapFrom_; c < std::min(kCols, gapFrom_ + 30); c += 2 + Pick(4)) At(c, gapRow_).Char = Glyph();
            gapRow_ = -1;
            return;
        }
        gapRow_ = Pick(kRows);
        gapFrom_ = Pick(kCols / 2);
        const uint16_t attr = Attr();
        for (int c = gapFrom_; c < std::min(kCols, gapFrom_ + 30); ++c)
            At(c, gapRow_) = Cell{static_cast<uint16_t>(Pick(3) == 0 ? Glyph() : ' '), attr};
    }

    void PartialRow() {
        const int row = Pick(kRows);
        const int from = Pick(kCols);
        Fill(row, from, std::min(kCols, from + 1 + Pick(kCols - from)));
    }

    std::mt19937 rng_;
    std::array<Cell, kCols * kRows> cells_{};
    conapi::Coord cursor_{};
    bool visible_ = true;
    int gapRow_ = -1;  // the run of BlankGapRun waiting for its second half
    int gapFrom_ = 0;
};

int PlayRandom(Player& player, unsigned seed, int frames) {
    RandomConsole con(seed);
    for (int i = 0; i < frames; ++i) {
        con.Step();
        if (!player.Play(con.Cells(), con.Cursor(), con.Visible())) return 1;
    }
    return 0;
}

// The memory console's cells as they stand.
std::array<Cell, kCols * kRows> MemoryCells() {
    std::array<Cell, kCols * kRows> cells{};
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) cells[static_cast<std::size_t>(r * kCols + c)] = memcon::CellAt(c, r);
    return cells;
}

int PlayArt(Player& player, int pause, const std::vector<std::string>& files) {
    bool ok = true;
    auto snapshot = [&] {
        if (!ok) return;
        const auto cells = MemoryCells();
        ok = player.Play(cells.data(), memcon::CursorPos(), memcon::CursorVisible());
    };
    memcon::Reset(kRows);
    InitConsole();
    memcon::OnSleep(snapshot);
    for (const std::string& file : files) {
        // As the gallery draws a piece: a cleared screen, then the file.
        SetTextColor(7);
        ClearScreen();
        snapshot();
        ShowAnsiFile(file, pause);
        snapshot();
    }
    memcon::OnSleep(nullptr);
    DoneConsole();
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    termscreen::Options options{true, true, true};
    std::vector<std::string> rest;
    int framesFd = 3;
    int goFd = fcntl(4, F_GETFD) != -1 ? 4 : -1;
    for (const std::string& a : args) {
        if (a.rfind("--frames-fd=", 0) == 0)
            framesFd = std::stoi(a.substr(12));
        else if (a.rfind("--go-fd=", 0) == 0)
            goFd = std::stoi(a.substr(8));
        else if (a == "--raw")
            options.utf8 = false;
        else if (a == "--no-scroll")
            options.scroll = false;
        else if (a == "--colours=true")
            options = {options.utf8, true, options.scroll, false};
        else if (a == "--colours=256")
            options = {options.utf8, false, options.scroll, true};
        else if (a == "--colours=16")
            options = {options.utf8, false, options.scroll, false};
        else
            rest.push_back(a);
    }
    if (rest.size() < 3) {
        std::fprintf(stderr, "usage: term_replay random SEED FRAMES | art PAUSE FILE... [options]\n");
        return 2;
    }
    Player player(options);
    player.Channels(framesFd, goFd);
    if (rest[0] == "random") return PlayRandom(player, static_cast<unsigned>(std::stoul(rest[1])), std::stoi(rest[2]));
    if (rest[0] == "art")
        return PlayArt(player, std::stoi(rest[1]), std::vector<std::string>(rest.begin() + 2, rest.end()));
    std::fprintf(stderr, "term_replay: unknown mode %s\n", rest[0].c_str());
    return 2;
}
