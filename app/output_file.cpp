#include "app/output_file.h"

#include <filesystem>
#include <system_error>

std::string CheckOutputFileName(const char* szOption, const char* szKind, const std::string& name) {
  if (name.empty()) return std::string(szOption) + " names no file!  Aborting ...\r\n";
  std::error_code error;
  const std::filesystem::path file(name);
  const std::string named = std::string(szKind) + " \"" + name + "\"";
  if (std::filesystem::is_directory(file, error)) return named + " is a folder!  Aborting ...\r\n";
  const std::filesystem::path folder = file.parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
    return named + ": the folder \"" + folder.string() + "\" does not exist!  Aborting ...\r\n";
  }
  return std::string();
}
