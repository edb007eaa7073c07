#include <windows.h>

#include "platform/file_replace.h"

namespace platform {

bool MoveReplacing(const std::string& from, const std::string& to, std::string& szError) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  const DWORD code = GetLastError();
  char szMessage[512] = "";
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, szMessage, sizeof(szMessage), nullptr);
  while (length > 0 && (szMessage[length - 1] == '\r' || szMessage[length - 1] == '\n' ||
                        szMessage[length - 1] == ' ' || szMessage[length - 1] == '.')) {
    szMessage[--length] = '\0';
  }
  szError = (length > 0 ? std::string(szMessage) : std::string("system error")) + " (error " +
            std::to_string(code) + ")";
  return false;
}

}  // namespace platform
