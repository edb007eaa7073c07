// The package a run installs, chosen once the instrument has identified itself and before its
// installer is started, so that the check of its MAIN image (app/preflight.h) can keep a package
// that cannot be installed from ever starting the installer.
#ifndef HALVEX_APP_PACKAGE_CHOICE_H
#define HALVEX_APP_PACKAGE_CHOICE_H

#include <string>

#include "app/command_line.h"
#include "app/preflight.h"

// The package an automatic run takes for an instrument of this model: the one named with
// "-PKG=" when it was found, otherwise the newest package of the model whatever its major number
// (the package filter of app/package_store.h, as Getting file chose it). Writes nothing. False,
// packagePath empty, when there is none.
bool ChooseRunPackage(const char* szPrefix, const stCommandLinePkg& named, const std::string& model,
                      std::string& packagePath);

// The trace's record of the image a transfer starts to send, as the check read it.
void TraceImageSent(const stPreflight& check);

#endif
