// "-TRACE=<file>": the check of the name, and the trace's start and end.
#ifndef HALVEX_APP_TRACE_OPTION_H
#define HALVEX_APP_TRACE_OPTION_H

#include <string>

#include "app/command_line.h"

// The line that says why the file named by "-TRACE=" cannot be used (an empty name, a folder,
// a folder that does not exist); empty when it can, or when no trace was asked for.
std::string CheckTraceFile(const stCommandLine& options);

// Opens the trace when one was asked for and records the start-up log in it. A trace that
// cannot be opened or written is reported once as a line on standard output; the run goes on.
void StartTrace(const stCommandLine& options, const std::string& startupLog);

// Writes the exit status and closes the trace.
void EndTrace(int exitStatus);

#endif
