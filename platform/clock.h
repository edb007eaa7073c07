// Monotonic time for every timeout in the program.
//
// Never the process clock: on POSIX clock() counts CPU time, so a timeout measured with it
// would never expire while a read blocks.
#ifndef HALVEX_PLATFORM_CLOCK_H
#define HALVEX_PLATFORM_CLOCK_H

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary fixed moment; never goes backwards and never wraps.
int64_t GetMonotonicMs();

// Gives the processor away for about ms milliseconds.
void SleepMs(unsigned ms);

}  // namespace platform

#endif
