// The process's arguments as narrow texts.
#ifndef HALVEX_PLATFORM_COMMAND_LINE_H
#define HALVEX_PLATFORM_COMMAND_LINE_H

#include <string>
#include <vector>

namespace platform {

struct stArgument {
  std::string text;    // the argument in the narrow (ANSI) character set
  bool bExact = true;  // false when a character had no exact narrow form
};

// Win32: the whole wide command line (GetCommandLineW) split with CommandLineToArgvW and
// converted to the ANSI code page without best-fit mapping. POSIX: argv as given.
std::vector<stArgument> GetArguments(int argc, char** argv);

}  // namespace platform

#endif
