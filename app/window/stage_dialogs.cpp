#include "app/window/stage_dialogs.h"

#include <string>

#include "app/connections.h"
#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/run_log.h"
#include "app/window/interactive_sequencer.h"
#include "app/window/window_globals.h"
#include "app/window/window_text.h"

namespace {

struct stStage {
  int id;                         // dialog and caption key
  int textKey;                    // the text control and its key
  eInstallPackageState onCancel;  // the state that Cancel sets
  bool bStopTransfer;             // Cancel also stops the transfer
};

const stStage STAGES[] = {
    {IDD_START_INSTALLER, IDC_START_INSTALLER_TEXT, INSTALL_REBOOTING, false},
    {IDD_PROGRESS, IDC_PROGRESS_TEXT, INSTALL_REBOOTING, true},
    {IDD_RUN_SCRIPT, IDC_RUN_SCRIPT_TEXT, INSTALL_REBOOTING, false},
    {IDD_WAIT_RESTART, IDC_WAIT_RESTART_TEXT, INSTALL_IDLE, false},
    {IDD_WAIT_POWER_CYCLE, IDC_WAIT_POWER_CYCLE_TEXT, INSTALL_IDLE, false},
};

const stStage* FindStage(int id) {
  for (const stStage& stage : STAGES) {
    if (stage.id == id) return &stage;
  }
  return nullptr;
}

void InitStage(HWND hwnd, const stStage& stage, int base) {
  std::wstring text;
  if (LoadLanguageText(base, stage.id, text)) SetWindowTextW(hwnd, text.c_str());
  if (!LoadLanguageText(base, stage.textKey, text)) return;
  if (stage.id == IDD_PROGRESS) {
    text = FormatText(text, {Widen(filename)});
    SendDlgItemMessageW(hwnd, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  }
  SetControlText(hwnd, stage.textKey, text);
}

void Cancel(HWND hwnd, const stStage& stage) {
  LogRunReason("cancelled");
  installPackageState = stage.onCancel;
  DestroyWindow(hwnd);
  if (!stage.bStopTransfer) return;
  // StopTransfer's exit word is the last word to the installer: the cut transfer then waits
  // for the instrument to be switched off and on.
  installer.StopTransfer();
  CancelInteractiveTransfer();
}

INT_PTR StageDlgProc(int id, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const stStage* stage = FindStage(id);
  if (stage == nullptr) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      InitStage(hwnd, *stage, static_cast<int>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL) return FALSE;
      Cancel(hwnd, *stage);
      return TRUE;
    case WM_CLOSE:
      Cancel(hwnd, *stage);
      return TRUE;
    case WM_SETCURSOR:
      if (id != IDD_PROGRESS) return FALSE;
      SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_NCDESTROY:
      if (hMessageDialog == hwnd) hMessageDialog = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

DLGPROC ProcedureOf(int id) {
  switch (id) {
    case IDD_START_INSTALLER:
      return StartInstallerDlgProc;
    case IDD_PROGRESS:
      return ProgressDlgProc;
    case IDD_RUN_SCRIPT:
      return RunScriptDlgProc;
    case IDD_WAIT_RESTART:
      return WaitRestartDlgProc;
    case IDD_WAIT_POWER_CYCLE:
      return WaitPowerCycleDlgProc;
    default:
      return nullptr;
  }
}

}  // namespace

INT_PTR CALLBACK StartInstallerDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return StageDlgProc(IDD_START_INSTALLER, hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK ProgressDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return StageDlgProc(IDD_PROGRESS, hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK RunScriptDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return StageDlgProc(IDD_RUN_SCRIPT, hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK WaitRestartDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return StageDlgProc(IDD_WAIT_RESTART, hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK WaitPowerCycleDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return StageDlgProc(IDD_WAIT_POWER_CYCLE, hwnd, msg, wParam, lParam);
}

HWND ShowStageDialog(int id) {
  CloseStageDialog();
  const DLGPROC procedure = ProcedureOf(id);
  if (procedure == nullptr) return nullptr;
  hMessageDialog = CreateDialogParamW(hInstance, MAKEINTRESOURCEW(id), hDialog, procedure,
                                      static_cast<LPARAM>(language));
  if (hMessageDialog != nullptr) ShowWindow(hMessageDialog, SW_SHOWNORMAL);
  return hMessageDialog;
}

void CloseStageDialog() {
  if (hMessageDialog == nullptr) return;
  HWND hwnd = hMessageDialog;
  hMessageDialog = nullptr;
  DestroyWindow(hwnd);
}

void SetStageText(int key) {
  if (hMessageDialog == nullptr) return;
  std::wstring text;
  if (!LoadKeyText(key, text)) return;
  // The stage shown is the one whose text control the dialog has.
  for (const stStage& stage : STAGES) {
    if (GetDlgItem(hMessageDialog, stage.textKey) != nullptr) {
      SetControlText(hMessageDialog, stage.textKey, text);
      return;
    }
  }
}

void SetStageProgress(int percent) {
  if (hMessageDialog == nullptr) return;
  HWND hBar = GetDlgItem(hMessageDialog, IDC_PROGRESS_BAR);
  if (hBar != nullptr) SendMessageW(hBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}
