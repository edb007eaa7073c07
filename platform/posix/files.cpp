#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/files_order.h"

namespace platform {

// Finds the entry of folder named like name: the exact name first, otherwise the first name
// equal to it without regard to letter case, in listing order.
static bool FindEntry(const std::string& folder, const std::string& name, std::string& found) {
  std::string prefix = folder;
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  struct stat info;
  if (lstat((prefix + name).c_str(), &info) == 0) {
    found = name;
    return true;
  }
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return false;
  std::vector<std::string> matches;
  while (struct dirent* entry = readdir(dir)) {
    if (EqualNoCase(entry->d_name, name)) matches.push_back(entry->d_name);
  }
  closedir(dir);
  if (matches.empty()) return false;
  std::sort(matches.begin(), matches.end(), UpperCaseLess);
  found = matches.front();
  return true;
}

bool ResolvePath(const std::string& path, std::string& actual) {
  actual = path;
  if (path.empty()) return false;
  std::string resolved = path[0] == '/' ? "/" : "";
  size_t start = path[0] == '/' ? 1 : 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;
    std::string folder = resolved;
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::string found;
    if (component == "." || component == "..") {
      found = component;
    } else if (!FindEntry(folder, component, found)) {
      return false;
    }
    if (!resolved.empty() && resolved.back() != '/') resolved += '/';
    resolved += found;
  }
  struct stat info;
  if (stat(resolved.c_str(), &info) != 0) return false;
  actual = resolved;
  return true;
}

static bool StatResolved(const std::string& path, struct stat& info) {
  std::string actual;
  if (!ResolvePath(path, actual)) return false;
  return stat(actual.c_str(), &info) == 0;
}

bool PathExists(const std::string& path) {
  struct stat info;
  return StatResolved(path, info);
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return StatResolved(path, info) && S_ISREG(info.st_mode);
}

FILE* OpenForReading(const std::string& path) {
  std::string actual;
  if (!ResolvePath(path, actual)) return nullptr;
  return std::fopen(actual.c_str(), "rb");
}

bool GetOpenFileSize(FILE* file, uint64_t& size) {
  struct stat info;
  if (file == nullptr || fstat(fileno(file), &info) != 0 || info.st_size < 0) return false;
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  std::string actual;
  if (!ResolvePath(folder, actual)) return names;
  DIR* dir = opendir(actual.c_str());
  if (dir == nullptr) return names;
  while (struct dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (!EndsWithNoCase(name, suffix)) continue;
    struct stat info;
    if (stat((actual + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      names.push_back(name);
    }
  }
  closedir(dir);
  std::sort(names.begin(), names.end(), UpperCaseLess);
  return names;
}

}  // namespace platform
