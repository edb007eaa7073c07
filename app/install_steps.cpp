#include "app/install_steps.h"

#include "app/connections.h"
#include "app/globals.h"
#include "app/package_store.h"
#include "app/run_log.h"
#include "app/transfer_cut.h"

namespace {

stFilePasses filePasses[FILE_TYPE_MAX];
// The checked SHA-256 of the file being sent, for each of its passes.
std::string checkedSha256;

stFilePasses& PassesOf(int type) {
  static stFilePasses none;
  if (type < 0 || type >= FILE_TYPE_MAX) {
    none = stFilePasses();
    return none;
  }
  return filePasses[type];
}

}  // namespace

bool BeginFileTransfer(const std::string& szCheckedSha256) {
  stFilePasses& passes = PassesOf(fileType);
  passes = stFilePasses();
  checkedSha256 = szCheckedSha256;
  if (!installer.InitializeTransfer(file_path, filename, checkedSha256.c_str())) return false;
  passes.passes = 1;
  return true;
}

const stFilePasses& GetFilePasses(int type) {
  return PassesOf(type);
}

eTransferOutcome WaitCompletionStep() {
  if (installer.TransferFailed()) {
    LogPassEnded(TRANSFER_FAILED);
    installPackageState = INSTALL_GETTING_NEXT_FILE;
    return TRANSFER_FAILED;
  }
  if (!installer.TransferComplete()) return TRANSFER_RUNNING;
  // The record learns whether the pass was uncertain before a next pass clears it.
  LogPassEnded(TRANSFER_COMPLETE);
  stFilePasses& passes = PassesOf(fileType);
  passes.bUncertain = installer.TransferUncertain();
  if (passes.bUncertain) {
    // The end-of-file marker is out; the same file follows at once, before anything else.
    if (passes.passes < MAX_TRANSFER_PASSES &&
        installer.InitializeTransfer(file_path, filename, checkedSha256.c_str())) {
      passes.passes++;
      LogPassBegun();
      return TRANSFER_AGAIN;
    }
    // The image may hold a packet twice: the instrument is to be switched off and on.
    CutTransfer(CUT_UNCERTAIN);
    installPackageState = INSTALL_GETTING_NEXT_FILE;
    return TRANSFER_UNCERTAIN;
  }
  installPackageState = GetScriptForFileType(fileType) != nullptr ? INSTALL_PREPARING_EXECUTE
                                                                  : INSTALL_GETTING_NEXT_FILE;
  return TRANSFER_COMPLETE;
}

bool PrepareExecuteStep() {
  if (!installer.PrepareToExecuteFile()) return false;
  installPackageState = INSTALL_EXECUTING;
  return true;
}

bool ExecuteStep() {
  const char* szScript = GetScriptForFileType(fileType);
  if (szScript != nullptr && !installer.ExecuteFile(szScript)) return false;
  installPackageState = INSTALL_GETTING_NEXT_FILE;
  return true;
}

bool NextFileStep(unsigned typesToSend) {
  int next = fileType - 1;
  while (next >= 0 && (typesToSend & (1u << next)) == 0) next--;
  if (next < 0) {
    installPackageState = INSTALL_REBOOTING;
    return true;
  }
  if (!installer.IsRunning()) return false;
  fileType = next;
  installPackageState = INSTALL_GETTING_FILE;
  return true;
}

bool ExitInstallerStep(int& exitAttempts, bool bWaitForPort) {
  // The exit word is what makes the instrument leave its installer: a lost one is sent again.
  // One that was acknowledged is never repeated: after a stopped transfer the installer may
  // have taken it for file data, and more would only add to the file. After a cut transfer
  // none is sent at all (see app/transfer_cut.h): the instrument is to be switched off and on.
  if (!installer.ExitAcknowledged() && GetTransferCut() == CUT_NONE && !installer.Exit()) {
    if (bWaitForPort && installer.IsPortLost()) return false;
    if (++exitAttempts < MAX_EXIT_ATTEMPTS) return false;
  }
  installer.Disconnect();
  installPackageState = INSTALL_RECONNECTING;
  return true;
}

std::string DescribeRefusedInstallerPort(const char* szBreak) {
  if (!installer.IsPortRefused()) return std::string();
  return installer.GetOpenFailure() + std::string(szBreak) +
         "The instrument may be waiting in its installer.  Switch the instrument off and on.";
}

ePortChange WatchPort(stPortWatch& watch, bool bRunning) {
  if (!bRunning) {
    watch.bLost = false;
    return PORT_UNCHANGED;
  }
  // The port changes hands between the two connections: "back" needs one of them to have it
  // open again, not merely neither of them to miss it.
  const bool bGone = installer.IsPortLost() || instrument.IsPortLost();
  if (!watch.bLost && bGone) {
    watch.bLost = true;
    LogPortChange(PORT_LOST);
    return PORT_LOST;
  }
  if (watch.bLost && !bGone && (installer.IsPortOpen() || instrument.IsPortOpen())) {
    watch.bLost = false;
    LogPortChange(PORT_BACK);
    return PORT_BACK;
  }
  return PORT_UNCHANGED;
}
