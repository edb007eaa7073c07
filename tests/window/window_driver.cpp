#include "tests/window/window_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/connections.h"
#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/transfer_cut.h"
#include "app/window/interactive_sequencer.h"
#include "app/window/main_window.h"
#include "app/window/stage_dialogs.h"
#include "app/window/window_globals.h"
#include "app/window/window_loop.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "platform/notice.h"

namespace window_test {

std::wstring Expected(int base, int key) {
  const wchar_t* szText = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(base + key),
                            reinterpret_cast<LPWSTR>(&szText), 0);
  if (n <= 0 || szText == nullptr) return L"<missing " + std::to_wstring(base + key) + L">";
  return std::wstring(szText, static_cast<size_t>(n));
}

bool HasText(int base, int key) {
  const wchar_t* szText = nullptr;
  return LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(base + key),
                     reinterpret_cast<LPWSTR>(&szText), 0) > 0;
}

std::wstring Fill(std::wstring format, const std::vector<std::wstring>& args) {
  size_t at = 0;
  for (const std::wstring& arg : args) {
    at = format.find(L"%s", at);
    if (at == std::wstring::npos) break;
    format.replace(at, 2, arg);
    at += arg.size();
  }
  return format;
}

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return L"";
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

std::wstring WindowText(HWND hwnd) {
  wchar_t szText[512] = L"";
  GetWindowTextW(hwnd, szText, 512);
  return szText;
}

// Notices.

namespace {

// Outside a cNoticeRecorder a notice is a fault of the test, and never a message box that waits
// for a user who is not there.
void UnexpectedNotice(const char* text, const char* caption, platform::eNoticeIcon) {
  ADD_FAILURE() << "unexpected notice \"" << caption << ": " << text << "\"";
}

class cQuietNotices : public ::testing::Environment {
 public:
  void SetUp() override {
    SetNoticeSink(UnexpectedNotice);
    platform::SetNoticeHandler(UnexpectedNotice);
  }
  void TearDown() override {
    platform::SetNoticeHandler(nullptr);
    SetNoticeSink(nullptr);
  }
};

const ::testing::Environment* const quietNotices =
    ::testing::AddGlobalTestEnvironment(new cQuietNotices());

}  // namespace

// Screenshots.

bool SaveScreenshot(HWND hwnd, const std::string& name) {
  const char* szFolder = std::getenv("HALVEX_TEST_SCREENSHOTS");
  if (szFolder == nullptr || szFolder[0] == '\0') return true;
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT rect;
  if (!GetWindowRect(hwnd, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  // From the window's own device context: its pixels as last painted, whatever lies on top of
  // it and however far the display has caught up.
  HDC hWindow = GetWindowDC(hwnd);
  HDC hMemory = CreateCompatibleDC(hWindow);
  HBITMAP hBitmap = CreateCompatibleBitmap(hWindow, width, height);
  HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
  if (!BitBlt(hMemory, 0, 0, width, height, hWindow, 0, 0, SRCCOPY)) {
    PrintWindow(hwnd, hMemory, 0);
  }
  SelectObject(hMemory, hOld);

  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
  std::vector<char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
  const int lines = GetDIBits(hMemory, hBitmap, 0, static_cast<UINT>(height), pixels.data(),
                              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  DeleteObject(hBitmap);
  DeleteDC(hMemory);
  ReleaseDC(hwnd, hWindow);
  if (lines != height) return false;

  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  const std::string path = std::string(szFolder) + "\\" + name + ".bmp";
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  bool bOk = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
             std::fwrite(&header, sizeof(header), 1, out) == 1 &&
             std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
  bOk = std::fclose(out) == 0 && bOk;
  return bOk;
}

// The main window.

cMainWindow::cMainWindow(int base) {
  language = base != 0 ? base : ChooseLanguage(platform::GetUserPrimaryLanguage());
  path[0] = '\0';
  hwnd = CreateMainWindow(GetModuleHandleW(nullptr));
  if (hwnd != nullptr) UpdateWindow(hwnd);
}

cMainWindow::~cMainWindow() {
  if (hwnd != nullptr && IsWindow(hwnd)) DestroyWindow(hwnd);
  instrument.Disconnect();
  installer.Disconnect();
  installPackageState = INSTALL_IDLE;
  ClearTransferCut();
  Update();  // the sequencer takes note of Idle
  // Whatever the window left in the queue, its WM_QUIT included.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) DispatchMessageW(&msg);
  }
}

bool cMainWindow::Pass() {
  int exitCode = 0;
  const bool bGoOn = RunWindowPass(&exitCode);
  if (observer) observer();
  return bGoOn;
}

bool cMainWindow::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  const int64_t deadline = platform::GetMonotonicMs() + timeoutMs;
  while (!done()) {
    if (platform::GetMonotonicMs() > deadline) return false;
    if (!Pass()) return done();
  }
  return true;
}

bool cMainWindow::RunToRest(int timeoutMs) {
  return RunUntil([] { return InteractiveSequencerAtRest(); }, timeoutMs);
}

void cMainWindow::Click(int id) {
  SendMessageW(GetDlgItem(hwnd, id), BM_CLICK, 0, 0);
}

void cMainWindow::Command(int id) {
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::wstring cMainWindow::Text(int id) const {
  wchar_t szText[512] = L"";
  GetDlgItemTextW(hwnd, id, szText, 512);
  return szText;
}

std::wstring cMainWindow::Title() const {
  return WindowText(hwnd);
}

std::wstring cMainWindow::Status() const {
  HWND hBar = GetDlgItem(hwnd, IDC_STATUS_BAR);
  const LRESULT length = SendMessageW(hBar, SB_GETTEXTLENGTHW, 2, 0);
  std::wstring text(static_cast<size_t>(LOWORD(length)) + 1, L'\0');
  SendMessageW(hBar, SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(LOWORD(length));
  return text;
}

std::wstring cMainWindow::MenuTitle(int position) const {
  wchar_t szText[256] = L"";
  GetMenuStringW(GetMenu(hwnd), static_cast<UINT>(position), szText, 256, MF_BYPOSITION);
  return szText;
}

std::wstring cMainWindow::MenuItem(int id) const {
  wchar_t szText[256] = L"";
  GetMenuStringW(GetMenu(hwnd), static_cast<UINT>(id), szText, 256, MF_BYCOMMAND);
  return szText;
}

bool cMainWindow::IsEnabled(int id) const {
  return IsWindowEnabled(GetDlgItem(hwnd, id)) != FALSE;
}

bool cMainWindow::IsChecked(int id) const {
  return IsDlgButtonChecked(hwnd, id) == BST_CHECKED;
}

static std::wstring ItemText(HWND hControl, UINT lengthMessage, UINT textMessage, WPARAM index) {
  const LRESULT length = SendMessageW(hControl, lengthMessage, index, 0);
  if (length < 0) return L"";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(hControl, textMessage, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(length));
  return text;
}

static std::vector<std::wstring> AllItems(HWND hControl, UINT countMessage, UINT lengthMessage,
                                          UINT textMessage) {
  std::vector<std::wstring> items;
  const LRESULT count = SendMessageW(hControl, countMessage, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    items.push_back(ItemText(hControl, lengthMessage, textMessage, static_cast<WPARAM>(i)));
  }
  return items;
}

std::vector<std::wstring> cMainWindow::ListItems() const {
  return AllItems(GetDlgItem(hwnd, IDC_PACKAGE_LIST), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::wstring cMainWindow::SelectedItem() const {
  HWND hList = GetDlgItem(hwnd, IDC_PACKAGE_LIST);
  const LRESULT index = SendMessageW(hList, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return L"";
  return ItemText(hList, LB_GETTEXTLEN, LB_GETTEXT, static_cast<WPARAM>(index));
}

std::vector<std::wstring> cMainWindow::PortItems() const {
  return AllItems(GetDlgItem(hwnd, IDC_PORT), CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

void cMainWindow::SetPortText(const std::wstring& text) {
  SetDlgItemTextW(hwnd, IDC_PORT, text.c_str());
}

// Stage dialogs.

int ShownStage() {
  if (hMessageDialog == nullptr || !IsWindow(hMessageDialog)) return 0;
  const int texts[][2] = {{IDC_START_INSTALLER_TEXT, IDD_START_INSTALLER},
                          {IDC_PROGRESS_TEXT, IDD_PROGRESS},
                          {IDC_RUN_SCRIPT_TEXT, IDD_RUN_SCRIPT},
                          {IDC_WAIT_RESTART_TEXT, IDD_WAIT_RESTART},
                          {IDC_WAIT_POWER_CYCLE_TEXT, IDD_WAIT_POWER_CYCLE}};
  for (const auto& text : texts) {
    if (GetDlgItem(hMessageDialog, text[0]) != nullptr) return text[1];
  }
  return -1;
}

int StageProgress() {
  if (hMessageDialog == nullptr) return -1;
  HWND hBar = GetDlgItem(hMessageDialog, IDC_PROGRESS_BAR);
  if (hBar == nullptr) return -1;
  return static_cast<int>(SendMessageW(hBar, PBM_GETPOS, 0, 0));
}

void CancelStage() {
  if (hMessageDialog == nullptr) return;
  SendMessageW(GetDlgItem(hMessageDialog, IDCANCEL), BM_CLICK, 0, 0);
}

// Modal dialogs: a helper thread reads and closes the dialog while the window's thread runs
// its modal loop.

namespace {

struct sModalSearch {
  HWND hOwner;
  HWND hFound;
};

BOOL CALLBACK FindOwnedDialog(HWND hwnd, LPARAM lParam) {
  sModalSearch* search = reinterpret_cast<sModalSearch*>(lParam);
  wchar_t szClass[16] = L"";
  GetClassNameW(hwnd, szClass, 16);
  if (GetWindow(hwnd, GW_OWNER) == search->hOwner && IsWindowVisible(hwnd) &&
      std::wstring(szClass) == L"#32770") {
    search->hFound = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::vector<std::wstring> ReadModalDialog(HWND hMain, int command, const std::vector<int>& ids,
                                          const std::string& screenshot) {
  std::vector<std::wstring> texts;
  const DWORD windowThread = GetCurrentThreadId();
  std::thread reader([&] {
    sModalSearch search = {hMain, nullptr};
    const int64_t deadline = platform::GetMonotonicMs() + 10000;
    while (search.hFound == nullptr && platform::GetMonotonicMs() < deadline) {
      EnumThreadWindows(windowThread, FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
      if (search.hFound == nullptr) platform::SleepMs(10);
    }
    if (search.hFound == nullptr) return;
    texts.push_back(WindowText(search.hFound));
    for (int id : ids) {
      HWND hControl = GetDlgItem(search.hFound, id);
      texts.push_back(hControl != nullptr ? WindowText(hControl) : L"<no control>");
    }
    if (!screenshot.empty()) SaveScreenshot(search.hFound, screenshot);
    PostMessageW(search.hFound, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  SendMessageW(hMain, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  reader.join();
  return texts;
}

}  // namespace window_test
