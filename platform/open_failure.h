// Why a serial port could not be opened, as one line for the user (POSIX errno values).
#ifndef HALVEX_PLATFORM_OPEN_FAILURE_H
#define HALVEX_PLATFORM_OPEN_FAILURE_H

#include <string>

namespace platform {

// "<path> (COM<port>): <system's text>." and what to do for the usual causes: a missing device
// (how to map HALVEX_COM<port>), no permission (the user must be in ownerGroup, the group that
// owns the device), a port another program holds, a file that is no serial device.
std::string DescribeOpenErrno(int port, const std::string& path, int error,
                              const std::string& ownerGroup);

}  // namespace platform

#endif
