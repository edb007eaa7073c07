#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

cTempFolder::cTempFolder() {
  previous = fs::current_path().string();
  std::random_device random;
  fs::path path = fs::temp_directory_path() / ("halvex-test-" + std::to_string(random()));
  fs::create_directories(path);
  folder = path.string();
  fs::current_path(path);
}

cTempFolder::~cTempFolder() {
  std::error_code error;
  fs::current_path(previous, error);
  fs::remove_all(folder, error);
}

void cTempFolder::MakeFolder(const std::string& relative) const {
  fs::create_directories(fs::u8path(relative));
}

void cTempFolder::WriteFile(const std::string& relative, const std::string& content) const {
  fs::path path = fs::u8path(relative);
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream file(path, std::ios::binary);
  file << content;
  ASSERT_TRUE(file.good()) << relative;
}
