#include "app/output.h"

#include <cstdio>

void WriteOutput(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}
