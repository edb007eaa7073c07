// The program's entry point.
#include "app/program.h"

#ifdef _WIN32
#include <windows.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  // The narrow command line handed in is ignored: the arguments come from the wide one.
  return RunProgram(platform::GetArguments(0, nullptr), hInstance);
}

#else

int main(int argc, char** argv) { return RunProgram(platform::GetArguments(argc, argv), nullptr); }

#endif
