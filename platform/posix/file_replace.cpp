#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/file_replace.h"

namespace platform {

bool MoveReplacing(const std::string& from, const std::string& to, std::string& szError) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  szError = std::strerror(errno);
  return false;
}

}  // namespace platform
