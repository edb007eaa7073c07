// The report lines that both installation sequencers write to standard output.
#ifndef HALVEX_APP_INSTALL_REPORT_H
#define HALVEX_APP_INSTALL_REPORT_H

#include "app/install_state.h"

// The line of one step: in Waiting completion the progress (" Transfer %3.2f%%"), on every
// step that the installer's port is there for; otherwise only when the state differs from the old
// one: " <state> ...", or at the return from Reconnecting to Idle " Done!" (no line end), "
// Installation failed!" when the image did not reach the instrument, and nothing when bEndKnown is
// false (the instrument did not come back). A change to Idle from any other state writes nothing,
// and neither does Getting next file or Rebooting after a cut transfer (app/transfer_cut.h).
void ReportInstallStep(eInstallPackageState state, eInstallPackageState old, bool bEndKnown,
                       bool bFailed);

// Before a file is sent again (pass of MAX_TRANSFER_PASSES): an answer was lost, so the
// instrument may hold a packet twice. The progress lines that follow start again from 0.00%.
void ReportTransferAgain(int pass);

#endif
