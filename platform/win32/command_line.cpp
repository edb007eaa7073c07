#include <windows.h>
// shellapi.h needs the declarations of windows.h.
#include <shellapi.h>

#include "platform/command_line.h"

namespace platform {

// Converts one wide argument to the ANSI code page. Characters without an exact narrow form
// are not replaced by look-alikes (no best-fit mapping): such an argument is marked inexact,
// so it can never name something other than what was typed.
static stArgument ToNarrow(const wchar_t* wide) {
  stArgument argument;
  const UINT codePage = GetACP();
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* pUsedDefault = codePage == CP_UTF8 ? nullptr : &usedDefault;
  int length = WideCharToMultiByte(codePage, flags, wide, -1, nullptr, 0, nullptr, pUsedDefault);
  if (length <= 0) {
    argument.bExact = false;
    return argument;
  }
  std::string narrow(static_cast<size_t>(length), '\0');
  usedDefault = FALSE;
  WideCharToMultiByte(codePage, flags, wide, -1, &narrow[0], length, nullptr, pUsedDefault);
  narrow.resize(static_cast<size_t>(length - 1));
  argument.text = narrow;
  argument.bExact = !usedDefault;
  if (argument.bExact) {
    // The round trip must give back the same characters.
    int wideLength = MultiByteToWideChar(codePage, 0, narrow.c_str(), -1, nullptr, 0);
    std::wstring back(static_cast<size_t>(wideLength > 0 ? wideLength : 1), L'\0');
    MultiByteToWideChar(codePage, 0, narrow.c_str(), -1, &back[0], wideLength);
    back.resize(wcslen(back.c_str()));
    argument.bExact = back == wide;
  }
  return argument;
}

std::vector<stArgument> GetArguments(int, char**) {
  std::vector<stArgument> arguments;
  int count = 0;
  LPWSTR* wideArguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wideArguments == nullptr) return arguments;
  for (int i = 0; i < count; i++) arguments.push_back(ToNarrow(wideArguments[i]));
  LocalFree(wideArguments);
  return arguments;
}

}  // namespace platform
