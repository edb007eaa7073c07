#include "app/window/interactive_sequencer.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/connections.h"
#include "app/install_check.h"
#include "app/install_report.h"
#include "app/install_steps.h"
#include "app/package_choice.h"
#include "app/package_store.h"
#include "app/resources/resource.h"
#include "app/run_log.h"
#include "app/transfer_cut.h"
#include "app/window/main_window.h"
#include "app/window/package_view.h"
#include "app/window/stage_dialogs.h"
#include "app/window/status_bar.h"
#include "app/window/window_globals.h"
#include "app/window/window_record.h"
#include "app/window/window_text.h"
#include "platform/clock.h"
#include "util/notice.h"

char package[MAX_PATH_LEN] = "";
char pkg_path[MAX_PATH_LEN] = "";

namespace {

// How the run is going, besides the state itself.
struct stWindowRun {
  bool bFailed = false;       // the image did not reach the instrument
  bool bReconnected = false;  // the instrument came back by itself (not cancelled)
  int exitAttempts = 0;
  int statusBeforeLoss = 0;  // the stage's status when the port went away
  stPreflight mainCheck;     // the check the Install command made of the MAIN image
  stPortWatch portWatch;     // whether the port is away, for the status bar
};

stWindowRun run;
eInstallPackageState oldinstallPackageState = INSTALL_IDLE;

void EnableInstall(bool bEnable) {
  if (hDialog != nullptr) EnableWindow(GetDlgItem(hDialog, IDC_INSTALL), bEnable ? TRUE : FALSE);
}

// The image did not reach the instrument: the run goes on through the restart, and says so.
void Fail(int textKey, const std::wstring& detail) {
  run.bFailed = true;
  std::wstring text;
  std::wstring caption;
  if (LoadKeyText(textKey, text)) {
    LoadKeyText(IDS_ERROR_CAPTION, caption);
    ShowErrorBox(FormatText(text, {detail}), caption);
  }
}

// The installer's port refused its settings (DescribeRefusedInstallerPort): the run ends
// instead of waiting for an installer it cannot reach, and a box says why and what to do.
void InstallerPortRefused() {
  CloseStageDialog();
  LogRunReason("no-connection");
  run.bFailed = true;
  installPackageState = INSTALL_IDLE;
  Notify(DescribeRefusedInstallerPort("\n").c_str(), "Error", NOTICE_WARNING);
}

bool GettingPackage() {
  EnableInstall(false);
  std::string name;
  if (GetSelectedPackage(hDialog, name) && name.size() < sizeof(package)) {
    std::strcpy(package, name.c_str());
  }
  if (package[0] == '\0') return false;
  MakePackagePath(path, package, pkg_path);
  fileType = 0;
  installPackageState = INSTALL_WAITING_INSTALLER;
  SetStatus(IDS_STATUS_WAITING_INSTALLER);
  ShowStageDialog(IDD_START_INSTALLER);
  return true;
}

void GettingFile() {
  CloseStageDialog();
  // A name that is missing, cut or would leave the files folder leaves filename empty, and
  // the transfer then finds no file.
  ReadPackageImage(path, pkg_path, fileType, filename, file_path);
  installPackageState = INSTALL_SENDING_FILE;
  ShowStageDialog(IDD_PROGRESS);
}

void SendingFile() {
  SetStatus(IDS_STATUS_SENDING_FILE);
  const bool bChecked = fileType == 0 && run.mainCheck.szFilePath == file_path;
  if (BeginFileTransfer(bChecked ? run.mainCheck.szSha256 : std::string())) {
    if (bChecked) TraceImageSent(run.mainCheck);
    LogPassBegun();
    installPackageState = INSTALL_WAITING_COMPLETION;
    return;
  }
  CloseStageDialog();
  Fail(IDS_FILE_NOT_FOUND, Widen(file_path));
  installPackageState = INSTALL_GETTING_NEXT_FILE;
}

void WaitingCompletion() {
  SetStageProgress(static_cast<int>(installer.GetProgressPercent() + 0.5f));
  switch (WaitCompletionStep()) {
    case TRANSFER_FAILED:
      run.bFailed = true;
      CutTransfer(CUT_FAILED);
      break;
    case TRANSFER_AGAIN:
      // The same dialog follows the next pass from 0.
      ReportTransferAgain(GetFilePasses(fileType).passes);
      SetStageProgress(0);
      SetStatus(IDS_STATUS_SENDING_AGAIN);
      break;
    case TRANSFER_UNCERTAIN:
      // A cut (the shared step marked it): the dialog of the cut says the rest.
      run.bFailed = true;
      break;
    case TRANSFER_COMPLETE:
      CloseStageDialog();
      SetStatus(installPackageState == INSTALL_PREPARING_EXECUTE ? IDS_STATUS_RUNNING_SCRIPT
                                                                 : IDS_STATUS_PREPARING_NEXT);
      break;
    case TRANSFER_RUNNING:
      break;
  }
}

// After a cut transfer nothing is sent and the dialog of the cut stays; otherwise the exit word
// restarts the instrument.
void Rebooting(bool bEntered) {
  const bool bCut = GetTransferCut() != CUT_NONE;
  if (bEntered) {
    if (!bCut) {
      CloseStageDialog();
      SetStatus(IDS_STATUS_REBOOTING);
    }
    run.exitAttempts = 0;
  }
  if (ExitInstallerStep(run.exitAttempts, true)) {
    if (!bCut) ShowStageDialog(IDD_WAIT_RESTART);
  } else if (installer.IsPortLost() && hMessageDialog == nullptr) {
    // The exit word waits for the port to return; the dialog's Cancel ends that wait.
    ShowStageDialog(IDD_WAIT_RESTART);
  }
}

// A cut transfer: the instrument may be stuck in its installer. The run now only waits for it to
// answer, which it does once it has been switched off and on; Cancel ends the wait.
void ShowCut(eTransferCut cut) {
  ShowStageDialog(IDD_WAIT_POWER_CYCLE);
  if (cut == CUT_UNCERTAIN) SetStageText(IDS_POWER_CYCLE_UNCERTAIN);
  SetStatus(IDS_STATUS_POWER_CYCLE);
}

// While the port is gone the status asks for the cable (no message box per attempt); once it
// is back the status of the stage returns. A run that ends meanwhile keeps what it shows.
void WatchRunPort() {
  const eInstallPackageState state = installPackageState;
  switch (WatchPort(run.portWatch, state != INSTALL_IDLE && state != INSTALL_CONNECTING)) {
    case PORT_LOST:
      run.statusBeforeLoss = GetStatusKey();
      SetStatus(IDS_STATUS_NO_CONNECTION);
      break;
    case PORT_BACK:
      if (GetStatusKey() == IDS_STATUS_NO_CONNECTION && run.statusBeforeLoss != 0) {
        SetStatus(run.statusBeforeLoss);
      }
      break;
    case PORT_UNCHANGED:
      break;
  }
}

// The status after the instrument came back: a failure, or the instrument's MAIN version
// against the image name's.
void ShowOutcome() {
  if (GetTransferCut() != CUT_NONE) {
    const std::string reported = CheckInstrumentVersion(instrument, filename).szReported;
    SetStatus(IDS_STATUS_CUT_FAILED, {reported.empty() ? L"?" : Widen(reported.c_str())});
    return;
  }
  if (run.bFailed) {
    SetStatus(IDS_STATUS_FAILED);
    return;
  }
  const stVersionCheck check = CheckInstrumentVersion(instrument, filename);
  const std::wstring reported = check.szReported.empty() ? L"?" : Widen(check.szReported.c_str());
  switch (check.result) {
    case VERSION_VERIFIED:
      if (GetFilePasses(0).passes > 1) {
        SetStatus(IDS_STATUS_VERIFIED_AGAIN, {reported, std::to_wstring(GetFilePasses(0).passes)});
      } else {
        SetStatus(IDS_STATUS_VERIFIED, {reported});
      }
      break;
    case VERSION_DIFFERS:
      run.bFailed = true;
      SetStatus(IDS_STATUS_VERSION_DIFFERS, {reported, Widen(check.szExpected.c_str())});
      break;
    case VERSION_UNCHECKED:
      SetStatus(IDS_STATUS_UNCHECKED, {reported});
      break;
  }
}

void Reconnecting() {
  if (!instrument.Reconnect()) {
    platform::SleepMs(RECONNECT_PASS_SLEEP_MS);
    return;
  }
  CloseStageDialog();
  run.bReconnected = true;
  ShowOutcome();
  if (hDialog != nullptr) UpdateInstrumentData(hDialog);
  EnableInstall(true);
  installPackageState = INSTALL_IDLE;
}

}  // namespace

void BeginInteractiveRun(const char* szPackage, const stPreflight& mainCheck) {
  run = stWindowRun();
  run.mainCheck = mainCheck;
  BeginWindowRecord(szPackage, mainCheck);
  ClearTransferCut();
  package[0] = '\0';
  pkg_path[0] = '\0';
  if (szPackage != nullptr && std::strlen(szPackage) < sizeof(package)) {
    std::strcpy(package, szPackage);
  }
}

bool Update() {
  const eInstallPackageState state = installPackageState;
  const eInstallPackageState old = oldinstallPackageState;
  LogRunState(state);
  // A wait that the user cancelled ends without a verdict on the instrument.
  ReportInstallStep(state, old, run.bReconnected, run.bFailed);
  oldinstallPackageState = state;
  const bool bEntered = state != old;

  bool bResult = true;
  switch (state) {
    case INSTALL_IDLE:
      // A failed run that the user stopped before the instrument came back: the status says
      // it failed.
      if (bEntered && old != INSTALL_CONNECTING && !run.bReconnected && run.bFailed) {
        SetStatus(IDS_STATUS_FAILED);
      }
      if (bEntered && old != INSTALL_CONNECTING) EndWindowRecord();
      break;
    case INSTALL_CONNECTING:
      break;
    case INSTALL_GETTING_PACKAGE:
      bResult = GettingPackage();
      break;
    case INSTALL_WAITING_INSTALLER:
      if (installer.IsPortRefused()) {
        InstallerPortRefused();
      } else if (installer.IsRunning()) {
        installPackageState = INSTALL_GETTING_FILE;
      }
      break;
    case INSTALL_GETTING_FILE:
      GettingFile();
      break;
    case INSTALL_SENDING_FILE:
      SendingFile();
      break;
    case INSTALL_WAITING_COMPLETION:
      WaitingCompletion();
      break;
    case INSTALL_PREPARING_EXECUTE:
      if (PrepareExecuteStep()) ShowStageDialog(IDD_RUN_SCRIPT);
      break;
    case INSTALL_EXECUTING:
      ExecuteStep();
      break;
    case INSTALL_GETTING_NEXT_FILE:
      if (NextFileStep() && installPackageState == INSTALL_GETTING_FILE) CloseStageDialog();
      break;
    case INSTALL_REBOOTING:
      Rebooting(bEntered);
      break;
    case INSTALL_RECONNECTING:
      Reconnecting();
      break;
  }

  installer.Update();
  const eTransferCut cut = TakeNewTransferCut();
  if (cut != CUT_NONE) ShowCut(cut);
  WatchRunPort();
  return bResult;
}

bool InteractiveSequencerAtRest() {
  const eInstallPackageState state = installPackageState;
  return (state == INSTALL_IDLE || state == INSTALL_CONNECTING) && state == oldinstallPackageState;
}

bool InteractiveRunFailed() {
  return run.bFailed;
}

void CancelInteractiveTransfer() {
  run.bFailed = true;
  CutTransfer(CUT_STOPPED);
}
