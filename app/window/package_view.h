// The local side of the main window: the package list (control 421) and the versions that the
// selected package carries (controls 432 to 434).
#ifndef HALVEX_APP_WINDOW_PACKAGE_VIEW_H
#define HALVEX_APP_WINDOW_PACKAGE_VIEW_H

#include "app/window/win32.h"

#include <string>

// Fills the list with the packages that fit the instrument (every package with a versioned
// MAIN image while none is connected). With a connected instrument the store's newest match is
// selected, found by its name: the list sorts by its own rules, which can differ from the
// store's order. The list is disabled when it stays empty.
void PopulatePackageList(HWND hList);

// Shows the MAIN, GPIB and FPGA versions of the selected package; empty fields without one.
void ShowPackageVersions(HWND hwnd);

// The name of the package selected in the main window's list; false when none is.
bool GetSelectedPackage(HWND hwnd, std::string& name);

#endif
