#include "app/install_state.h"

const std::string& GetInstallStateString(eInstallPackageState state) {
  static const char* const texts[] = {"Idle",
                                      "Connecting",
                                      "Getting package",
                                      "Getting file",
                                      "Waiting for installer to connect",
                                      "Sending file",
                                      "Waiting completion",
                                      "Preparing to execute",
                                      "Executing",
                                      "Getting next file",
                                      "Rebooting instrument",
                                      "Reconnecting"};
  static std::string str_state;
  if (state >= INSTALL_IDLE && state <= INSTALL_RECONNECTING) str_state = texts[state];
  return str_state;
}

const char* GetScriptForFileType(int fileType) {
  switch (fileType) {
    case 1:
      return "ainst.gpib";
    case 2:
      return "ainst.fpga";
    default:
      return nullptr;
  }
}
