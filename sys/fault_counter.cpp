#include "sys/fault_counter.h"

#include <atomic>

namespace {

struct Counter {
    std::atomic<std::uint64_t> calls{0};
    std::atomic<std::uint64_t> refused{0};
    std::uint64_t failing = 0;  // 0: none
    int error = 0;
    faults::Mode mode = faults::Mode::Once;
};

Counter& State() {
    static Counter counter;
    return counter;
}

}  // namespace

namespace faults {

void Plan(std::uint64_t n, int error, Mode mode) {
    Counter& c = State();
    c.calls = 0;
    c.refused = 0;
    c.failing = n;
    c.error = error;
    c.mode = mode;
}

void Clear() { Plan(0, 0, Mode::Once); }

std::uint64_t Calls() { return State().calls; }

std::uint64_t Refused() { return State().refused; }

}  // namespace faults

namespace sys {

int InjectedFault(FileOp op) {
    Counter& c = State();
    const std::uint64_t call = ++c.calls;
    if (c.failing == 0 || call < c.failing) return 0;
    const bool fails = call == c.failing || (c.mode == faults::Mode::FromThenOn && op != FileOp::Remove);
    if (!fails) return 0;
    ++c.refused;
    return c.error;
}

}  // namespace sys
