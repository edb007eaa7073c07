// Handles and the text buffer shared by the main window, its dialogs and the interactive
// sequencer (window mode only).
#ifndef HALVEX_APP_WINDOW_WINDOW_GLOBALS_H
#define HALVEX_APP_WINDOW_WINDOW_GLOBALS_H

#include "app/window/win32.h"

// Every loaded string passes through a buffer of this many characters (255 and the NUL).
constexpr int WINDOW_TEXT_LEN = 256;

extern HINSTANCE hInstance;  // the module that holds the dialogs and string tables
extern HWND hDialog;         // the main window
extern HWND hStatBar;        // its status bar (control 498)
extern HWND hMessageDialog;  // the one stage dialog shown during an installation, or null
extern wchar_t szBuffer[WINDOW_TEXT_LEN];

#endif
