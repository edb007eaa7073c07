#include "app/window/package_view.h"

#include "app/connections.h"
#include "app/globals.h"
#include "app/package_store.h"
#include "app/resources/resource.h"
#include "app/window/window_text.h"

void PopulatePackageList(HWND hList) {
  while (SendMessageW(hList, LB_DELETESTRING, 0, 0) != LB_ERR) {
  }
  const stInstrumentState state = {instrument.IsConnected(), instrument.GetModel(),
                                   instrument.GetMainVersion(), false};
  const stPackageList list = BuildPackageList(path, state, last_pkg_path);
  for (const std::string& name : list.names) {
    const std::wstring item = Widen(name.c_str());
    SendMessageW(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
  EnableWindow(hList, list.names.empty() ? FALSE : TRUE);
  LRESULT selected = LB_ERR;
  if (list.iSelected >= 0 && list.iSelected < static_cast<int>(list.names.size())) {
    const std::wstring newest = Widen(list.names[static_cast<size_t>(list.iSelected)].c_str());
    selected = SendMessageW(hList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(newest.c_str()));
  }
  SendMessageW(hList, LB_SETCURSEL, static_cast<WPARAM>(selected == LB_ERR ? -1 : selected), 0);
}

bool GetSelectedPackage(HWND hwnd, std::string& name) {
  HWND hList = GetDlgItem(hwnd, IDC_PACKAGE_LIST);
  const LRESULT index = SendMessageW(hList, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return false;
  const LRESULT length = SendMessageW(hList, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR || length <= 0) return false;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(hList, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(length));
  name = Narrow(text);
  return !name.empty();
}

void ShowPackageVersions(HWND hwnd) {
  const int fields[FILE_TYPE_MAX] = {IDC_PACKAGE_MAIN, IDC_PACKAGE_GPIB, IDC_PACKAGE_FPGA};
  for (int field : fields) SetControlText(hwnd, field, L"");
  std::string name;
  if (!GetSelectedPackage(hwnd, name)) return;
  char szVersions[FILE_TYPE_MAX][MAX_VERSION_TEXT] = {};
  ReadPackageVersions(path, name.c_str(), szVersions);
  for (int type = 0; type < FILE_TYPE_MAX; ++type) {
    if (szVersions[type][0] != '\0') SetControlText(hwnd, fields[type], Widen(szVersions[type]));
  }
}
