// The steps of one installation, shared by both sequencers and the window.
#ifndef HALVEX_APP_INSTALL_STATE_H
#define HALVEX_APP_INSTALL_STATE_H

#include <string>

enum eInstallPackageState : int {
  INSTALL_IDLE = 0,
  INSTALL_CONNECTING = 1,
  INSTALL_GETTING_PACKAGE = 2,
  INSTALL_GETTING_FILE = 3,
  INSTALL_WAITING_INSTALLER = 4,
  INSTALL_SENDING_FILE = 5,
  INSTALL_WAITING_COMPLETION = 6,
  INSTALL_PREPARING_EXECUTE = 7,
  INSTALL_EXECUTING = 8,
  INSTALL_GETTING_NEXT_FILE = 9,
  INSTALL_REBOOTING = 10,
  INSTALL_RECONNECTING = 11
};

// Display text of a state, in one function-static string that each call overwrites; a value
// outside the table leaves it as it was (empty before the first valid call).
const std::string& GetInstallStateString(eInstallPackageState state);

// The remote script the installer runs after a file of this type ("ainst.gpib" after the GPIB
// file, "ainst.fpga" after the FPGA file), or null for a type without one (MAIN).
const char* GetScriptForFileType(int fileType);

#endif
