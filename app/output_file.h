// The check of a file that an option names for the program to write (the trace, the run
// record), made before the run begins.
#ifndef HALVEX_APP_OUTPUT_FILE_H
#define HALVEX_APP_OUTPUT_FILE_H

#include <string>

// The line that says why the file that szOption ("-TRACE=") names cannot be used: an empty
// name, a folder, a folder that does not exist; szKind ("Trace file") names the file in it.
// Empty when it can be used.
std::string CheckOutputFileName(const char* szOption, const char* szKind, const std::string& name);

#endif
