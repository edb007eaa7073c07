#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "platform/notice.h"

namespace fuzz {

static void DropNotice(const char*, const char*, platform::eNoticeIcon) {}

void SilenceNotices() {
  SetNoticeSink(DropNotice);
  platform::SetNoticeHandler(DropNotice);
}

void Require(bool bHolds, const char* szWhat) {
  if (bHolds) return;
  std::fprintf(stderr, "property violated: %s\n", szWhat);
  std::abort();
}

std::vector<std::string> SplitAtNul(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(static_cast<char>(data[i]));
    }
  }
  return pieces;
}

}  // namespace fuzz
