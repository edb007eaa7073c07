// Records the program's notices (those of the notice sink, Notify, and those shown through the
// platform's seam) instead of showing them, while the object lives:
//   cNoticeRecorder notices;  ...  EXPECT_EQ(notices.Texts(), ...);
#ifndef HALVEX_TESTS_SUPPORT_NOTICES_H
#define HALVEX_TESTS_SUPPORT_NOTICES_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/notice.h"
#include "util/no_copy.h"

struct sNotice {
  std::string text;
  std::string caption;
  platform::eNoticeIcon icon;
  int64_t ctShown;  // monotonic milliseconds
};

class cNoticeRecorder : private cNoCopy {
 public:
  cNoticeRecorder();
  ~cNoticeRecorder();

  std::vector<sNotice> Notices() const;
  std::vector<std::string> Texts() const;

 private:
  platform::NoticeHandler previous;
  NoticeSink previousSink;
};

#endif
