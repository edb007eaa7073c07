#include <windows.h>

#include "platform/file_replace.h"
#include "platform/win32/system_text.h"

namespace platform {

bool MoveReplacing(const std::string& from, const std::string& to, std::string& szError) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  szError = SystemText(GetLastError());
  return false;
}

}  // namespace platform
