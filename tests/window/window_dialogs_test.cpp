// The stage dialogs of an installation and the Help dialogs: their texts in the language of the
// moment, what their buttons do, and that a stage dialog closes only once.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/transfer_cut.h"
#include "app/window/help_dialogs.h"
#include "app/window/stage_dialogs.h"
#include "app/window/window_globals.h"
#include "tests/window/window_driver.h"

using namespace window_test;

namespace {

struct sStage {
  int id;
  int textKey;
  eInstallPackageState afterCancel;
  const char* name;
};

const sStage kStages[] = {
    {IDD_START_INSTALLER, IDC_START_INSTALLER_TEXT, INSTALL_REBOOTING, "stage_303_start"},
    {IDD_PROGRESS, IDC_PROGRESS_TEXT, INSTALL_REBOOTING, "stage_305_progress"},
    {IDD_RUN_SCRIPT, IDC_RUN_SCRIPT_TEXT, INSTALL_REBOOTING, "stage_308_script"},
    {IDD_WAIT_RESTART, IDC_WAIT_RESTART_TEXT, INSTALL_IDLE, "stage_310_restart"},
    {IDD_WAIT_POWER_CYCLE, IDC_WAIT_POWER_CYCLE_TEXT, INSTALL_IDLE, "stage_312_power_cycle"},
};

}  // namespace

TEST(StageDialogs, ShowTheirTextsAndCancelAsTheirStageRequires) {
  cNoticeRecorder notices;
  cMainWindow window(LANGUAGE_BASE_ENGLISH);
  ASSERT_NE(nullptr, window.Handle());
  // A dialog opened after a change of language speaks the new one; the file name shows as it
  // is, "%" and "&" included.
  window.Click(IDC_LANGUAGE_GERMAN);
  std::strcpy(filename, "main&50%s_010203.bin");
  for (const sStage& stage : kStages) {
    installPackageState = INSTALL_CONNECTING;  // a state whose step does nothing
    HWND hStage = ShowStageDialog(stage.id);
    ASSERT_NE(nullptr, hStage) << stage.id;
    EXPECT_EQ(hStage, hMessageDialog);
    EXPECT_EQ(stage.id, ShownStage());
    EXPECT_TRUE(IsWindowVisible(hStage));
    EXPECT_EQ(window.Handle(), GetWindow(hStage, GW_OWNER));
    EXPECT_EQ(Expected(LANGUAGE_BASE_GERMAN, stage.id), WindowText(hStage)) << stage.id;
    std::wstring text = Expected(LANGUAGE_BASE_GERMAN, stage.textKey);
    if (stage.id == IDD_PROGRESS) {
      text = Fill(text, {L"main&50%s_010203.bin"});
      PBRANGE range = {};
      SendDlgItemMessageW(hStage, IDC_PROGRESS_BAR, PBM_GETRANGE, FALSE,
                          reinterpret_cast<LPARAM>(&range));
      EXPECT_EQ(0, range.iLow);
      EXPECT_EQ(100, range.iHigh);
      SetStageProgress(42);
      EXPECT_EQ(42, StageProgress());
    }
    EXPECT_EQ(text, WindowText(GetDlgItem(hStage, stage.textKey))) << stage.id;
    if (stage.id == IDD_WAIT_POWER_CYCLE) {  // the text after a last uncertain pass
      SetStageText(IDS_POWER_CYCLE_UNCERTAIN);
      EXPECT_EQ(Expected(LANGUAGE_BASE_GERMAN, IDS_POWER_CYCLE_UNCERTAIN),
                WindowText(GetDlgItem(hStage, stage.textKey)));
    }
    window.Pass();
    EXPECT_TRUE(SaveScreenshot(hStage, stage.name));

    CancelStage();
    EXPECT_EQ(stage.afterCancel, installPackageState) << stage.id;
    // Cancel in the progress dialog cuts the transfer (the next pass would show its wait).
    EXPECT_EQ(stage.id == IDD_PROGRESS ? CUT_STOPPED : CUT_NONE, GetTransferCut()) << stage.id;
    ClearTransferCut();
    // The dialog is gone and forgotten: closing it again is harmless.
    EXPECT_FALSE(IsWindow(hStage));
    EXPECT_EQ(nullptr, hMessageDialog);
    CloseStageDialog();
    CloseStageDialog();
    EXPECT_EQ(nullptr, hMessageDialog);
  }
  EXPECT_TRUE(notices.Notices().empty());
  installPackageState = INSTALL_IDLE;
}

TEST(StageDialogs, OnlyOneIsShownAndNoneOutlivesTheMainWindow) {
  cMainWindow window(LANGUAGE_BASE_ENGLISH);
  ASSERT_NE(nullptr, window.Handle());
  HWND hFirst = ShowStageDialog(IDD_START_INSTALLER);
  HWND hSecond = ShowStageDialog(IDD_WAIT_RESTART);
  EXPECT_FALSE(IsWindow(hFirst));
  EXPECT_EQ(hSecond, hMessageDialog);
  // Closed by the sequencer, then by whatever destroys it again: the handle is cleared once.
  CloseStageDialog();
  EXPECT_FALSE(IsWindow(hSecond));
  EXPECT_EQ(nullptr, hMessageDialog);
  DestroyWindow(hSecond);
  CloseStageDialog();

  // A stage dialog goes with its owner, and the handle with it.
  HWND hThird = ShowStageDialog(IDD_RUN_SCRIPT);
  ASSERT_NE(nullptr, hThird);
  DestroyWindow(window.Handle());
  EXPECT_FALSE(IsWindow(hThird));
  EXPECT_EQ(nullptr, hMessageDialog);
  CloseStageDialog();
}

TEST(HelpDialogs, AboutAndInstructionsSpeakTheWindowLanguage) {
  cMainWindow window(LANGUAGE_BASE_ENGLISH);
  ASSERT_NE(nullptr, window.Handle());
  std::vector<std::wstring> about =
      ReadModalDialog(window.Handle(), IDM_ABOUT, {IDC_ABOUT_TEXT, IDC_ABOUT_VERSION}, "about_en");
  ASSERT_EQ(3u, about.size());
  EXPECT_EQ(Expected(LANGUAGE_BASE_ENGLISH, IDD_ABOUT), about[0]);
  EXPECT_EQ(Expected(LANGUAGE_BASE_ENGLISH, IDC_ABOUT_TEXT), about[1]);
  EXPECT_EQ(L"Version: 2.1.0  04/16/2021", about[2]);
  EXPECT_TRUE(IsWindowEnabled(window.Handle()));  // closed again

  window.Click(IDC_LANGUAGE_FRENCH);
  about = ReadModalDialog(window.Handle(), IDM_ABOUT, {IDC_ABOUT_VERSION}, "");
  ASSERT_EQ(2u, about.size());
  EXPECT_EQ(Expected(LANGUAGE_BASE_FRENCH, IDD_ABOUT), about[0]);
  EXPECT_EQ(
      Fill(Expected(LANGUAGE_BASE_FRENCH, IDC_ABOUT_VERSION), {PROGRAM_VERSION, PROGRAM_DATE}),
      about[1]);

  window.Click(IDC_LANGUAGE_ITALIAN);
  const std::vector<int> lines = {IDC_INSTRUCTIONS_LINE1, IDC_INSTRUCTIONS_LINE2,
                                  IDC_INSTRUCTIONS_LINE3, IDC_INSTRUCTIONS_LINE4,
                                  IDC_INSTRUCTIONS_LINE5};
  const std::vector<std::wstring> instructions =
      ReadModalDialog(window.Handle(), IDM_INSTRUCTIONS, lines, "instructions_it");
  ASSERT_EQ(6u, instructions.size());
  EXPECT_EQ(Expected(LANGUAGE_BASE_ITALIAN, IDD_INSTRUCTIONS), instructions[0]);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(Expected(LANGUAGE_BASE_ITALIAN, lines[i]), instructions[i + 1]) << lines[i];
  }
}
