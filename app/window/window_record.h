// The run record of an installation started from the window ("-REPORT=", app/run_log.h): begun
// by the Install command, written when the installation is over.
#ifndef HALVEX_APP_WINDOW_WINDOW_RECORD_H
#define HALVEX_APP_WINDOW_WINDOW_RECORD_H

#include "app/preflight.h"

// The installation of package szPackage (a name in "packages"), whose MAIN image passed
// mainCheck, begins on the connected instrument.
void BeginWindowRecord(const char* szPackage, const stPreflight& mainCheck);

// The installation is over: the record is written, with the status bar's text as its message.
void EndWindowRecord();

#endif
