#include "comm/port_name.h"

std::string FormatPortName(const stPortName& port) {
  if (port.bNetwork) return FormatNetworkPort(port.network);
  return "COM" + std::to_string(static_cast<int>(port.com));
}
