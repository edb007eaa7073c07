#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

cTempFolder::cTempFolder(eEnter enter) {
  std::random_device source;
  std::error_code error;
  for (int tries = 0; tries < 100 && szFolder.empty(); ++tries) {
    const fs::path candidate =
        fs::temp_directory_path(error) / ("halvex-test-" + std::to_string(source()));
    if (fs::create_directory(candidate, error)) szFolder = candidate.string();
  }
  if (szFolder.empty()) {
    ADD_FAILURE() << "no temporary folder could be made";
    return;
  }
  if (enter == ENTER) {
    szPrevious = fs::current_path().string();
    fs::current_path(szFolder);
  }
}

cTempFolder::~cTempFolder() {
  std::error_code error;
  if (!szPrevious.empty()) fs::current_path(szPrevious, error);
  if (!szFolder.empty()) fs::remove_all(szFolder, error);
}

std::string cTempFolder::PathOf(const std::string& relative) const {
  return (fs::path(szFolder) / fs::u8path(relative)).string();
}

void cTempFolder::MakeFolder(const std::string& relative) const {
  fs::create_directories(fs::path(szFolder) / fs::u8path(relative));
}

std::string cTempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
  const fs::path path = fs::path(szFolder) / fs::u8path(relative);
  fs::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.good()) ADD_FAILURE() << "could not write " << relative;
  return path.string();
}

bool cTempFolder::MakeSized(const std::string& relative, uint64_t size) const {
  return ResizeFile(WriteFile(relative, std::string()), size);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) return false;
  bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  return true;
}

std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

bool AppendToFile(const std::string& path, const std::string& bytes) {
  std::ofstream stream(path, std::ios::binary | std::ios::app);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(stream);
}

bool SameFileBytes(const std::string& pathA, const std::string& pathB) {
  std::ifstream a(pathA, std::ios::binary), b(pathB, std::ios::binary);
  if (!a || !b) return false;
  std::vector<char> blockA(1 << 16), blockB(1 << 16);
  for (;;) {
    a.read(blockA.data(), static_cast<std::streamsize>(blockA.size()));
    b.read(blockB.data(), static_cast<std::streamsize>(blockB.size()));
    const std::streamsize n = a.gcount();
    if (n != b.gcount()) return false;
    if (n == 0) return true;
    if (std::memcmp(blockA.data(), blockB.data(), static_cast<size_t>(n)) != 0) return false;
  }
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
