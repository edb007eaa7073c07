// String tables: the same keys in all five languages, texts that fit the window's buffer, keep
// their format conversions and decode as the intended Unicode.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/resources/resource.h"
#include "load_text.h"

namespace {

const UINT kBases[] = {LANGUAGE_BASE_ENGLISH, LANGUAGE_BASE_GERMAN, LANGUAGE_BASE_FRENCH,
                       LANGUAGE_BASE_ITALIAN, LANGUAGE_BASE_SPANISH};

std::set<UINT> KeysOf(UINT base) {
  std::set<UINT> keys;
  std::wstring text;
  for (UINT key = 0; key < 1000; ++key) {
    if (LoadText(base + key, &text)) keys.insert(key);
  }
  return keys;
}

// The printf conversions of a text, in order ("%s%s" for "Version: %s  %s").
std::wstring Conversions(const std::wstring& text) {
  std::wstring conversions;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == L'%') {
      conversions += text.substr(i, 2);
      ++i;
    }
  }
  return conversions;
}

}  // namespace

TEST(StringTables, EveryLanguageHoldsTheSameKeys) {
  const std::set<UINT> english = KeysOf(LANGUAGE_BASE_ENGLISH);
  // The keys the window, its dialogs and the sequencer load.
  const UINT used[] = {IDS_MENU_FILE,
                       IDS_MENU_HELP,
                       IDM_EXIT,
                       IDM_ABOUT,
                       IDM_INSTRUCTIONS,
                       IDS_TITLE,
                       IDD_START_INSTALLER,
                       IDC_START_INSTALLER_TEXT,
                       IDD_PROGRESS,
                       IDC_PROGRESS_TEXT,
                       IDD_RUN_SCRIPT,
                       IDC_RUN_SCRIPT_TEXT,
                       IDD_WAIT_RESTART,
                       IDC_WAIT_RESTART_TEXT,
                       IDD_WAIT_POWER_CYCLE,
                       IDC_WAIT_POWER_CYCLE_TEXT,
                       IDS_POWER_CYCLE_UNCERTAIN,
                       IDS_ERROR_CAPTION,
                       IDS_FILE_NOT_FOUND,
                       IDS_PACKAGE_REFUSED,
                       IDD_INSTRUCTIONS,
                       IDC_INSTRUCTIONS_LINE1,
                       IDC_INSTRUCTIONS_LINE5,
                       IDD_ABOUT,
                       IDC_ABOUT_TEXT,
                       IDC_ABOUT_VERSION,
                       IDC_REMOTE_GROUP,
                       IDC_MODEL_LABEL,
                       IDC_SERIAL_LABEL,
                       IDC_REMOTE_VERSIONS_LABEL,
                       IDC_LOCAL_GROUP,
                       IDC_REFRESH,
                       IDC_PACKAGES_LABEL,
                       IDC_PACKAGE_VERSIONS_LABEL,
                       IDC_INSTALL,
                       IDC_CONNECT,
                       IDS_STATUS,
                       IDS_STATUS_FOUND_BASE + 1,
                       IDS_STATUS_FOUND_BASE + 4,
                       IDS_STATUS_NO_CONNECTION,
                       IDS_STATUS_LOOKING,
                       IDS_STATUS_DISCONNECTING,
                       IDS_STATUS_CONNECTING_INSTALLER,
                       IDS_STATUS_WAITING_INSTALLER,
                       IDS_STATUS_SENDING_FILE,
                       IDS_STATUS_RUNNING_SCRIPT,
                       IDS_STATUS_PREPARING_NEXT,
                       IDS_STATUS_REBOOTING,
                       IDS_STATUS_COMPLETE,
                       IDS_STATUS_CHOOSE_PORT,
                       IDS_STATUS_FAILED,
                       IDS_STATUS_VERIFIED,
                       IDS_STATUS_VERSION_DIFFERS,
                       IDS_STATUS_UNCHECKED,
                       IDS_STATUS_POWER_CYCLE,
                       IDS_STATUS_CUT_FAILED};
  for (UINT key : used) EXPECT_EQ(1u, english.count(key)) << "key " << key;
  EXPECT_EQ(61u, english.size());

  for (UINT base : kBases) EXPECT_EQ(english, KeysOf(base)) << "language " << base;

  // Nothing outside the five language ranges.
  std::wstring text;
  for (UINT id = 0; id < 0x10000; ++id) {
    if (!LoadText(id, &text)) continue;
    EXPECT_TRUE(id >= 1000 && id < 6000) << "stray string " << id;
  }
  // Port 0 (a port box without digits) and ports above COM4 have no status text, so the
  // status bar keeps what it shows.
  EXPECT_FALSE(LoadText(LANGUAGE_BASE_ENGLISH + IDS_STATUS_FOUND_BASE, &text));
  EXPECT_FALSE(LoadText(LANGUAGE_BASE_ENGLISH + IDS_STATUS_FOUND_BASE + 5, &text));
}

TEST(StringTables, TextsFitTheBufferAndKeepTheirFormats) {
  for (UINT key : KeysOf(LANGUAGE_BASE_ENGLISH)) {
    const std::wstring english = Text(LANGUAGE_BASE_ENGLISH + key);
    for (UINT base : kBases) {
      const std::wstring text = Text(base + key);
      // Every loaded string passes through a 256-character buffer with its NUL.
      EXPECT_LT(text.size(), 256u) << base + key;
      // A translation that drops or adds a conversion would break the formatted output.
      EXPECT_EQ(Conversions(english), Conversions(text)) << base + key;
    }
  }
  EXPECT_EQ(L"%s", Conversions(Text(LANGUAGE_BASE_ENGLISH + IDC_PROGRESS_TEXT)));
  EXPECT_EQ(L"%s", Conversions(Text(LANGUAGE_BASE_ENGLISH + IDS_FILE_NOT_FOUND)));
  EXPECT_EQ(L"%s%s", Conversions(Text(LANGUAGE_BASE_ENGLISH + IDC_ABOUT_VERSION)));
  EXPECT_EQ(L"%s%s", Conversions(Text(LANGUAGE_BASE_ENGLISH + IDS_STATUS_VERSION_DIFFERS)));
}

TEST(StringTables, TextsDecodeAsUnicode) {
  // Signs of a wrong code page: replacement characters, C1 controls, UTF-8 read as Latin-1.
  for (UINT base : kBases) {
    for (UINT key : KeysOf(base)) {
      const std::wstring text = Text(base + key);
      for (wchar_t c : text) {
        EXPECT_NE(0xFFFD, c) << base + key;
        EXPECT_FALSE(c >= 0x80 && c < 0xA0) << base + key;
        EXPECT_FALSE(c == 0x00C2 || c == 0x00C3) << base + key;
      }
    }
  }
  EXPECT_EQ(L"&\u00DCber", Text(LANGUAGE_BASE_GERMAN + IDM_ABOUT));
  EXPECT_EQ(L"\u00DCbertrage:%s", Text(LANGUAGE_BASE_GERMAN + IDC_PROGRESS_TEXT));
  EXPECT_EQ(L"Verf\u00FCgbare Packete", Text(LANGUAGE_BASE_GERMAN + IDC_PACKAGES_LABEL));
  EXPECT_EQ(L"Rafra\u00EEchissement", Text(LANGUAGE_BASE_FRENCH + IDC_REFRESH));
  EXPECT_EQ(L"Pas de connexion, verifier le c\u00E2ble",
            Text(LANGUAGE_BASE_FRENCH + IDS_STATUS_NO_CONNECTION));
  // A no-break space, then the blank.
  EXPECT_EQ(L"Version: %s\u00A0 %s", Text(LANGUAGE_BASE_FRENCH + IDC_ABOUT_VERSION));
  EXPECT_EQ(L"Version: %s  %s", Text(LANGUAGE_BASE_GERMAN + IDC_ABOUT_VERSION));
  // Typographic apostrophes.
  EXPECT_EQ(L"Entre l\u2019ordinateur et l\u2019VSR 450",
            Text(LANGUAGE_BASE_FRENCH + IDC_INSTRUCTIONS_LINE2));
  EXPECT_EQ(L"Connessione all\u2019 installazione",
            Text(LANGUAGE_BASE_ITALIAN + IDS_STATUS_CONNECTING_INSTALLER));
}

TEST(StringTables, UntranslatedAndUnusualRowsAreKept) {
  EXPECT_EQ(L"Halvex Software Installier", Text(LANGUAGE_BASE_GERMAN + IDS_TITLE));
  EXPECT_EQ(Text(LANGUAGE_BASE_ENGLISH + IDS_TITLE), Text(LANGUAGE_BASE_SPANISH + IDS_TITLE));
  EXPECT_EQ(L"Error", Text(LANGUAGE_BASE_ITALIAN + IDS_ERROR_CAPTION));
  EXPECT_EQ(L"Fehler", Text(LANGUAGE_BASE_GERMAN + IDS_ERROR_CAPTION));
  EXPECT_EQ(L"Trovato uno strumento Halvex sul COM3", Text(LANGUAGE_BASE_SPANISH + 812));
  EXPECT_EQ(L"Found Halvex Instrument on COM4", Text(LANGUAGE_BASE_ITALIAN + 813));
  EXPECT_EQ(L"Install Software >>", Text(LANGUAGE_BASE_SPANISH + IDC_INSTRUCTIONS_LINE5));
  EXPECT_EQ(L"Install package >>", Text(LANGUAGE_BASE_ENGLISH + IDC_INSTRUCTIONS_LINE5));
  // Blanks at either end stay.
  EXPECT_EQ(L"Logiciel Installer de Halvex ", Text(LANGUAGE_BASE_FRENCH + IDS_TITLE));
  EXPECT_EQ(L" Version du logiciel Package:",
            Text(LANGUAGE_BASE_FRENCH + IDC_PACKAGE_VERSIONS_LABEL));
  EXPECT_EQ(L" Trouver instrument Halvex sur COM3", Text(LANGUAGE_BASE_FRENCH + 812));
}

TEST(StringTables, FoundTextsNameTheirOwnPort) {
  // The status after connecting on COMn is key 809 + n: each row names its port and no other.
  for (UINT base : kBases) {
    for (UINT port = 1; port <= 4; ++port) {
      const std::wstring text = Text(base + IDS_STATUS_FOUND_BASE + port);
      for (UINT other = 1; other <= 4; ++other) {
        const bool bNamed = text.find(L"COM" + std::to_wstring(other)) != std::wstring::npos;
        EXPECT_EQ(other == port, bNamed) << base + IDS_STATUS_FOUND_BASE + port;
      }
    }
  }
}
