// The fault counter of the tests: it counts the file calls of sys.h and makes
// the n-th of them fail with a chosen error, once or from then on. Only test
// builds link it (the library quix_sys_faults); the program answers every
// call with "go ahead".
#pragma once

#include <cstdint>

#include "sys/sys.h"

namespace faults {

enum class Mode {
    Once,        // call N fails, the calls after it go through
    FromThenOn,  // call N and every later one fail, but removals: see below
};

// From now on call N (counted from 1) fails with the error number Error.
// From then on, a removal after call N goes through: when every removal is
// refused for good no program can clean up, so that case tells nothing; a
// removal refused once is covered by the mode Once.
void Plan(std::uint64_t n, int error, Mode mode);

// No call fails; the count starts again from 0.
void Clear();

// File calls since the last Plan or Clear.
std::uint64_t Calls();

// Calls refused since the last Plan or Clear.
std::uint64_t Refused();

}  // namespace faults
