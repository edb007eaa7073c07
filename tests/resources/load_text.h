// Reads a string resource of the test program as it is stored (no buffer limit, blanks kept).
#ifndef HALVEX_TESTS_RESOURCES_LOAD_TEXT_H
#define HALVEX_TESTS_RESOURCES_LOAD_TEXT_H

#include <windows.h>

#include <string>

// True and the text when string id exists (an empty string reads as missing, as in LoadString).
inline bool LoadText(UINT id, std::wstring* pText) {
  const wchar_t* szText = nullptr;
  int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&szText), 0);
  if (n <= 0 || szText == nullptr) return false;
  pText->assign(szText, static_cast<size_t>(n));
  return true;
}

inline std::wstring Text(UINT id) {
  std::wstring text;
  return LoadText(id, &text) ? text : L"<missing " + std::to_wstring(id) + L">";
}

#endif  // HALVEX_TESTS_RESOURCES_LOAD_TEXT_H
