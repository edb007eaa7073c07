// The instrument side of the main window: the port box and what the instrument reports.
#include "app/connections.h"
#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/window/main_window.h"
#include "app/window/package_view.h"
#include "app/window/port_name.h"
#include "app/window/window_text.h"
#include "comm/comm.h"
#include "platform/serial_device.h"

void PopulateCommPortList(HWND hCombo) {
  while (SendMessageW(hCombo, CB_DELETESTRING, 0, 0) != CB_ERR) {
  }
  for (int port = 1; port <= MAX_PORT; ++port) {
    if (!platform::SerialPortExists(port)) continue;
    const std::wstring name = PortName(port);
    SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  SendMessageW(hCombo, CB_SETCURSEL, 0, 0);
}

void UpdateRemoteVersions(HWND hwnd) {
  instrument.UpdateVersions();
  SetControlText(hwnd, IDC_REMOTE_MAIN, Widen(instrument.GetMainVersion()));
  SetControlText(hwnd, IDC_REMOTE_GPIB, Widen(instrument.GetGPIBVersion()));
  SetControlText(hwnd, IDC_REMOTE_FPGA, Widen(instrument.GetFPGAVersion()));
}

void UpdateInstrumentData(HWND hwnd) {
  SetControlText(hwnd, IDC_MODEL, Widen(instrument.GetModel()));
  SetControlText(hwnd, IDC_SERIAL, Widen(instrument.GetSerialNumberString()));
  UpdateRemoteVersions(hwnd);
  PopulatePackageList(GetDlgItem(hwnd, IDC_PACKAGE_LIST));
  ShowPackageVersions(hwnd);
}
