// The window's texts: the start language, relabelling in all five languages, and the status
// texts that name a port.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/connections.h"
#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/window/port_name.h"
#include "app/window/status_bar.h"
#include "app/window/window_text.h"
#include "platform/locale.h"
#include "platform/serial_device.h"
#include "tests/window/window_driver.h"

using namespace window_test;

namespace {

const int kBases[] = {LANGUAGE_BASE_ENGLISH, LANGUAGE_BASE_GERMAN, LANGUAGE_BASE_FRENCH,
                      LANGUAGE_BASE_ITALIAN, LANGUAGE_BASE_SPANISH};
const char* const kNames[] = {"en", "de", "fr", "it", "es"};
// The controls whose texts are values, not keyed labels.
const int kValues[] = {IDC_MODEL,        IDC_SERIAL,       IDC_REMOTE_MAIN,
                       IDC_REMOTE_GPIB,  IDC_REMOTE_FPGA,  IDC_PACKAGE_MAIN,
                       IDC_PACKAGE_GPIB, IDC_PACKAGE_FPGA, IDC_PORT};

// Everything that has a key shows that key's text in language base.
void ExpectLanguage(const cMainWindow& window, int base) {
  EXPECT_EQ(base, language);
  for (int id = IDC_LANGUAGE_ENGLISH; id <= IDC_LANGUAGE_SPANISH; ++id) {
    EXPECT_EQ(id == IDC_LANGUAGE_ENGLISH + (base / 1000 - 1), window.IsChecked(id))
        << "button " << id << " in " << base;
  }
  int labels = 0;
  for (int id = 400; id <= 498; ++id) {
    if (GetDlgItem(window.Handle(), id) == nullptr || !HasText(base, id)) continue;
    EXPECT_EQ(Expected(base, id), window.Text(id)) << "control " << id << " in " << base;
    labels++;
  }
  EXPECT_EQ(10, labels);
  EXPECT_EQ(Expected(base, IDS_TITLE), window.Title());
  EXPECT_EQ(Expected(base, IDS_MENU_FILE), window.MenuTitle(0));
  EXPECT_EQ(Expected(base, IDS_MENU_HELP), window.MenuTitle(1));
  for (int id : {IDM_EXIT, IDM_ABOUT, IDM_INSTRUCTIONS}) {
    EXPECT_EQ(Expected(base, id), window.MenuItem(id)) << id << " in " << base;
  }
}

}  // namespace

TEST(WindowLanguage, StartsInTheUserLanguageAndRelabelsInEveryLanguage) {
  cNoticeRecorder notices;
  cMainWindow window;
  ASSERT_NE(nullptr, window.Handle()) << "error " << GetLastError() << " (is there a display?)";

  // The runner starts this suite with LANG=de_DE.UTF-8.
  const unsigned primary = platform::GetUserPrimaryLanguage();
  if (primary == 0x07) {
    EXPECT_EQ(LANGUAGE_BASE_GERMAN, language);
  } else {
    std::printf("the user's language is 0x%02x, not German: start checked in that language\n",
                primary);
  }
  ExpectLanguage(window, language);
  EXPECT_EQ(Expected(language, IDS_STATUS), window.Status());
  EXPECT_FALSE(window.IsEnabled(IDC_INSTALL));
  // The port box offers the ports that exist, the first one chosen.
  std::vector<std::wstring> ports;
  for (int port = 1; port <= 16; ++port) {
    if (platform::SerialPortExists(port)) ports.push_back(L"COM" + std::to_wstring(port));
  }
  EXPECT_EQ(ports, window.PortItems());
  EXPECT_EQ(ports.empty() ? L"" : ports[0], window.Text(IDC_PORT));

  // The values keep what they show, whatever the language.
  std::wstring values[sizeof(kValues) / sizeof(kValues[0])];
  for (size_t i = 0; i < sizeof(kValues) / sizeof(kValues[0]); ++i) {
    values[i] = window.Text(kValues[i]);
  }
  // Italian first: relabelling from one foreign language to another.
  const int order[] = {3, 4, 2, 0, 1};
  for (int i : order) {
    window.Click(IDC_LANGUAGE_ENGLISH + i);
    window.Pass();
    ExpectLanguage(window, kBases[i]);
    EXPECT_EQ(Expected(kBases[i], IDS_STATUS), window.Status()) << kBases[i];
    for (size_t v = 0; v < sizeof(kValues) / sizeof(kValues[0]); ++v) {
      EXPECT_EQ(values[v], window.Text(kValues[v])) << "control " << kValues[v];
    }
    EXPECT_TRUE(SaveScreenshot(window.Handle(), std::string("main_") + kNames[i]));
  }
  EXPECT_TRUE(notices.Notices().empty());
}

TEST(WindowLanguage, FoundStatusNamesTheConnectedPortInEveryLanguage) {
  cMainWindow window(LANGUAGE_BASE_ENGLISH);
  for (int base : kBases) {
    language = base;
    for (int port = 1; port <= 16; ++port) {
      std::wstring text;
      ASSERT_TRUE(GetFoundStatusText(port, text)) << base << " COM" << port;
      if (port <= 4) {
        EXPECT_EQ(Expected(base, IDS_STATUS_FOUND_BASE + port), text);
      } else {
        // The COM1 text with the port's name in its place, never another key's text.
        std::wstring expected = Expected(base, IDS_STATUS_FOUND_BASE + 1);
        expected.replace(expected.find(L"COM1"), 4, L"COM" + std::to_wstring(port));
        EXPECT_EQ(expected, text);
        EXPECT_NE(Expected(base, IDS_STATUS_NO_CONNECTION), text);
      }
    }
    std::wstring text;
    EXPECT_FALSE(GetFoundStatusText(0, text));
    EXPECT_FALSE(GetFoundStatusText(17, text));
  }
  // The status set for COM13 follows a change of language.
  language = LANGUAGE_BASE_ENGLISH;
  SetFoundStatus(13);
  window.Click(IDC_LANGUAGE_GERMAN);
  std::wstring german = Expected(LANGUAGE_BASE_GERMAN, IDS_STATUS_FOUND_BASE + 1);
  german.replace(german.find(L"COM1"), 4, L"COM13");
  EXPECT_EQ(german, window.Status());
}

TEST(WindowLanguage, PortNamesAreCheckedStrictly) {
  EXPECT_EQ(1, ParsePortName(L"COM1"));
  EXPECT_EQ(9, ParsePortName(L"COM9"));
  EXPECT_EQ(10, ParsePortName(L"COM10"));
  EXPECT_EQ(16, ParsePortName(L"COM16"));
  for (const wchar_t* szText :
       {L"", L"COM", L"COM0", L"COM17", L"COM99", L"COM123", L"COM01", L"COM 3", L" COM3", L"COM3 ",
        L"COM+3", L"COM-3", L"xCOM3", L"com3", L"COM3x", L"3", L"COM\x0663", L"COM4294967299"}) {
    EXPECT_EQ(0, ParsePortName(szText)) << "\"" << Narrow(szText) << "\"";
  }
  EXPECT_EQ(L"Found on COM12", MakeFoundText(L"Found on COM1", 12));
  EXPECT_EQ(L"COM7: found", MakeFoundText(L"COM1: found", 7));
  // Only a whole "COM1" is the port; a text without one names no port and stays.
  EXPECT_EQ(L"COM10 or COM5", MakeFoundText(L"COM10 or COM1", 5));
  EXPECT_EQ(L"Instrument found", MakeFoundText(L"Instrument found", 5));
}

TEST(WindowLanguage, PortBoxRefusesWhatIsNoPort) {
  cNoticeRecorder notices;
  cMainWindow window(LANGUAGE_BASE_FRENCH);
  ASSERT_NE(nullptr, window.Handle());
  for (const wchar_t* szText : {L"", L"COM0", L"COM17", L" COM3", L"COM3 ", L"COM+3", L"xCOM3",
                                L"com3", L"COM-1", L"COM4294967299", L"COM3;COM4"}) {
    window.SetPortText(szText);
    window.Click(IDC_CONNECT);
    EXPECT_EQ(Expected(LANGUAGE_BASE_FRENCH, IDS_STATUS_CHOOSE_PORT), window.Status())
        << Narrow(szText);
    EXPECT_FALSE(instrument.IsConnected());
    EXPECT_FALSE(window.IsEnabled(IDC_INSTALL));
  }
  // Nothing reached a channel: no port was opened, so none could fail to open.
  EXPECT_TRUE(notices.Notices().empty());
}
