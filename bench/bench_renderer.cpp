// Throughput of the ANSI renderer on the memory console, pauses off: every
// screen and artwork embedded in the program, drawn many times each, and
// made-up files of 1 MB. Prints a table; never fails.
//
//   bench_renderer [SECONDS_PER_FILE]   (default 0.3)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <string>
#include <vector>

#include "ansi/ansi_renderer.h"
#include "ansi/canvas.h"
#include "issue/issue.h"
#include "sys/resources.h"
#include "bench_synthetic.h"
#include "console/con_memory.h"
#include "console/m_Console.h"
#include "sys/sys.h"
#include "tools/content_rules.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Result {
    long draws = 0;
    double seconds = 0;
    uint64_t consoleWrites = 0;  // cell operations of one drawing
};

// Draws the file over and over for at least MinSeconds (and at least three
// times), each time on a cleared screen from (1,1) in attribute 7.
Result Measure(const std::string& path, double minSeconds) {
    memcon::Reset(25);
    InitConsole();
    Result r;
    const auto start = Clock::now();
    do {
        SetTextAttr(7);
        ClearScreen();
        const uint64_t before = memcon::WriteCalls();
        ShowAnsiFile(path, 0);
        r.consoleWrites = memcon::WriteCalls() - before;
        ++r.draws;
        r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (r.seconds < minSeconds || r.draws < 3);
    DoneConsole();
    return r;
}

void Row(const std::string& name, std::size_t bytes, const Result& r) {
    const double mb = static_cast<double>(bytes) * static_cast<double>(r.draws) / 1e6;
    std::printf("%-18s %9zu %7ld %9.2f %10.1f %12.1f %10.2f\n", name.c_str(), bytes, r.draws, mb / r.seconds,
                r.seconds / static_cast<double>(r.draws) * 1e6, static_cast<double>(r.consoleWrites),
                bytes ? static_cast<double>(r.consoleWrites) / static_cast<double>(bytes) : 0.0);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

// A piece drawn whole on a page larger than the screen, as the gallery
// draws a tall or a wide one before it shows its window: the sample issue's
// tall piece when its path is given, and 2,000 synthetic rows.
void CanvasFigures(const std::string& tallPiece, double minSeconds) {
    std::vector<std::pair<std::string, std::string>> pieces;
    std::string bytes, error;
    if (!tallPiece.empty() && sys::ReadWholeFile(tallPiece, bytes, error)) pieces.emplace_back(tallPiece, bytes);
    std::string rows;
    for (int i = 0; i < 2000; ++i) rows += "\x1b[1;3" + std::to_string(i % 8) + "m" + std::string(79, '\xdb') + "\r\n";
    pieces.emplace_back("2000 rows of 79", rows);
    std::printf("\npieces drawn on a page (the gallery's tall and wide pieces)\n");
    for (const auto& [name, art] : pieces) {
        long draws = 0;
        int height = 0;
        const auto start = std::chrono::steady_clock::now();
        double seconds = 0;
        do {
            TCanvas page;
            DrawAnsiOnCanvas(art, page);
            height = page.Rows();
            ++draws;
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (seconds < minSeconds);
        std::printf("%-40s %9zu bytes %5d rows %9.3f ms a drawing\n", name.c_str(), art.size(), height,
                    1e3 * seconds / static_cast<double>(draws));
    }
}

int main(int argc, char** argv) {
    const double minSeconds = argc > 1 ? std::atof(argv[1]) : 0.3;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench-renderer-" + std::to_string(getpid()) + ".ans")).string();

    std::printf("ANSI renderer on the memory console, pauses off, %.2f s or more per file\n", minSeconds);
    std::printf("%-18s %9s %7s %9s %10s %12s %10s\n", "file", "bytes", "draws", "MB/s", "us/draw", "cell ops",
                "ops/byte");
    uint64_t totalBytes = 0;
    double totalSeconds = 0;
    issue::Issue builtIn;
    std::string issueError;
    if (!builtIn.TakeBuiltIn(issueError)) {
        std::printf("the built-in issue cannot be read: %s\n", issueError.c_str());
        return 0;
    }
    for (const contentrules::CatalogueEntry& entry : contentrules::Catalogue(builtIn.Contents)) {
        if (entry.Type != contentrules::Kind::Screen && entry.Type != contentrules::Kind::Twin &&
            entry.Type != contentrules::Kind::Piece)
            continue;
        const ResourceData* res = FindResource(entry.Name);
        if (!res) {
            std::printf("%-18s (not in this build)\n", entry.Name.c_str());
            continue;
        }
        if (!WriteFile(path, std::string(reinterpret_cast<const char*>(res->Data), res->Size))) {
            std::printf("cannot write %s\n", path.c_str());
            return 0;
        }
        const Result r = Measure(path, minSeconds);
        Row(entry.Name, res->Size, r);
        totalBytes += res->Size * static_cast<uint64_t>(r.draws);
        totalSeconds += r.seconds;
    }
    if (totalSeconds > 0)
        std::printf("%-18s %9s %7s %9.2f\n", "all shipped", "", "",
                    static_cast<double>(totalBytes) / 1e6 / totalSeconds);

    const struct {
        const char* name;
        std::string bytes;
    } synthetic[] = {{"synthetic art 1MB", benchdata::ScreenArt(1 << 20)},
                     {"scrolling 1MB", benchdata::ScrollingText(1 << 20)}};
    for (const auto& s : synthetic) {
        if (!WriteFile(path, s.bytes)) break;
        Row(s.name, s.bytes.size(), Measure(path, minSeconds));
    }
    std::filesystem::remove(path);
    CanvasFigures(argc > 2 ? argv[2] : "", minSeconds);
    return 0;
}
