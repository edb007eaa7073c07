// The halvex-sim tool's options.
#ifndef HALVEX_SIM_SIM_COMMAND_LINE_H
#define HALVEX_SIM_SIM_COMMAND_LINE_H

#include <string>

#include "sim/sim_options.h"

namespace sim {

struct sSimCommandLine {
  sSimOptions options;
  std::string szLink;
  bool bHelp = false;
};

// Reads argv[1..]; "--name value" and "--name=value" both work. False with a reason on an
// unknown option, a missing or malformed value, or when --pty or --store is missing.
bool ParseSimCommandLine(int argc, const char* const* argv, sSimCommandLine& out,
                         std::string& szError);

// The --help text: every option with one line each.
std::string GetSimUsage();

}  // namespace sim

#endif
