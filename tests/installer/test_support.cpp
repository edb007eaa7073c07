#include "tests/installer/test_support.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <system_error>

namespace support {

namespace fs = std::filesystem;

static std::mutex noticeLock;
static std::vector<sNotice> notices;

static void RecordNotice(const char* text, const char* caption, platform::eNoticeIcon icon) {
  std::lock_guard<std::mutex> guard(noticeLock);
  notices.push_back({text, caption, icon});
}

cNoticeRecorder::cNoticeRecorder() {
  {
    std::lock_guard<std::mutex> guard(noticeLock);
    notices.clear();
  }
  previous = platform::SetNoticeHandler(RecordNotice);
}

cNoticeRecorder::~cNoticeRecorder() {
  platform::SetNoticeHandler(previous);
}

std::vector<sNotice> cNoticeRecorder::Notices() const {
  std::lock_guard<std::mutex> guard(noticeLock);
  return notices;
}

std::vector<std::string> cNoticeRecorder::Texts() const {
  std::vector<std::string> texts;
  for (const sNotice& notice : Notices()) texts.push_back(notice.text);
  return texts;
}

cScratchFolder::cScratchFolder() {
  std::random_device source;
  std::error_code error;
  for (int tries = 0; tries < 100; ++tries) {
    const fs::path candidate =
        fs::temp_directory_path(error) / ("halvex_installer_" + std::to_string(source()));
    if (fs::create_directory(candidate, error)) {
      path = candidate.string();
      return;
    }
  }
}

cScratchFolder::~cScratchFolder() {
  std::error_code error;
  if (!path.empty()) fs::remove_all(path, error);
}

std::string cScratchFolder::File(const std::string& name) const {
  return (fs::path(path) / name).string();
}

std::string cScratchFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::string file = File(name);
  std::ofstream stream(file, std::ios::binary | std::ios::trunc);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file;
}

bool cScratchFolder::MakeSized(const std::string& name, uint64_t size) const {
  Write(name, std::string());
  return ResizeFile(File(name), size);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) return false;
  bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  return true;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  std::ofstream stream(path, std::ios::binary | std::ios::app);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(stream);
}

bool ResizeFile(const std::string& path, uint64_t size) {
  std::error_code error;
  fs::resize_file(path, size, error);
  return !error;
}

int CountOpenHandles(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return -1;
#else
  std::error_code error;
  const fs::path target = fs::canonical(path, error);
  if (error) return -1;
  int count = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc/self/fd", error)) {
    std::error_code linkError;
    const fs::path link = fs::read_symlink(entry.path(), linkError);
    if (!linkError && link == target) ++count;
  }
  return count;
#endif
}

}  // namespace support
