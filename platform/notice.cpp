#include "platform/notice.h"

namespace platform {

// How this platform shows a notice (message box, or a line on standard error).
void ShowPlatformNotice(const char* text, const char* caption, eNoticeIcon icon);

static NoticeHandler noticeHandler = nullptr;

void ShowNotice(const char* text, const char* caption, eNoticeIcon icon) {
  if (noticeHandler != nullptr) {
    noticeHandler(text, caption, icon);
  } else {
    ShowPlatformNotice(text, caption, icon);
  }
}

NoticeHandler SetNoticeHandler(NoticeHandler handler) {
  NoticeHandler previous = noticeHandler;
  noticeHandler = handler;
  return previous;
}

}  // namespace platform
