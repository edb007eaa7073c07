#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/console.h"

namespace platform {

void SetBinaryStdStreams() {}

void RedirectIOToConsole() {
  // The process already runs in a terminal (or writes to whatever its caller gave it); what
  // matters is that every line shows at once.
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::setvbuf(stderr, nullptr, _IONBF, 0);
}

bool HasStandardOutput() {
  return fcntl(STDOUT_FILENO, F_GETFD) != -1;
}

}  // namespace platform
