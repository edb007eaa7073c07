// The modal dialogs of the Help menu.
#ifndef HALVEX_APP_WINDOW_HELP_DIALOGS_H
#define HALVEX_APP_WINDOW_HELP_DIALOGS_H

#include "app/window/win32.h"

// The program's version and date, as About shows them.
extern const wchar_t* const PROGRAM_VERSION;
extern const wchar_t* const PROGRAM_DATE;

// The creation parameter of both is the language base. OK closes them.
INT_PTR CALLBACK AboutDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK InstructionsDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

#endif
