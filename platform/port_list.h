// The serial ports of the machine, listed for "-PORTS" without opening any of them.
#ifndef HALVEX_PLATFORM_PORT_LIST_H
#define HALVEX_PLATFORM_PORT_LIST_H

#include <string>
#include <vector>

namespace platform {

// Where POSIX device files are looked for.
struct stPortRoots {
  std::string devFolder;   // "/dev": ttyS<n>, ttyUSB<n>, ttyACM<n>
  std::string byIdFolder;  // "/dev/serial/by-id": stable names of USB adapters
};

// The machine's: /dev and /dev/serial/by-id. (Tests give ListSerialPorts a folder of fake
// device links instead.)
stPortRoots GetPortRoots();

// One line per port. POSIX: COM1 to COM16, each with the path it maps to (HALVEX_COM<n>, else
// <devFolder>/ttyS<n-1>) and whether that exists, then the USB and ACM adapters found, each
// with the command line that uses it as COM1. Win32: the COM ports that exist, as the window's
// port box finds them, with the device each stands for; the roots are not used.
std::vector<std::string> ListSerialPorts(const stPortRoots& roots);

}  // namespace platform

#endif
