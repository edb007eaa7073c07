#include "app/window/main_window.h"

#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/window/package_view.h"
#include "app/window/status_bar.h"
#include "app/window/window_globals.h"

HWND CreateMainWindow(HINSTANCE hInst) {
  hInstance = hInst;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  hDialog = CreateDialogParamW(hInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc,
                               static_cast<LPARAM>(language));
  return hDialog;
}

static void InitMainWindow(HWND hwnd, unsigned base) {
  hDialog = hwnd;
  HICON hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_PROGRAM));
  SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(hIcon));
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
  Translate(hwnd, base);
  CreateStatusBar(hwnd);
  SetStatus(IDS_STATUS);
  PopulateCommPortList(GetDlgItem(hwnd, IDC_PORT));
  EnableWindow(GetDlgItem(hwnd, IDC_INSTALL), FALSE);
  PopulatePackageList(GetDlgItem(hwnd, IDC_PACKAGE_LIST));
  ShowPackageVersions(hwnd);
}

INT_PTR CALLBACK MainDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      InitMainWindow(hwnd, static_cast<unsigned>(lParam));
      return FALSE;  // no default focus
    case WM_COMMAND:
      return OnCommand(hwnd, msg, wParam, lParam);
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return TRUE;
    case WM_DESTROY:
      hStatBar = nullptr;
      if (hDialog == hwnd) hDialog = nullptr;
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}
