// The options that answer at once and end the program: the help, "--version", "-PORTS" and
// "-LIST".
#ifndef HALVEX_APP_INFORMATION_OPTIONS_H
#define HALVEX_APP_INFORMATION_OPTIONS_H

#include <string>

#include "app/command_line.h"

// When the help, "--version", "-PORTS" or "-LIST" was given: shows its text and returns true
// with the exit status (0; EXIT_COMMAND_LINE when "-LIST" finds no packages folder;
// EXIT_OPTIONS_CONFLICT when other options came with them, or two of them came together: they
// each run alone, and say that the rest was not acted on). The help wins over everything else.
// False when none was given: the program goes on.
bool RunInformationOptions(const stCommandLine& options, int& exitStatus);

// Shows text where the user sees it: on standard output, and the problem line (when not empty)
// on standard error; where standard output leads nowhere (a Windows program started from the
// desktop), both in one message box. An unattended run ("-AUTO" or "-INFO" given: bUnattended)
// never waits in a box: its text goes to the standard streams whether or not they lead anywhere.
void ShowProgramText(const std::string& text, const std::string& problem, bool bUnattended = false);

#endif
