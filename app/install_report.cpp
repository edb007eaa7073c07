#include "app/install_report.h"

#include <cstdio>

#include "app/connections.h"
#include "app/globals.h"
#include "app/install_steps.h"
#include "app/output.h"
#include "app/transfer_cut.h"

void ReportInstallStep(eInstallPackageState state, eInstallPackageState old, bool bEndKnown,
                       bool bFailed) {
  if (state == INSTALL_WAITING_COMPLETION) {
    // While the port is gone the passes only wait for it: no step, no line.
    if (installer.IsPortLost()) return;
    char szLine[64];
    std::snprintf(szLine, sizeof(szLine), " Transfer %3.2f%%\r\n",
                  static_cast<double>(installer.GetProgressPercent()));
    WriteOutput(szLine);
    return;
  }
  if (state == old) return;
  if (state == INSTALL_IDLE && old == INSTALL_RECONNECTING) {
    if (bEndKnown) WriteOutput(bFailed ? " Installation failed!\r\n" : " Done!");
  } else if (state != INSTALL_IDLE) {
    // After a cut the installer is asked for no next file and sent no exit word: the states
    // that would do so are passed through without a line, so the lines say what happens.
    const bool bPassedThrough = state == INSTALL_GETTING_NEXT_FILE || state == INSTALL_REBOOTING;
    if (bPassedThrough && GetTransferCut() != CUT_NONE) return;
    WriteOutput(" " + GetInstallStateString(state) + " ...\r\n");
  }
}

void ReportTransferAgain(int pass) {
  char szLine[192];
  std::snprintf(szLine, sizeof(szLine),
                "An answer was lost during the transfer: the instrument may hold a packet twice.  "
                "Sending the file again (pass %d of %d) ...\r\n",
                pass, MAX_TRANSFER_PASSES);
  WriteOutput(szLine);
}
