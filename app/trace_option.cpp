#include "app/trace_option.h"

#include <filesystem>
#include <system_error>

#include "app/output.h"
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
  const std::string& name = options.traceFile;
  if (name.empty()) return "-TRACE= names no file!  Aborting ...\r\n";
  std::error_code error;
  const std::filesystem::path file(name);
  if (std::filesystem::is_directory(file, error)) {
    return "Trace file \"" + name + "\" is a folder!  Aborting ...\r\n";
  }
  const std::filesystem::path folder = file.parent_path();
  if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
    return "Trace file \"" + name + "\": the folder \"" + folder.string() +
           "\" does not exist!  Aborting ...\r\n";
  }
  return std::string();
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
