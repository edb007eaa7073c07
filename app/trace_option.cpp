#include "app/trace_option.h"

#include "app/output.h"
#include "app/output_file.h"
#include "app/usage.h"
#include "util/trace.h"

namespace {

void ReportTraceFailure(const std::string& text) {
  // The trace is off by now, so this line is not traced.
  WriteOutput(text);
}

}  // namespace

std::string CheckTraceFile(const stCommandLine& options) {
  if (!options.bTraceNamed) return std::string();
  return CheckOutputFileName("-TRACE=", "Trace file", options.traceFile);
}

void StartTrace(const stCommandLine& options, const std::string& startupLog) {
  if (!options.bTraceNamed) return;
  trace.SetFailureHandler(ReportTraceFailure);
  std::string header = GetVersionText();
  header.pop_back();  // its line end
  if (trace.Open(options.traceFile, header)) trace.Report(startupLog);
}

void EndTrace(int exitStatus) {
  trace.Close("exit status " + std::to_string(exitStatus));
}
