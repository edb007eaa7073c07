// Dialog templates and the menu: every control the window code names is in a dialog, of the
// kind its use needs; default texts agree with the English table; the main window's layout fits
// its client area. Creating windows needs a display (Xvfb under Wine).
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/resources/resource.h"
#include "load_text.h"
#include "picture.h"
#include "util/no_copy.h"

namespace {

INT_PTR CALLBACK QuietDlgProc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

// A dialog created from a template for the length of one test.
class cDialog : private cNoCopy {
 public:
  explicit cDialog(UINT id) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    hwnd_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr,
                               QuietDlgProc, LANGUAGE_BASE_ENGLISH);
  }
  ~cDialog() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  HWND Handle() const { return hwnd_; }

 private:
  HWND hwnd_;
};

std::wstring ClassOf(HWND hwnd) {
  wchar_t szName[64] = L"";
  GetClassNameW(hwnd, szName, 64);
  std::wstring name(szName);
  std::transform(name.begin(), name.end(), name.begin(), ::towlower);
  return name;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t szText[256] = L"";
  GetWindowTextW(hwnd, szText, 256);
  return szText;
}

LONG StyleOf(HWND hwnd) {
  return GetWindowLongW(hwnd, GWL_STYLE);
}

// A dialog turns a control's WS_BORDER into a sunken client edge.
bool HasBorder(HWND hwnd) {
  return (StyleOf(hwnd) & WS_BORDER) || (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

std::vector<HWND> Children(HWND hDialog) {
  std::vector<HWND> children;
  for (HWND h = GetWindow(hDialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    children.push_back(h);
  }
  return children;
}

RECT RectInClient(HWND hDialog, HWND hControl) {
  RECT rect;
  GetWindowRect(hControl, &rect);
  MapWindowPoints(nullptr, hDialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Each dialog's caption is its own key, and every control that has an English text key shows
// that text by default.
void ExpectTexts(UINT dialogId, HWND hDialog) {
  EXPECT_EQ(Text(LANGUAGE_BASE_ENGLISH + dialogId), TextOf(hDialog));
  std::wstring text;
  for (HWND h : Children(hDialog)) {
    const int id = GetDlgCtrlID(h);
    if (id > 0 && LoadText(LANGUAGE_BASE_ENGLISH + id, &text)) {
      EXPECT_EQ(text, TextOf(h)) << "dialog " << dialogId << " control " << id;
    }
  }
}

const UINT DIALOGS[] = {IDD_MAIN,         IDD_START_INSTALLER,  IDD_PROGRESS,     IDD_RUN_SCRIPT,
                        IDD_WAIT_RESTART, IDD_WAIT_POWER_CYCLE, IDD_INSTRUCTIONS, IDD_ABOUT};
const UINT STAGE_DIALOGS[] = {IDD_START_INSTALLER, IDD_PROGRESS, IDD_RUN_SCRIPT, IDD_WAIT_RESTART,
                              IDD_WAIT_POWER_CYCLE};

struct sNamed {
  int id;
  const char* szName;
};

// What the window code does with a control other than showing a text in it, and the kind of
// control that needs.
struct sUse {
  int id;
  const wchar_t* szClass;
  LONG type;  // BS_ or SS_ type of a button or static control
};
const sUse USES[] = {
    {IDC_PACKAGE_LIST, L"listbox", 0},                  // filled and read with LB_ messages
    {IDC_PORT, L"combobox", 0},                         // filled with CB_ messages
    {IDC_PROGRESS_BAR, L"msctls_progress32", 0},        // PBM_SETRANGE, PBM_SETPOS
    {IDC_REFRESH, L"button", BS_PUSHBUTTON},            // commands
    {IDC_INSTALL, L"button", BS_PUSHBUTTON},            //   (Install is enabled and disabled)
    {IDC_CONNECT, L"button", BS_DEFPUSHBUTTON},         //   (Enter connects)
    {IDC_LANGUAGE_ENGLISH, L"button", BS_RADIOBUTTON},  // CheckDlgButton: the window checks them
    {IDC_LANGUAGE_GERMAN, L"button", BS_RADIOBUTTON},
    {IDC_LANGUAGE_FRENCH, L"button", BS_RADIOBUTTON},
    {IDC_LANGUAGE_ITALIAN, L"button", BS_RADIOBUTTON},
    {IDC_LANGUAGE_SPANISH, L"button", BS_RADIOBUTTON},
};

LONG TypeOf(HWND h) {
  return StyleOf(h) & (ClassOf(h) == L"button" ? BS_TYPEMASK : SS_TYPEMASK);
}

}  // namespace

// Every control identifier the window code names (gathered from app/window/*.cpp at configure
// time) is in one of the dialogs: one the code uses for more than a text is of the kind that use
// needs, the others show a text (static). The stage dialogs end with Cancel, the help dialogs
// with OK.
TEST(Dialogs, EveryControlTheWindowCodeNamesIsThereOfTheKindItsUseNeeds) {
  const sNamed named[] = {
#include "addressed_controls.inc"
  };
  ASSERT_GT(sizeof(named) / sizeof(named[0]), 20u) << "the window code's controls were not found";
  std::vector<std::unique_ptr<cDialog>> dialogs;
  for (UINT id : DIALOGS) {
    dialogs.push_back(std::make_unique<cDialog>(id));
    ASSERT_NE(nullptr, dialogs.back()->Handle()) << "dialog " << id << " (is there a display?)";
  }
  for (const sNamed& control : named) {
    if (control.id == IDC_STATUS_BAR) continue;  // made at run time
    HWND h = nullptr;
    for (const auto& dialog : dialogs) {
      if (h == nullptr) h = GetDlgItem(dialog->Handle(), control.id);
    }
    ASSERT_NE(nullptr, h) << control.szName << " is in no dialog";
    const sUse* use = nullptr;
    for (const sUse& u : USES) {
      if (u.id == control.id) use = &u;
    }
    EXPECT_EQ(use != nullptr ? use->szClass : L"static", ClassOf(h)) << control.szName;
    if (use != nullptr && use->type != 0) {
      EXPECT_EQ(use->type, TypeOf(h)) << control.szName;
    }
  }
  for (size_t i = 1; i < dialogs.size(); ++i) {  // after the main dialog
    const bool bStage = std::find(std::begin(STAGE_DIALOGS), std::end(STAGE_DIALOGS), DIALOGS[i]) !=
                        std::end(STAGE_DIALOGS);
    HWND h = GetDlgItem(dialogs[i]->Handle(), bStage ? IDCANCEL : IDOK);
    ASSERT_NE(nullptr, h) << "dialog " << DIALOGS[i];
    EXPECT_EQ(L"button", ClassOf(h)) << "dialog " << DIALOGS[i];
  }
}

TEST(MainDialog, ShowsItsTextsAndStyles) {
  cDialog dialog(IDD_MAIN);
  HWND hDialog = dialog.Handle();
  ASSERT_NE(nullptr, hDialog) << "error " << GetLastError() << " (is there a display?)";
  ExpectTexts(IDD_MAIN, hDialog);
  EXPECT_EQ(nullptr, GetDlgItem(hDialog, IDC_STATUS_BAR));  // made at run time

  const LONG style = StyleOf(hDialog);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(IsWindowVisible(hDialog));  // the program never shows it separately

  // The package list sorts, notifies, has a border and scrolls once it holds more than it shows.
  HWND hList = GetDlgItem(hDialog, IDC_PACKAGE_LIST);
  EXPECT_EQ(LBS_SORT | LBS_NOTIFY, StyleOf(hList) & (LBS_SORT | LBS_NOTIFY));
  EXPECT_TRUE(HasBorder(hList));
  for (const wchar_t* szName : {L"pkg9", L"pkg1", L"pkg5", L"pkg3", L"pkg7", L"pkg2", L"pkg8"}) {
    SendMessageW(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(szName));
  }
  wchar_t szFirst[16] = L"";
  SendMessageW(hList, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(szFirst));
  EXPECT_STREQ(L"pkg1", szFirst);
  EXPECT_TRUE(StyleOf(hList) & WS_VSCROLL);
  EXPECT_EQ(CBS_DROPDOWN, StyleOf(GetDlgItem(hDialog, IDC_PORT)) & 3);
  EXPECT_EQ(BS_GROUPBOX, StyleOf(GetDlgItem(hDialog, IDC_LOCAL_GROUP)) & BS_TYPEMASK);
  EXPECT_EQ(BS_GROUPBOX, StyleOf(GetDlgItem(hDialog, IDC_REMOTE_GROUP)) & BS_TYPEMASK);
  EXPECT_EQ(SS_RIGHT, StyleOf(GetDlgItem(hDialog, IDC_MODEL_LABEL)) & SS_TYPEMASK);
  EXPECT_EQ(SS_RIGHT, StyleOf(GetDlgItem(hDialog, IDC_SERIAL_LABEL)) & SS_TYPEMASK);
  for (int id = IDC_LANGUAGE_ENGLISH; id <= IDC_LANGUAGE_SPANISH; ++id) {
    EXPECT_EQ(L"", TextOf(GetDlgItem(hDialog, id))) << id;  // the flags above say it
  }

  // The unnamed labels: "Main:", "GPIB:", "FPGA:" on each side, right-aligned.
  std::vector<std::wstring> labels;
  for (HWND h : Children(hDialog)) {
    if (GetDlgCtrlID(h) == -1 && (StyleOf(h) & SS_TYPEMASK) == SS_RIGHT) {
      labels.push_back(TextOf(h));
    }
  }
  std::sort(labels.begin(), labels.end());
  EXPECT_EQ((std::vector<std::wstring>{L"FPGA:", L"FPGA:", L"GPIB:", L"GPIB:", L"Main:", L"Main:"}),
            labels);
}

TEST(MainDialog, FlagsSitAboveTheirLanguageButtons) {
  cDialog dialog(IDD_MAIN);
  HWND hDialog = dialog.Handle();
  ASSERT_NE(nullptr, hDialog);
  std::vector<HWND> flags;
  for (HWND h : Children(hDialog)) {
    if ((StyleOf(h) & SS_TYPEMASK) == SS_BITMAP) flags.push_back(h);
  }
  ASSERT_EQ(5u, flags.size());
  std::sort(flags.begin(), flags.end(), [hDialog](HWND a, HWND b) {
    return RectInClient(hDialog, a).left < RectInClient(hDialog, b).left;
  });
  // From left to right: English, German, French, Italian, Spanish, each over its button.
  for (int i = 0; i < 5; ++i) {
    sPicture shown, expected;
    HBITMAP hShown =
        reinterpret_cast<HBITMAP>(SendMessageW(flags[i], STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_TRUE(ReadPicture(hShown, &shown)) << "flag " << i << " shows no picture";
    ASSERT_TRUE(LoadPicture(IDB_FLAG_US + i, &expected));
    EXPECT_EQ(expected.pixels, shown.pixels) << "flag " << i;

    const RECT flag = RectInClient(hDialog, flags[i]);
    const RECT button = RectInClient(hDialog, GetDlgItem(hDialog, IDC_LANGUAGE_ENGLISH + i));
    EXPECT_GE(button.left, flag.left) << i;
    EXPECT_LT(button.left, flag.right) << i;
    EXPECT_GE(button.top, flag.bottom - 1) << i;  // below its flag, at most touching
    EXPECT_LT(button.top, flag.bottom + 8) << i;
  }
}

TEST(MainDialog, ControlsFitTheClientAreaWithoutOverlapping) {
  cDialog dialog(IDD_MAIN);
  HWND hDialog = dialog.Handle();
  ASSERT_NE(nullptr, hDialog);
  RECT client, units = {0, 0, 377, 300};
  GetClientRect(hDialog, &client);
  MapDialogRect(hDialog, &units);
  EXPECT_EQ(units.right, client.right);
  EXPECT_EQ(units.bottom, client.bottom);

  std::vector<std::pair<int, RECT>> rects;
  for (HWND h : Children(hDialog)) {
    const RECT rect = RectInClient(hDialog, h);
    EXPECT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= client.right &&
                rect.bottom <= client.bottom)
        << "control " << GetDlgCtrlID(h) << " outside the client area";
    const bool bGroup = ClassOf(h) == L"button" && (StyleOf(h) & BS_TYPEMASK) == BS_GROUPBOX;
    if (!bGroup) rects.push_back({GetDlgCtrlID(h), rect});
  }
  for (size_t i = 0; i < rects.size(); ++i) {
    for (size_t j = i + 1; j < rects.size(); ++j) {
      RECT overlap;
      EXPECT_FALSE(IntersectRect(&overlap, &rects[i].second, &rects[j].second))
          << "controls " << rects[i].first << " and " << rects[j].first << " overlap";
    }
  }
}

TEST(MessageDialogs, HoldTextCancelAndNoSystemMenu) {
  const struct {
    UINT dialog;
    int text;
  } dialogs[] = {{IDD_START_INSTALLER, IDC_START_INSTALLER_TEXT},
                 {IDD_PROGRESS, IDC_PROGRESS_TEXT},
                 {IDD_RUN_SCRIPT, IDC_RUN_SCRIPT_TEXT},
                 {IDD_WAIT_RESTART, IDC_WAIT_RESTART_TEXT},
                 {IDD_WAIT_POWER_CYCLE, IDC_WAIT_POWER_CYCLE_TEXT}};
  for (const auto& d : dialogs) {
    cDialog dialog(d.dialog);
    HWND hDialog = dialog.Handle();
    ASSERT_NE(nullptr, hDialog) << d.dialog;
    ExpectTexts(d.dialog, hDialog);
    const LONG style = StyleOf(hDialog);
    EXPECT_TRUE(style & WS_CAPTION) << d.dialog;
    EXPECT_TRUE(style & DS_MODALFRAME) << d.dialog;
    EXPECT_FALSE(style & WS_SYSMENU) << d.dialog;
    EXPECT_FALSE(IsWindowVisible(hDialog)) << d.dialog;  // the sequencer shows it
    const LONG exStyle = GetWindowLongW(hDialog, GWL_EXSTYLE);
    EXPECT_EQ(d.dialog == IDD_PROGRESS, (exStyle & WS_EX_TOOLWINDOW) != 0) << d.dialog;
  }

  cDialog progress(IDD_PROGRESS);
  ASSERT_NE(nullptr, progress.Handle());
  // The text shows a file name: an "&" in it must not turn into a mnemonic.
  EXPECT_TRUE(StyleOf(GetDlgItem(progress.Handle(), IDC_PROGRESS_TEXT)) & SS_NOPREFIX);
}

TEST(HelpDialogs, InstructionsAndAbout) {
  cDialog instructions(IDD_INSTRUCTIONS);
  ASSERT_NE(nullptr, instructions.Handle());
  for (int id = IDC_INSTRUCTIONS_LINE1; id <= IDC_INSTRUCTIONS_LINE5; ++id) {
    // "RX & TX" must show its ampersand.
    EXPECT_TRUE(StyleOf(GetDlgItem(instructions.Handle(), id)) & SS_NOPREFIX) << id;
  }
  ExpectTexts(IDD_INSTRUCTIONS, instructions.Handle());

  cDialog about(IDD_ABOUT);
  ASSERT_NE(nullptr, about.Handle());
  ExpectTexts(IDD_ABOUT, about.Handle());
  int icons = 0;
  for (HWND h : Children(about.Handle())) {
    if ((StyleOf(h) & SS_TYPEMASK) != SS_ICON) continue;
    ++icons;
    EXPECT_NE(0, SendMessageW(h, STM_GETICON, 0, 0)) << "the About icon did not load";
  }
  EXPECT_EQ(1, icons);
}

TEST(MainMenu, HoldsFileAndHelpWithTheirItems) {
  HMENU hMenu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAIN_MENU));
  ASSERT_NE(nullptr, hMenu);
  auto label = [](HMENU h, UINT item, UINT flags) {
    wchar_t szText[64] = L"";
    GetMenuStringW(h, item, szText, 64, flags);
    return std::wstring(szText);
  };
  ASSERT_EQ(2, GetMenuItemCount(hMenu));
  EXPECT_EQ(Text(LANGUAGE_BASE_ENGLISH + IDS_MENU_FILE), label(hMenu, 0, MF_BYPOSITION));
  EXPECT_EQ(Text(LANGUAGE_BASE_ENGLISH + IDS_MENU_HELP), label(hMenu, 1, MF_BYPOSITION));

  HMENU hFile = GetSubMenu(hMenu, 0), hHelp = GetSubMenu(hMenu, 1);
  ASSERT_NE(nullptr, hFile);
  ASSERT_NE(nullptr, hHelp);
  EXPECT_EQ(1, GetMenuItemCount(hFile));
  EXPECT_EQ(static_cast<UINT>(IDM_EXIT), GetMenuItemID(hFile, 0));
  EXPECT_EQ(2, GetMenuItemCount(hHelp));
  EXPECT_EQ(static_cast<UINT>(IDM_INSTRUCTIONS), GetMenuItemID(hHelp, 0));
  EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), GetMenuItemID(hHelp, 1));
  for (UINT id : {IDM_EXIT, IDM_INSTRUCTIONS, IDM_ABOUT}) {
    EXPECT_EQ(Text(LANGUAGE_BASE_ENGLISH + id), label(hMenu, id, MF_BYCOMMAND)) << id;
  }
  DestroyMenu(hMenu);
}
