// The program's start, automatic loop and end, shared by both platforms' entry points. The
// entry point (main.cpp) chooses the mode: the automatic run here, or the window's run.
#ifndef HALVEX_APP_PROGRAM_H
#define HALVEX_APP_PROGRAM_H

#include <vector>

#include "app/auto_sequencer.h"
#include "platform/command_line.h"

// What the program does after its start.
enum eProgramMode : int {
  PROGRAM_ANSWERED = 0,  // the help, "--version", "-PORTS", "-LIST" or "-INFO" answered: it ends
                         // at once
  PROGRAM_AUTOMATIC,     // the automatic mode's loop
  PROGRAM_WINDOW         // the window
};

// Reads the options once. The help, "--version", "-PORTS", "-LIST" and "-INFO" show their text
// (nothing else: no start-up log; "-INFO" writes it to its trace) and give PROGRAM_ANSWERED with
// the exit status in answeredStatus. Otherwise it
// opens the console when asked, writes the start-up log, opens the trace when one was asked
// for, sets the first state and picks the language. A "-TRACE=" that names no usable file
// gives PROGRAM_AUTOMATIC with the state left Idle: the loop ends at once with EXIT_TRACE_FILE.
eProgramMode StartProgram(const std::vector<platform::stArgument>& arguments, int& answeredStatus);

// The automatic mode's loop, with these time limits; returns its exit status. The run record is
// written the first time the run is at rest (with "-CONSOLE" the loop goes on after that).
int RunAutomaticMode(const stAutoLimits& limits);

// The automatic mode's limits of this executable. halvex-installer always takes
// DEFAULT_AUTO_LIMITS (program_limits.cpp); the test tree builds the same program with another
// definition (tests/program/).
stAutoLimits GetProgramAutoLimits();

// Writes the run record if it is not written yet, "Exiting program ...", closes the trace and
// returns status.
int EndProgram(int status);

#endif
