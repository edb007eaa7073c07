// The main window's status bar: three parts, every text in the third.
#ifndef HALVEX_APP_WINDOW_STATUS_BAR_H
#define HALVEX_APP_WINDOW_STATUS_BAR_H

#include "app/window/win32.h"

#include <string>
#include <vector>

// Creates the status bar (control 498) along the bottom of hwnd, with parts ending at 80 and
// 240 pixels and at the right edge; stores it in hStatBar.
HWND CreateStatusBar(HWND hwnd);

// Shows the string of key in the current language; a missing string leaves the text as it is.
// Each "%s" of the string takes the next of args.
void SetStatus(int key, const std::vector<std::wstring>& args = {});

// The status after connecting on port. COM1 to COM4 have their own texts (keys 810 to 813);
// the others take the text for COM1 with the port's name in its place. False when the
// language has no text for it.
bool GetFoundStatusText(int port, std::wstring& text);
void SetFoundStatus(int port);

// The key of the status shown; 0 for a port's found text or none.
int GetStatusKey();
// The text of the status shown, in the current language; empty when none is shown.
std::wstring GetStatusText();

// Shows the last status again, in the language now chosen.
void ShowStatusAgain();

#endif
