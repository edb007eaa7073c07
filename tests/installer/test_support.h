// Helpers shared by the installer tests: recorded notices, scratch files, open handles.
#ifndef HALVEX_TESTS_INSTALLER_TEST_SUPPORT_H
#define HALVEX_TESTS_INSTALLER_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/notice.h"

namespace support {

struct sNotice {
  std::string text;
  std::string caption;
  platform::eNoticeIcon icon;
};

// Records every notice instead of showing it, while it lives.
class cNoticeRecorder {
 public:
  cNoticeRecorder();
  ~cNoticeRecorder();
  std::vector<sNotice> Notices() const;
  std::vector<std::string> Texts() const;

 private:
  platform::NoticeHandler previous;
};

// A fresh folder for one test, removed with its contents when the object goes.
class cScratchFolder {
 public:
  cScratchFolder();
  ~cScratchFolder();
  const std::string& Path() const { return path; }
  std::string File(const std::string& name) const;
  // Writes bytes as the file name and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  // A file of size bytes whose content is not written (sparse where the system allows).
  bool MakeSized(const std::string& name, uint64_t size) const;

 private:
  std::string path;
};

bool ReadWholeFile(const std::string& path, std::string& bytes);
bool AppendToFile(const std::string& path, const std::string& bytes);
bool ResizeFile(const std::string& path, uint64_t size);
// Number of this process's open descriptors that refer to path; -1 where it cannot be told.
int CountOpenHandles(const std::string& path);

}  // namespace support

#endif
