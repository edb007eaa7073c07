#include "platform/win32/system_text.h"

#include <windows.h>

namespace platform {

std::string SystemText(unsigned long code) {
  char szMessage[512] = "";
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, szMessage, sizeof(szMessage), nullptr);
  while (length > 0 && (szMessage[length - 1] == '\r' || szMessage[length - 1] == '\n' ||
                        szMessage[length - 1] == ' ' || szMessage[length - 1] == '.')) {
    szMessage[--length] = '\0';
  }
  return (length > 0 ? std::string(szMessage) : std::string("system error")) + " (error " +
         std::to_string(code) + ")";
}

}  // namespace platform
