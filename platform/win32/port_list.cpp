#include <windows.h>

#include "platform/port_list.h"

namespace platform {

stPortRoots GetPortRoots() {
  return stPortRoots();
}

std::vector<std::string> ListSerialPorts(const stPortRoots&) {
  // The ports the window's port box offers: COM1 to COM16 as far as a device of that name
  // exists.
  std::vector<std::string> lines;
  for (int port = 1; port <= 16; ++port) {
    const std::string name = "COM" + std::to_string(port);
    char szTarget[1024];
    const DWORD length = QueryDosDeviceA(name.c_str(), szTarget, sizeof(szTarget));
    if (length == 0) continue;
    lines.push_back(name + (port < 10 ? "  " : " ") + szTarget);
  }
  if (lines.empty()) lines.push_back("No COM ports found.");
  return lines;
}

}  // namespace platform
