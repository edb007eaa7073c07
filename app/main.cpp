// The program's entry point: it starts the program and runs the mode the options chose.
#include "app/program.h"

#ifdef _WIN32
#include <windows.h>

#include "app/window/window_loop.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  // The narrow command line handed in is ignored: the arguments come from the wide one.
  int status = 0;
  switch (StartProgram(platform::GetArguments(0, nullptr), status)) {
    case PROGRAM_ANSWERED:
      return status;
    case PROGRAM_AUTOMATIC:
      return EndProgram(RunAutomaticMode(GetProgramAutoLimits()));
    case PROGRAM_WINDOW:
      break;
  }
  status = RunWindowMode(hInstance);
  if (status < 0) return 0;  // the window could not be created: nothing more is logged
  return EndProgram(status);
}

#else

#include "app/window_unavailable.h"

int main(int argc, char** argv) {
  int status = 0;
  switch (StartProgram(platform::GetArguments(argc, argv), status)) {
    case PROGRAM_ANSWERED:
      return status;
    case PROGRAM_AUTOMATIC:
      return EndProgram(RunAutomaticMode(GetProgramAutoLimits()));
    case PROGRAM_WINDOW:
      break;
  }
  return EndProgram(ReportWindowUnavailable());
}

#endif
