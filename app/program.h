// The program's entry and loop, shared by both platforms' entry points.
#ifndef HALVEX_APP_PROGRAM_H
#define HALVEX_APP_PROGRAM_H

#include <vector>

#include "platform/command_line.h"

// Reads the options, writes the start-up log, sets the first state, picks the language and
// runs the loop of the chosen mode. Returns the process exit status.
int RunProgram(const std::vector<platform::stArgument>& arguments, void* hInstance);

// Window mode: creates the main window and runs its loop until it closes; returns the exit
// status. Only the Windows build has the window.
int RunWindowMode(void* hInstance);

#endif
