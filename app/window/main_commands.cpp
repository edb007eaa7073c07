// The commands of the main window's menu and controls.
#include <string>

#include "app/connections.h"
#include "app/globals.h"
#include "app/package_store.h"
#include "app/preflight.h"
#include "app/resources/resource.h"
#include "app/window/help_dialogs.h"
#include "app/window/interactive_sequencer.h"
#include "app/window/main_window.h"
#include "app/window/package_view.h"
#include "app/window/port_name.h"
#include "app/window/status_bar.h"
#include "app/window/window_globals.h"
#include "app/window/window_text.h"

namespace {

void EnableInstall(HWND hwnd, bool bEnable) {
  EnableWindow(GetDlgItem(hwnd, IDC_INSTALL), bEnable ? TRUE : FALSE);
}

void ConnectCommand(HWND hwnd) {
  // While an installation runs the port belongs to the installer.
  if (!InteractiveSequencerAtRest()) return;
  if (instrument.IsConnected()) {
    UpdateInstrumentData(hwnd);
    SetFoundStatus(instrument.GetConnectPort());
    EnableInstall(hwnd, true);
    return;
  }
  SetStatus(IDS_STATUS_LOOKING);
  wchar_t szPort[WINDOW_TEXT_LEN] = L"";
  GetDlgItemTextW(hwnd, IDC_PORT, szPort, WINDOW_TEXT_LEN);
  const int port = ParsePortName(szPort);
  if (port == 0) {
    SetStatus(IDS_STATUS_CHOOSE_PORT);
    EnableInstall(hwnd, false);
    return;
  }
  if (hStatBar != nullptr) UpdateWindow(hStatBar);  // "Looking ..." while the handshake runs
  // Connect answers true for any reply that names the maker; only an identification that
  // parsed makes a usable connection.
  if (instrument.Connect(static_cast<ePort>(port), BAUD_57600, true) && instrument.IsConnected()) {
    UpdateInstrumentData(hwnd);
    SetFoundStatus(port);
    EnableInstall(hwnd, true);
  } else {
    SetStatus(IDS_STATUS_NO_CONNECTION);
    EnableInstall(hwnd, false);
  }
}

// The check of the package's MAIN image before the installer is started; a package that fails
// it is named in a box with the reason, and the instrument stays in its command interpreter.
bool CheckPackage(const std::string& name, stPreflight& check) {
  char szPackagePath[MAX_PATH_LEN];
  MakePackagePath(path, name.c_str(), szPackagePath);
  if (RunPreflight(path, szPackagePath, 0, check)) return true;
  std::wstring text;
  std::wstring caption;
  LoadKeyText(IDS_PACKAGE_REFUSED, text);
  LoadKeyText(IDS_ERROR_CAPTION, caption);
  ShowErrorBox(text + L"\n\n" + Widen(check.szLine.c_str()), caption);
  return false;
}

INT_PTR InstallCommand(HWND hwnd) {
  if (!instrument.IsConnected()) {
    EnableInstall(hwnd, false);
    return FALSE;
  }
  // Without a package the instrument is left as it is, not switched to its installer.
  std::string name;
  if (!GetSelectedPackage(hwnd, name)) return TRUE;
  stPreflight check;
  if (!CheckPackage(name, check)) return TRUE;
  BeginInteractiveRun(name.c_str(), check);
  instrument.StartInstaller();
  const ePort port = instrument.GetConnectPort();
  SetStatus(IDS_STATUS_DISCONNECTING);
  instrument.Disconnect();
  SetStatus(IDS_STATUS_CONNECTING_INSTALLER);
  installer.Connect(port, BAUD_115200);
  installPackageState = INSTALL_GETTING_PACKAGE;
  return TRUE;
}

void RefreshPackages(HWND hwnd) {
  PopulatePackageList(GetDlgItem(hwnd, IDC_PACKAGE_LIST));
  ShowPackageVersions(hwnd);
}

}  // namespace

INT_PTR OnCommand(HWND hwnd, UINT, WPARAM wParam, LPARAM) {
  const int id = LOWORD(wParam);
  switch (id) {
    case IDM_EXIT:
      PostQuitMessage(0);
      return TRUE;
    case IDM_ABOUT:
      DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_ABOUT), hwnd, AboutDlgProc,
                      static_cast<LPARAM>(language));
      return TRUE;
    case IDM_INSTRUCTIONS:
      DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_INSTRUCTIONS), hwnd, InstructionsDlgProc,
                      static_cast<LPARAM>(language));
      return TRUE;
    case IDC_PACKAGE_LIST:
      ShowPackageVersions(hwnd);
      return TRUE;
    case IDC_REFRESH:
      RefreshPackages(hwnd);
      return TRUE;
    case IDC_INSTALL:
      return InstallCommand(hwnd);
    case IDC_CONNECT:
      ConnectCommand(hwnd);
      return TRUE;
    case IDC_LANGUAGE_ENGLISH:
    case IDC_LANGUAGE_GERMAN:
    case IDC_LANGUAGE_FRENCH:
    case IDC_LANGUAGE_ITALIAN:
    case IDC_LANGUAGE_SPANISH: {
      const unsigned bases[] = {LANGUAGE_BASE_ENGLISH, LANGUAGE_BASE_GERMAN, LANGUAGE_BASE_FRENCH,
                                LANGUAGE_BASE_ITALIAN, LANGUAGE_BASE_SPANISH};
      Translate(hwnd, bases[id - IDC_LANGUAGE_ENGLISH]);
      return FALSE;
    }
    default:
      return FALSE;
  }
}
