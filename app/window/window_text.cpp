#include "app/window/window_text.h"

#include <vector>

#include "app/globals.h"
#include "app/window/window_globals.h"
#include "platform/notice.h"

bool LoadKeyText(int key, std::wstring& text) {
  return LoadLanguageText(language, key, text);
}

bool LoadLanguageText(int base, int key, std::wstring& text) {
  const int length =
      LoadStringW(hInstance, static_cast<UINT>(base + key), szBuffer, WINDOW_TEXT_LEN);
  if (length <= 0) return false;
  text.assign(szBuffer, static_cast<size_t>(length));
  return true;
}

std::wstring FormatText(const std::wstring& format, const std::vector<std::wstring>& args) {
  std::wstring result;
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == L'%' && i + 1 < format.size()) {
      if (format[i + 1] == L's') {
        if (next != args.end()) result += *next++;
        ++i;
        continue;
      }
      if (format[i + 1] == L'%') {
        result += L'%';
        ++i;
        continue;
      }
    }
    result += format[i];
  }
  if (result.size() > WINDOW_TEXT_LEN - 1) result.resize(WINDOW_TEXT_LEN - 1);
  return result;
}

static std::wstring Convert(UINT codePage, const char* szText) {
  if (szText == nullptr || szText[0] == '\0') return std::wstring();
  const int length = MultiByteToWideChar(codePage, 0, szText, -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length));
  MultiByteToWideChar(codePage, 0, szText, -1, buffer.data(), length);
  return std::wstring(buffer.data());
}

static std::string Convert(UINT codePage, const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length =
      WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return std::string();
  std::vector<char> buffer(static_cast<size_t>(length));
  WideCharToMultiByte(codePage, 0, text.c_str(), -1, buffer.data(), length, nullptr, nullptr);
  return std::string(buffer.data());
}

std::wstring Widen(const char* szText) {
  return Convert(CP_ACP, szText);
}

std::string Narrow(const std::wstring& text) {
  return Convert(CP_ACP, text);
}

std::string ToUtf8(const std::wstring& text) {
  return Convert(CP_UTF8, text);
}

void SetControlText(HWND hwnd, int id, const std::wstring& text) {
  SetDlgItemTextW(hwnd, id, text.c_str());
}

void ShowErrorBox(const std::wstring& text, const std::wstring& caption) {
  // The notice seam has no getter: setting it back at once reads the current handler.
  const platform::NoticeHandler handler = platform::SetNoticeHandler(nullptr);
  platform::SetNoticeHandler(handler);
  if (handler != nullptr) {
    handler(Convert(CP_UTF8, text).c_str(), Convert(CP_UTF8, caption).c_str(),
            platform::NOTICE_ERROR);
    return;
  }
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}
