#include "app/window/status_bar.h"

#include "app/resources/resource.h"
#include "app/window/port_name.h"
#include "app/window/window_globals.h"
#include "app/window/window_text.h"
#include "comm/comm.h"

namespace {

const int iBarWidths[] = {80, 240, -1};
const int STATUS_PART = 2;

// What the status shows: a key with its arguments, or the found text of a port (key 0).
int statusKey = 0;
std::vector<std::wstring> statusArgs;
int statusPort = 0;

void Show(const std::wstring& text) {
  if (hStatBar == nullptr) return;
  SendMessageW(hStatBar, SB_SETTEXTW, STATUS_PART, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace

HWND CreateStatusBar(HWND hwnd) {
  hStatBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)),
                             hInstance, nullptr);
  if (hStatBar != nullptr) {
    SendMessageW(hStatBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(const_cast<int*>(iBarWidths)));
  }
  statusKey = 0;
  statusPort = 0;
  return hStatBar;
}

void SetStatus(int key, const std::vector<std::wstring>& args) {
  statusKey = key;
  statusArgs = args;
  statusPort = 0;
  std::wstring text;
  if (LoadKeyText(key, text)) Show(FormatText(text, args));
}

bool GetFoundStatusText(int port, std::wstring& text) {
  if (!IsValidPort(port)) return false;
  if (port <= 4) return LoadKeyText(IDS_STATUS_FOUND_BASE + port, text);
  std::wstring found1;
  if (!LoadKeyText(IDS_STATUS_FOUND_BASE + 1, found1)) return false;
  text = MakeFoundText(found1, port);
  return true;
}

void SetFoundStatus(int port) {
  statusKey = 0;
  statusPort = port;
  std::wstring text;
  if (GetFoundStatusText(port, text)) Show(text);
}

int GetStatusKey() {
  return statusKey;
}

std::wstring GetStatusText() {
  std::wstring text;
  if (statusPort != 0) {
    if (!GetFoundStatusText(statusPort, text)) text.clear();
  } else if (statusKey != 0 && LoadKeyText(statusKey, text)) {
    text = FormatText(text, statusArgs);
  }
  return text;
}

void ShowStatusAgain() {
  if (statusPort != 0) {
    SetFoundStatus(statusPort);
  } else if (statusKey != 0) {
    SetStatus(statusKey, std::vector<std::wstring>(statusArgs));
  }
}
