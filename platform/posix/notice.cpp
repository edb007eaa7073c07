#include <cstdio>

#include "platform/notice.h"

namespace platform {

// There is no user to click a box away: the notice becomes a line that never blocks.
void ShowPlatformNotice(const char* text, const char* caption, eNoticeIcon) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

}  // namespace platform
