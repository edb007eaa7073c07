// The program's start, automatic loop and end, shared by both platforms' entry points. The
// entry point (main.cpp) chooses the mode: the automatic run here, or the window's run.
#ifndef HALVEX_APP_PROGRAM_H
#define HALVEX_APP_PROGRAM_H

#include <vector>

#include "app/auto_sequencer.h"
#include "platform/command_line.h"

// Reads the options, opens the console when asked, writes the start-up log, sets the first
// state and picks the language. True when the automatic mode was chosen.
bool StartProgram(const std::vector<platform::stArgument>& arguments);

// The automatic mode's loop, with these time limits; returns its exit status.
int RunAutomaticMode(const stAutoLimits& limits);

// The automatic mode's limits of this executable. halvex-installer always takes
// DEFAULT_AUTO_LIMITS (program_limits.cpp); the test tree builds the same program with another
// definition (tests/program/).
stAutoLimits GetProgramAutoLimits();

// Writes "Exiting program ..." and returns status.
int EndProgram(int status);

#endif
