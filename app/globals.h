// The application's program-wide state: the command-line choices, the installation's state and
// its files, the language. The two connections are in app/connections.h.
#ifndef HALVEX_APP_GLOBALS_H
#define HALVEX_APP_GLOBALS_H

#include "app/command_line.h"
#include "app/install_state.h"
#include "util/path_limit.h"

extern stCommandLinePkg chosen_pkg_settings;
extern stCommandLineCom chosen_com_settings;

extern bool bAuto;
extern bool bConsole;
extern eInstallPackageState installPackageState;
extern int language;                      // language base 1000 ... 5000
extern char path[MAX_PATH_LEN];           // prefix of "packages" and "files" (empty)
extern char last_pkg_path[MAX_PATH_LEN];  // newest package found by the last scan

// The file of the current installation step.
extern int fileType;                  // index into SHORT_FILE_TYPE
extern char filename[MAX_PATH_LEN];   // image name from the package, also the remote name
extern char file_path[MAX_PATH_LEN];  // local path of that image

// Language base from a primary language identifier (0x07 German ... anything else English).
int ChooseLanguage(unsigned primaryLanguage);

#endif
