#include "app/window/port_name.h"

#include "comm/comm.h"

int ParsePortName(const std::wstring& text) {
  if (text.size() < 4 || text.size() > 5 || text.compare(0, 3, L"COM") != 0) return 0;
  if (text[3] == L'0') return 0;
  int port = 0;
  for (size_t i = 3; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return 0;
    port = port * 10 + (text[i] - L'0');
  }
  return IsValidPort(port) ? port : 0;
}

std::wstring PortName(int port) {
  return L"COM" + std::to_wstring(port);
}

std::wstring MakeFoundText(const std::wstring& found1, int port) {
  for (size_t at = found1.find(L"COM1"); at != std::wstring::npos;
       at = found1.find(L"COM1", at + 1)) {
    const size_t end = at + 4;
    if (end < found1.size() && found1[end] >= L'0' && found1[end] <= L'9') continue;
    return found1.substr(0, at) + PortName(port) + found1.substr(end);
  }
  return found1;
}
