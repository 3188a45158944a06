// The program's own answer to the fault question of sys.h: no file call is
// ever made to fail. The unit tests link fault_counter.cpp in its place.
#include "sys/sys.h"

namespace sys {

int InjectedFault(FileOp) { return 0; }

}  // namespace sys
