#include <io.h>
#include <windows.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/files_order.h"

namespace platform {

static DWORD Attributes(const std::string& path) {
  return GetFileAttributesA(path.c_str());
}

bool ResolvePath(const std::string& path, std::string& actual) {
  actual = path;
  return !path.empty() && Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool PathExists(const std::string& path) {
  return !path.empty() && Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsRegularFile(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

FILE* OpenForReading(const std::string& path) {
  if (!IsRegularFile(path)) return nullptr;
  return std::fopen(path.c_str(), "rb");
}

bool GetOpenFileSize(FILE* file, uint64_t& size) {
  if (file == nullptr) return false;
  const __int64 length = _filelengthi64(_fileno(file));
  if (length < 0) return false;
  size = static_cast<uint64_t>(length);
  return true;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
  // Every entry is listed and filtered here: a "*.pkg" search would also match through the
  // short 8.3 names, so 'a.pkgx' would pass.
  const std::string pattern = (folder.empty() ? std::string(".") : folder) + "\\*";
  WIN32_FIND_DATAA data;
  HANDLE hFind = FindFirstFileA(pattern.c_str(), &data);
  if (hFind == INVALID_HANDLE_VALUE) return names;
  do {
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
      continue;
    }
    if (EndsWithNoCase(data.cFileName, suffix)) names.push_back(data.cFileName);
  } while (FindNextFileA(hFind, &data));
  FindClose(hFind);
  std::sort(names.begin(), names.end(), UpperCaseLess);
  return names;
}

}  // namespace platform
