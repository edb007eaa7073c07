#include "app/program.h"

#include <string>

#include "app/connections.h"
#include "app/globals.h"
#include "app/output.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/locale.h"

// With a console the automatic loop goes on after the run; an idle pass sleeps this long so
// the waiting program does not burn a processor.
static const unsigned IDLE_PASS_SLEEP_MS = 50;

bool StartProgram(const std::vector<platform::stArgument>& arguments) {
  platform::SetBinaryStdStreams();
  bAuto = false;
  bConsole = false;
  last_pkg_path[0] = '\0';
  chosen_com_settings = stCommandLineCom();
  chosen_pkg_settings = stCommandLinePkg();

  const stCommandLine options = ReadCommandLine(arguments, path);
  bAuto = options.bAuto;
  bConsole = options.bConsole;
  if (bConsole) installer.SetConsole(true);
  chosen_com_settings = options.com;
  chosen_pkg_settings = options.pkg;

  if (bConsole) platform::RedirectIOToConsole();
  WriteOutput(FormatStartupLog(arguments));

  installPackageState = INSTALL_IDLE;
  if (options.bPackageNamed && chosen_pkg_settings.bFound) {
    installPackageState = INSTALL_CONNECTING;
    WriteOutput("Found package \"" + chosen_pkg_settings.packageFile + "\" ...\r\n");
  } else if (options.bPackageNamed) {
    WriteOutput("Package \"" + chosen_pkg_settings.packageFile + "\" not found!  Aborting ...\r\n");
    SetAutoExitStatus(EXIT_COMMAND_LINE);
  } else if (bAuto) {
    installPackageState = INSTALL_CONNECTING;
    WriteOutput("Package not specified.  Will use latest version available ...\r\n");
  }

  language = ChooseLanguage(platform::GetUserPrimaryLanguage());
  return bAuto;
}

int RunAutomaticMode(const stAutoLimits& limits) {
  path[0] = '\0';
  SetAutoLimits(limits);
  for (;;) {
    if (AutoSequencerAtRest()) {
      if (!bConsole) break;
      platform::SleepMs(IDLE_PASS_SLEEP_MS);
    }
    if (!UpdateAuto()) break;
  }
  return GetAutoExitStatus();
}

int EndProgram(int status) {
  WriteOutput("Exiting program ...");
  return status;
}
