#include <windows.h>

#include "platform/notice.h"

namespace platform {

static NoticeHandler noticeHandler = nullptr;

void ShowNotice(const char* text, const char* caption, eNoticeIcon icon) {
  if (noticeHandler != nullptr) {
    noticeHandler(text, caption, icon);
    return;
  }
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

NoticeHandler SetNoticeHandler(NoticeHandler handler) {
  NoticeHandler previous = noticeHandler;
  noticeHandler = handler;
  return previous;
}

}  // namespace platform
