#include "app/usage.h"

#include <algorithm>

#include "app/exit_status.h"
#include "halvex_version.h"

namespace {

// One entry per status: the status, then its meaning, whose further lines are indented to it.
std::string GetExitStatusText() {
  size_t width = 1;
  for (const stExitStatus& row : EXIT_STATUSES) {
    width = std::max(width, std::to_string(row.status).size());
  }
  const std::string indent(2 + width + 2, ' ');
  std::string text;
  for (const stExitStatus& row : EXIT_STATUSES) {
    const std::string status = std::to_string(row.status);
    text += "  " + std::string(width - status.size(), ' ') + status + "  ";
    for (const char* sz = row.szMeaning; *sz != '\0'; ++sz) {
      text += *sz;
      if (*sz == '\n') text += indent;
    }
    text += "\n";
  }
  return text;
}

}  // namespace

std::string GetVersionText() {
  return std::string("halvex-installer ") + HALVEX_VERSION_TEXT + "\n";
}

std::string GetUsageText() {
  return "Usage: halvex-installer -AUTO -PORT=<port> [-BAUD=<rate>] [-PKG=<package>]\n"
         "                        [-TRACE=<file>] [-REPORT=<file>] [-CONSOLE] [-ALL]\n"
         "       halvex-installer -INFO -PORT=<port> [-BAUD=<rate>] [-PKG=<package>]\n"
         "                        [-TRACE=<file>] [-REPORT=<file>]\n"
         "       halvex-installer -PORTS | -LIST | --version | --help\n"
         "Installs a software package on a Halvex pressure instrument over a serial line.\n"
         "Without -AUTO the window opens (Windows program only).\n"
         "\n"
         "Options (case-sensitive):\n"
         "  -AUTO           automatic mode: install without a window, progress lines on\n"
         "                  standard output\n"
         "  -CONSOLE        open a console for the output (Windows); the program stays\n"
         "                  until it is closed\n"
         "  -PORT=<port>    the serial port, COM1 to COM16 (COM<n>), or a port of a\n"
         "                  serial device server: rfc2217://HOST:PORT (the program sets\n"
         "                  its line) or socket://HOST:PORT (bytes as they are; the\n"
         "                  server's line must run at 115200, with -BAUD=115200)\n"
         "  -BAUD=<rate>    speed of the instrument's command interpreter: 9600, 19200,\n"
         "                  38400, 57600 (default) or 115200; the installer always runs\n"
         "                  at 115200\n"
         "  -PKG=<package>  the package file in packages (\".pkg\" may be left out);\n"
         "                  without it the newest package of the connected instrument's\n"
         "                  model is used\n"
         "  -TRACE=<file>   append a timestamped transcript of the line traffic and the\n"
         "                  report lines to the file\n"
         "  -REPORT=<file>  write one JSON record of the run to the file as it ends,\n"
         "                  replacing the file whole: the instrument before and after,\n"
         "                  the package, each image's size, sha256, passes and result,\n"
         "                  ports lost, the phases' seconds, the exit status, a reason\n"
         "                  code and the last line; also for -INFO, in the window\n"
         "                  after each installation, and (short) for status 8\n"
         "  -PORTS          list the serial ports and exit; runs alone\n"
         "  --version       print the program's version and exit; runs alone\n"
         "  -HELP, --help, -?  print this text and exit\n"
         "  -LIST           list the package store (each package's images with version,\n"
         "                  size and checksum state) and the package an automatic run\n"
         "                  takes for each model; opens no port; runs alone\n"
         "  -INFO           show the instrument (identification and versions) and the\n"
         "                  package an automatic run would install on it; installs\n"
         "                  nothing (a socket:// port's note on the server's speed goes\n"
         "                  to standard error)\n"
         "  -ALL            with -AUTO: install every image the package names, FPGA,\n"
         "                  GPIB, then MAIN (each script after its image), each checked\n"
         "                  before the installer starts and verified after the return;\n"
         "                  without it only MAIN (the window always installs MAIN)\n"
         "\n"
         "On Linux COM<n> is the device in HALVEX_COM<n>, else /dev/ttyS<n-1>:\n"
         "  HALVEX_COM1=/dev/ttyUSB0 halvex-installer -AUTO -PORT=COM1\n"
         "HOST is a name, an IPv4 address or an IPv6 address in brackets:\n"
         "  halvex-installer -AUTO -PORT=rfc2217://bench3:2217\n"
         "\n"
         "Exit status:\n" +
         GetExitStatusText();
}
