// Figures for the light-bar menu's idle animation on the memory console:
// how many console writes and how much (virtual) sleep one animation step
// costs, and how quickly a key is answered. It prints and never fails.
#include <cstdio>
#include <string>

#include "console/con_memory.h"
#include "console/m_Console.h"
#include "widgets/lightbar.h"

namespace {

struct Figures {
    uint64_t writes = 0;
    uint64_t sleeps = 0;
    uint64_t sleptMs = 0;
    uint32_t answeredAt = 0;
};

// Runs a 10-item menu with one key scheduled at KeyAtMs and counts what the
// waiting cost; the drawing before the first wait is measured separately.
Figures Measure(uint32_t keyAtMs, uint64_t& openingWrites) {
    memcon::Reset();
    InitConsole();
    TBar bar;
    for (int i = 0; i < 10; ++i) bar.Add("menu item number " + std::to_string(i));
    // The opening draw alone: a menu run with the key already waiting.
    const uint64_t before = memcon::WriteCalls();
    memcon::PressEsc();
    bar.Run(10, 5, 30, 8, 0);
    openingWrites = memcon::WriteCalls() - before;

    const uint64_t w0 = memcon::WriteCalls();
    const uint64_t s0 = memcon::SleepCalls();
    const uint64_t m0 = memcon::SleptMs();
    const uint32_t t0 = memcon::Now();
    memcon::PressEnter(t0 + keyAtMs);
    bar.Run(10, 5, 30, 8, 0);
    Figures f;
    f.writes = memcon::WriteCalls() - w0 - openingWrites;
    f.sleeps = memcon::SleepCalls() - s0;
    f.sleptMs = memcon::SleptMs() - m0;
    f.answeredAt = memcon::Now() - t0;
    DoneConsole();
    return f;
}

}  // namespace

int main() {
    std::printf("light-bar animation on the memory console (10 items, 8 rows, width 30)\n");
    // The menu waits between steps for the next step or a key (not a plain
    // sleep), so a step shows as its one console write.
    std::printf("%10s %8s %10s %14s %12s\n", "key at ms", "writes", "slept ms", "ms per write", "key read at");
    for (uint32_t keyAt : {60u, 500u, 1000u, 10000u, 60000u}) {
        uint64_t opening = 0;
        const Figures f = Measure(keyAt, opening);
        std::printf("%10u %8llu %10llu %14.2f %12u\n", keyAt, static_cast<unsigned long long>(f.writes),
                    static_cast<unsigned long long>(f.sleptMs),
                    f.writes > 0 ? static_cast<double>(f.answeredAt) / static_cast<double>(f.writes) : 0.0,
                    f.answeredAt);
        if (keyAt == 60u)
            std::printf("  (opening draw of the menu: %llu console writes)\n",
                        static_cast<unsigned long long>(opening));
    }
    std::printf("steps per second of idle menu: %.1f\n", 1000.0 / 60.0);

    // What one key costs in console writes (keys waiting, so no animation).
    std::printf("\nconsole writes per key (10 items, 8 rows)\n");
    struct KeyCase {
        const char* name;
        void (*press)();
    };
    const KeyCase keys[] = {
        {"Down inside the page", [] { memcon::PressExtended(80); }},
        {"8 Downs, the last scrolls",
         [] {
             for (int i = 0; i < 8; ++i) memcon::PressExtended(80);
         }},
        {"PgDn", [] { memcon::PressExtended(81); }},
        {"type-ahead letter", [] { memcon::TypeText("9"); }},
    };
    for (const auto& k : keys) {
        memcon::Reset();
        InitConsole();
        TBar bar;
        for (int i = 0; i < 10; ++i) bar.Add("menu item number " + std::to_string(i));
        memcon::PressEsc();
        bar.Run(10, 5, 30, 8, 0);
        const uint64_t base = memcon::WriteCalls();
        memcon::PressEsc();
        bar.Run(10, 5, 30, 8, 0);
        const uint64_t opening = memcon::WriteCalls() - base;
        const uint64_t before = memcon::WriteCalls();
        k.press();
        memcon::PressEsc();
        bar.Run(10, 5, 30, 8, 0);
        std::printf("  %-24s %llu\n", k.name, static_cast<unsigned long long>(memcon::WriteCalls() - before - opening));
        DoneConsole();
    }
    return 0;
}
