// The installation that the user starts from the main window: the automatic installation's
// state machine, with the package chosen in the window, a stage dialog and a status text for
// every stage, and Cancel buttons.
#ifndef HALVEX_APP_WINDOW_INTERACTIVE_SEQUENCER_H
#define HALVEX_APP_WINDOW_INTERACTIVE_SEQUENCER_H

#include "app/globals.h"
#include "app/preflight.h"

// The package of the installation (a name in "packages") and its path.
extern char package[MAX_PATH_LEN];
extern char pkg_path[MAX_PATH_LEN];

// Makes a fresh start for the installation of szPackage, whose MAIN image passed mainCheck; the
// Install command calls it before it hands the instrument's port to the installer.
void BeginInteractiveRun(const char* szPackage, const stPreflight& mainCheck = stPreflight());

// One step; false when Getting package finds no package to install, true otherwise.
bool Update();

// True when no installation runs (Idle, or the Connecting that the window leaves alone) and
// the step that reports the last change of state has run: the loop may then wait for messages.
bool InteractiveSequencerAtRest();

// The run in progress or last ended did not deliver its image (or the instrument came back
// with another MAIN version than the image's).
bool InteractiveRunFailed();

// Cancel stopped the transfer: the run has failed and, as after any cut transfer
// (app/transfer_cut.h), waits for the instrument to be switched off and on.
void CancelInteractiveTransfer();

#endif
