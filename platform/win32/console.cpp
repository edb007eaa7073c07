#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/console.h"

namespace platform {

void SetBinaryStdStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

// A standard handle that already leads to a file, a pipe or a character device.
static bool LeadsSomewhere(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  return GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

void RedirectIOToConsole() {
  const bool bKeepOut = LeadsSomewhere(STD_OUTPUT_HANDLE);
  const bool bKeepIn = LeadsSomewhere(STD_INPUT_HANDLE);
  const bool bKeepErr = LeadsSomewhere(STD_ERROR_HANDLE);
  if (!(bKeepOut && bKeepErr)) {
    AllocConsole();
    HANDLE hConsoleOut =
        CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (hConsoleOut != INVALID_HANDLE_VALUE) {
      if (GetConsoleScreenBufferInfo(hConsoleOut, &info)) {
        info.dwSize.Y = MAX_CONSOLE_LINES;
        SetConsoleScreenBufferSize(hConsoleOut, info.dwSize);
      }
      CloseHandle(hConsoleOut);
    }
    if (!bKeepOut) freopen("CONOUT$", "w", stdout);
    if (!bKeepIn) freopen("CONIN$", "r", stdin);
    if (!bKeepErr) freopen("CONOUT$", "w", stderr);
  }
  SetBinaryStdStreams();
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stderr, nullptr, _IONBF, 0);
}

bool HasStandardOutput() {
  return LeadsSomewhere(STD_OUTPUT_HANDLE);
}

}  // namespace platform
