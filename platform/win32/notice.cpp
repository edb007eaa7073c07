#include <windows.h>

#include "platform/notice.h"

namespace platform {

void ShowPlatformNotice(const char* text, const char* caption, eNoticeIcon icon) {
  UINT type = MB_OK;
  switch (icon) {
    case NOTICE_ERROR:
      type |= MB_ICONERROR;
      break;
    case NOTICE_WARNING:
      type |= MB_ICONWARNING;
      break;
    case NOTICE_INFORMATION:
      type |= MB_ICONINFORMATION;
      break;
  }
  MessageBoxA(nullptr, text, caption, type);
}

}  // namespace platform
