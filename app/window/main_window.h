// The main window: its dialog procedure, commands, relabelling and the instrument side.
#ifndef HALVEX_APP_WINDOW_MAIN_WINDOW_H
#define HALVEX_APP_WINDOW_MAIN_WINDOW_H

#include "app/window/win32.h"

// Creates the main window (dialog 300) with language as its parameter and stores it in
// hDialog; hInst is the module that holds the resources. Null when it cannot be created.
HWND CreateMainWindow(HINSTANCE hInst);

INT_PTR CALLBACK MainDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The commands of the menu and the controls, by identifier; TRUE when handled.
INT_PTR OnCommand(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Makes base the language and relabels the window, its controls and its menu. TRUE.
BOOL Translate(HWND hwnd, unsigned base);

// Lists "COM1" to "COM16" where the port exists, and selects the first.
void PopulateCommPortList(HWND hCombo);

// Shows the connected instrument's model, serial number and versions, and the packages that
// fit it.
void UpdateInstrumentData(HWND hwnd);

// Asks the instrument for its versions and shows them.
void UpdateRemoteVersions(HWND hwnd);

#endif
