// Figures of the terminal back-end, for the benchmark: what it wrote to the
// terminal since Open.
#pragma once

#include <cstdint>

namespace conterm {

struct OutputStats {
    uint64_t writeCalls = 0;  // write() system calls
    uint64_t bytes = 0;       // bytes handed to write()
};

OutputStats Stats();

}  // namespace conterm
