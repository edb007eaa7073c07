#include <cstdio>

#include "platform/notice.h"

namespace platform {

static NoticeHandler noticeHandler = nullptr;

void ShowNotice(const char* text, const char* caption, eNoticeIcon icon) {
  if (noticeHandler != nullptr) {
    noticeHandler(text, caption, icon);
    return;
  }
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

NoticeHandler SetNoticeHandler(NoticeHandler handler) {
  NoticeHandler previous = noticeHandler;
  noticeHandler = handler;
  return previous;
}

}  // namespace platform
