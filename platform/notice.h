// The user-notice seam: a modal message box on Windows, a "caption: text" line on standard
// error elsewhere (never blocks). The program's own notices go through the sink of
// util/notice.h; the window sets this seam as that sink.
#ifndef HALVEX_PLATFORM_NOTICE_H
#define HALVEX_PLATFORM_NOTICE_H

#include "util/notice.h"

namespace platform {

using ::eNoticeIcon;
using ::NOTICE_ERROR;
using ::NOTICE_INFORMATION;
using ::NOTICE_WARNING;

typedef void (*NoticeHandler)(const char* text, const char* caption, eNoticeIcon icon);

// Shows text with caption and icon and waits for the user where the platform has a user.
void ShowNotice(const char* text, const char* caption, eNoticeIcon icon);

// Replaces how notices are shown (null restores the platform's own). Tests use it to record
// notices instead of blocking on a message box. Returns the previous handler.
NoticeHandler SetNoticeHandler(NoticeHandler handler);

}  // namespace platform

#endif
