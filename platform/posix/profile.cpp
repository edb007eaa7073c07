#include <cstdio>
#include <string>

#include "platform/files.h"
#include "platform/profile.h"

namespace platform {

// The whole text of a regular file; empty when it is missing or cannot be read.
static std::string ReadText(const std::string& file) {
  std::string text;
  std::string actual;
  if (!ResolvePath(file, actual) || !IsRegularFile(actual)) return text;
  FILE* pFile = std::fopen(actual.c_str(), "rb");
  if (pFile == nullptr) return text;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof(buffer), pFile)) > 0) text.append(buffer, count);
  if (std::ferror(pFile)) text.clear();
  std::fclose(pFile);
  return text;
}

bool GetProfileValue(const std::string& file, const char* section, const char* key, char* out,
                     size_t size) {
  if (out == nullptr || size == 0) return false;
  return ReadProfileValue(ReadText(file), section, key, out, size);
}

}  // namespace platform
