#include "app/window/help_dialogs.h"

#include <string>

#include "app/resources/resource.h"
#include "app/window/window_text.h"
#include "halvex_version.h"

const wchar_t* const PROGRAM_VERSION = L"" HALVEX_VERSION_TEXT;
const wchar_t* const PROGRAM_DATE = L"04/16/2021";

namespace {

const int FIRST_INSTRUCTION_KEY = 380;
const int LAST_INSTRUCTION_KEY = 386;

// OK (or the close box) ends the dialog; true when msg was one of them.
bool Closes(HWND hwnd, UINT msg, WPARAM wParam) {
  if (msg == WM_CLOSE) {
    EndDialog(hwnd, IDCANCEL);
    return true;
  }
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(hwnd, LOWORD(wParam));
    return true;
  }
  return false;
}

}  // namespace

INT_PTR CALLBACK AboutDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const int base = static_cast<int>(lParam);
    std::wstring text;
    if (LoadLanguageText(base, IDD_ABOUT, text)) SetWindowTextW(hwnd, text.c_str());
    if (LoadLanguageText(base, IDC_ABOUT_TEXT, text)) SetControlText(hwnd, IDC_ABOUT_TEXT, text);
    if (LoadLanguageText(base, IDC_ABOUT_VERSION, text)) {
      SetControlText(hwnd, IDC_ABOUT_VERSION, FormatText(text, {PROGRAM_VERSION, PROGRAM_DATE}));
    }
    return TRUE;
  }
  return Closes(hwnd, msg, wParam) ? TRUE : FALSE;
}

INT_PTR CALLBACK InstructionsDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    const int base = static_cast<int>(lParam);
    std::wstring text;
    if (LoadLanguageText(base, IDD_INSTRUCTIONS, text)) SetWindowTextW(hwnd, text.c_str());
    for (int key = FIRST_INSTRUCTION_KEY; key <= LAST_INSTRUCTION_KEY; ++key) {
      if (GetDlgItem(hwnd, key) != nullptr && LoadLanguageText(base, key, text)) {
        SetControlText(hwnd, key, text);
      }
    }
    return TRUE;
  }
  return Closes(hwnd, msg, wParam) ? TRUE : FALSE;
}
