#include "app/globals.h"

#include "app/connections.h"

// Constructed in this order and destroyed in reverse at exit, which closes any open port.
cHalvexInstrument instrument;
cHalvexInstaller installer;
stCommandLinePkg chosen_pkg_settings;
stCommandLineCom chosen_com_settings;

bool bAuto = false;
bool bConsole = false;
eInstallPackageState installPackageState = INSTALL_IDLE;
int language = 1000;
char path[MAX_PATH_LEN] = "";
char last_pkg_path[MAX_PATH_LEN] = "";

int fileType = 0;
char filename[MAX_PATH_LEN] = "";
char file_path[MAX_PATH_LEN] = "";

int ChooseLanguage(unsigned primaryLanguage) {
  switch (primaryLanguage & 0xFF) {
    case 0x07:
      return 2000;
    case 0x0A:
      return 5000;
    case 0x0C:
      return 3000;
    case 0x10:
      return 4000;
    default:
      return 1000;
  }
}
