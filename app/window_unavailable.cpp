// Window mode where there is no window: this build installs in the automatic mode only.
#include "app/window_unavailable.h"

#include <cstdio>

#include "app/exit_status.h"

int ReportWindowUnavailable() {
  std::fputs(
      "halvex-installer: the window needs the Windows build (halvex-installer.exe).\n"
      "Run an automatic installation with -AUTO -PORT=COM<n> [-BAUD=<rate>] [-PKG=<package>].\n",
      stderr);
  return EXIT_COMMAND_LINE;
}
