#include "support/notices.h"

#include <mutex>

#include "platform/clock.h"

namespace {

// The platform takes a plain function: what it records lives here.
std::mutex noticeLock;
std::vector<sNotice> recorded;

void Record(const char* text, const char* caption, platform::eNoticeIcon icon) {
  std::lock_guard<std::mutex> guard(noticeLock);
  recorded.push_back({text, caption, icon, platform::GetMonotonicMs()});
}

}  // namespace

cNoticeRecorder::cNoticeRecorder() {
  {
    std::lock_guard<std::mutex> guard(noticeLock);
    recorded.clear();
  }
  previous = platform::SetNoticeHandler(Record);
  previousSink = SetNoticeSink(Record);
}

cNoticeRecorder::~cNoticeRecorder() {
  SetNoticeSink(previousSink);
  platform::SetNoticeHandler(previous);
}

std::vector<sNotice> cNoticeRecorder::Notices() const {
  std::lock_guard<std::mutex> guard(noticeLock);
  return recorded;
}

std::vector<std::string> cNoticeRecorder::Texts() const {
  std::vector<std::string> texts;
  for (const sNotice& notice : Notices()) texts.push_back(notice.text);
  return texts;
}
