// A fresh temporary folder that is the working directory for the duration of one test.
#ifndef HALVEX_TESTS_STORE_TEMP_FOLDER_H
#define HALVEX_TESTS_STORE_TEMP_FOLDER_H

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

class cTempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    savedFolder = fs::current_path();
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    root = fs::temp_directory_path() /
           ("halvex_store_" + std::to_string(ticks) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_TRUE(fs::create_directories(root));
    fs::current_path(root);
  }

  void TearDown() override {
    std::error_code error;
    std::filesystem::current_path(savedFolder, error);
    std::filesystem::remove_all(root, error);
  }

  // Writes text to a file under the working directory, creating its folders.
  static void WriteFile(const std::string& path, const std::string& text) {
    const std::filesystem::path file(path);
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
    std::ofstream stream(file, std::ios::binary);
    stream << text;
    ASSERT_TRUE(stream.good()) << path;
  }

  std::filesystem::path savedFolder;
  std::filesystem::path root;
};

#endif
