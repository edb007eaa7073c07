// Relabelling the main window in another language: every control, menu title and item whose
// identifier has a string in that language, and the title. Texts without a string (the values
// read from the instrument and the packages) stay as they are.
#include <string>

#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/window/main_window.h"
#include "app/window/status_bar.h"
#include "app/window/window_text.h"

namespace {

const int FIRST_CONTROL_KEY = 400;
const int LAST_CONTROL_KEY = 498;
const int FIRST_MENU_KEY = 200;
const int LAST_MENU_TITLE_KEY = 209;  // titles by position: 200 File, 201 Help
const int LAST_MENU_KEY = 298;        // items by identifier

int LanguageButton(unsigned base) {
  switch (base) {
    case LANGUAGE_BASE_GERMAN:
      return IDC_LANGUAGE_GERMAN;
    case LANGUAGE_BASE_FRENCH:
      return IDC_LANGUAGE_FRENCH;
    case LANGUAGE_BASE_ITALIAN:
      return IDC_LANGUAGE_ITALIAN;
    case LANGUAGE_BASE_SPANISH:
      return IDC_LANGUAGE_SPANISH;
    default:
      return IDC_LANGUAGE_ENGLISH;
  }
}

void RelabelMenu(HMENU hMenu) {
  if (hMenu == nullptr) return;
  std::wstring text;
  for (int key = FIRST_MENU_KEY; key <= LAST_MENU_KEY; ++key) {
    if (!LoadKeyText(key, text)) continue;
    if (key <= LAST_MENU_TITLE_KEY) {
      const int position = key - FIRST_MENU_KEY;
      HMENU hPopup = GetSubMenu(hMenu, position);
      if (hPopup == nullptr) continue;
      ModifyMenuW(hMenu, static_cast<UINT>(position), MF_BYPOSITION | MF_POPUP | MF_STRING,
                  reinterpret_cast<UINT_PTR>(hPopup), text.c_str());
    } else {
      ModifyMenuW(hMenu, static_cast<UINT>(key), MF_BYCOMMAND | MF_STRING,
                  static_cast<UINT_PTR>(key), text.c_str());
    }
  }
}

}  // namespace

BOOL Translate(HWND hwnd, unsigned base) {
  language = static_cast<int>(base);
  const int checked = LanguageButton(base);
  for (int id = IDC_LANGUAGE_ENGLISH; id <= IDC_LANGUAGE_SPANISH; ++id) {
    CheckDlgButton(hwnd, id, id == checked ? BST_CHECKED : BST_UNCHECKED);
  }
  std::wstring text;
  for (int key = FIRST_CONTROL_KEY; key <= LAST_CONTROL_KEY; ++key) {
    if (GetDlgItem(hwnd, key) != nullptr && LoadKeyText(key, text)) SetControlText(hwnd, key, text);
  }
  RelabelMenu(GetMenu(hwnd));
  if (LoadKeyText(IDS_TITLE, text)) SetWindowTextW(hwnd, text.c_str());
  DrawMenuBar(hwnd);
  ShowStatusAgain();
  return TRUE;
}
