// The small modeless dialogs that show the stages of an installation, one at a time, each with
// a Cancel button that changes the installation's state.
#ifndef HALVEX_APP_WINDOW_STAGE_DIALOGS_H
#define HALVEX_APP_WINDOW_STAGE_DIALOGS_H

#include "app/window/win32.h"

// Creates stage dialog id (303, 305, 308, 310 or 312) owned by the main window, in the current
// language, shows it and keeps it in hMessageDialog. A stage dialog still shown is closed
// first. Null when it cannot be created.
HWND ShowStageDialog(int id);

// Closes the stage dialog, if one is shown. hMessageDialog is cleared whenever a stage dialog
// goes away (here, through its Cancel, or with its owner), so closing twice is harmless.
void CloseStageDialog();

// Shows the string of key in the text of the stage dialog, if one is shown and the string is
// there.
void SetStageText(int key);

// Sets the progress bar of the stage dialog, if it has one, to percent (0 to 100).
void SetStageProgress(int percent);

// Cancel: 303 and 308 make the installation reboot the instrument, 305 also stops the
// transfer, 310 and 312 stop waiting for the instrument.
INT_PTR CALLBACK StartInstallerDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RunScriptDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WaitRestartDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WaitPowerCycleDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

#endif
