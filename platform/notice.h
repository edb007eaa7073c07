// The user-notice seam: a modal message box on Windows, a "caption: text" line on standard
// error elsewhere (never blocks).
#ifndef HALVEX_PLATFORM_NOTICE_H
#define HALVEX_PLATFORM_NOTICE_H

namespace platform {

enum eNoticeIcon { NOTICE_ERROR, NOTICE_WARNING, NOTICE_INFORMATION };

typedef void (*NoticeHandler)(const char* text, const char* caption, eNoticeIcon icon);

// Shows text with caption and icon and waits for the user where the platform has a user.
void ShowNotice(const char* text, const char* caption, eNoticeIcon icon);

// Replaces how notices are shown (null restores the platform's own). Tests use it to record
// notices instead of blocking on a message box. Returns the previous handler.
NoticeHandler SetNoticeHandler(NoticeHandler handler);

}  // namespace platform

#endif
