#include "app/output.h"

#include <cstdio>

#include "app/run_log.h"
#include "util/trace.h"

void WriteOutput(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  trace.Report(text);
  LogOutput(text);
}
