#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/profile.h"

namespace platform {

// Larger buffers are not asked for; a longer value counts as cut.
static const size_t MAX_PROFILE_VALUE = 1u << 20;

// The reader looks for a file named without a folder in the Windows folder, so every
// relative path is made explicit with ".\".
static std::string ExplicitPath(const std::string& file) {
  const bool bAbsolute = !file.empty() && (file[0] == '\\' || file[0] == '/');
  const bool bDrive = file.size() >= 2 && file[1] == ':';
  if (file.empty() || bAbsolute || bDrive) return file;
  return ".\\" + file;
}

bool GetProfileValue(const std::string& file, const char* section, const char* key, char* out,
                     size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (section == nullptr || key == nullptr) return false;
  // The reader cuts a value that does not fit and returns (buffer size - 1); a quoted value
  // that just fits may also lose its last character. Two spare characters tell a value that
  // fits in size - 1 characters from one that does not.
  const size_t wanted = size < MAX_PROFILE_VALUE ? size : MAX_PROFILE_VALUE;
  std::vector<char> buffer(wanted + 2);
  const DWORD length =
      GetPrivateProfileStringA(section, key, "", buffer.data(), static_cast<DWORD>(buffer.size()),
                               ExplicitPath(file).c_str());
  if (length >= wanted) {
    std::memcpy(out, buffer.data(), wanted - 1);
    out[wanted - 1] = '\0';
    return false;
  }
  std::memcpy(out, buffer.data(), length);
  out[length] = '\0';
  return true;
}

}  // namespace platform
