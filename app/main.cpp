// The program's entry point: it starts the program and runs the mode the options chose.
#include "app/program.h"

namespace {

// Starts the program and runs what needs no window. True when the program is over, with its
// exit status in status; false when the window mode is to run.
bool RunWithoutWindow(int argc, char** argv, int& status) {
  switch (StartProgram(platform::GetArguments(argc, argv), status)) {
    case PROGRAM_ANSWERED:
      return true;
    case PROGRAM_AUTOMATIC:
      status = EndProgram(RunAutomaticMode(GetProgramAutoLimits()));
      return true;
    case PROGRAM_WINDOW:
      break;
  }
  return false;
}

}  // namespace

#ifdef _WIN32
#include <windows.h>

#include "app/window/window_loop.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  // The narrow command line handed in is ignored: the arguments come from the wide one.
  int status = 0;
  if (RunWithoutWindow(0, nullptr, status)) return status;
  status = RunWindowMode(hInstance);
  if (status < 0) return 0;  // the window could not be created: nothing more is logged
  return EndProgram(status);
}

#else

#include "app/window_unavailable.h"

int main(int argc, char** argv) {
  int status = 0;
  if (RunWithoutWindow(argc, argv, status)) return status;
  return EndProgram(ReportWindowUnavailable());
}

#endif
