// The window against the instrument simulator: connecting, the packages that fit, and whole
// installations, cancelled and failed ones included. HALVEX_TEST_SIM_COM names the COM number
// linked to the simulator, HALVEX_TEST_SIM_STORE (a Windows path) the folder it stores into.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/connections.h"
#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/window/interactive_sequencer.h"
#include "app/window/status_bar.h"
#include "app/window/window_globals.h"
#include "app/window/window_text.h"
#include "platform/clock.h"
#include "support/packets.h"
#include "support/simulator.h"
#include "support/temp_folder.h"
#include "tests/window/window_driver.h"

using namespace window_test;

namespace {

const int kSlowMs = 90000;  // an installation: installer start, transfer, restart

std::string Package(const std::string& main, const std::string& gpib = "",
                    const std::string& fpga = "") {
  std::string text = "[files]\nmain=" + main + "\n";
  if (!gpib.empty()) text += "gpib=" + gpib + "\n";
  if (!fpga.empty()) text += "fpga=" + fpga + "\n";
  return text;
}

// What the user saw during an installation, pass by pass.
struct sSeen {
  std::vector<int> stages;  // each stage dialog as it appeared
  std::vector<std::wstring> statuses;
  int maxProgress = -1;
  int progressSteps = 0;  // different positions the bar took
};

class SimWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const sRunSimulator sim = FindRunSimulator();
    if (!sim.szSkipReason.empty()) GTEST_SKIP() << sim.szSkipReason;
    port = sim.port;
    store = sim.store;
    ASSERT_TRUE(IsValidPort(port));
    folder.reset(new cTempFolder(cTempFolder::ENTER));
    // The store's newest package for the instrument is VSR450_B.pkg ('_' after the letters);
    // the list box sorts it first. VSR450_OLD.pkg has another major number, OTHER_A.pkg is for
    // another model.
    folder->WriteFile("packages/VSR450_B.pkg",
                      Package("vsr_010203.bin", "gpib_010000.bin", "fpga_010100.bin"));
    folder->WriteFile("packages/VSR450BETA.pkg", Package("beta_010100.bin"));
    folder->WriteFile("packages/VSR450_OLD.pkg", Package("old_020000.bin"));
    folder->WriteFile("packages/OTHER_A.pkg", Package("other_010000.bin"));
    image = RandomBytes(256 * 1024 + 77, 11);
    folder->WriteFile("files/vsr_010203.bin", image);
    ASSERT_TRUE(WaitForInstrument(versions)) << "the simulator does not answer on COM" << port;
  }

  // An instrument that an earlier case told to restart answers again once it is back.
  // Its MAIN, GPIB and FPGA versions as a connection of its own reads them.
  bool WaitForInstrument(std::wstring* pVersions) {
    cHalvexInstrument probe;
    const int64_t deadline = platform::GetMonotonicMs() + 30000;
    while (platform::GetMonotonicMs() < deadline) {
      if (probe.Connect(static_cast<ePort>(port), BAUD_57600, false) && probe.IsConnected()) {
        if (pVersions != nullptr) {
          pVersions[0] = Widen(probe.GetMainVersion());
          pVersions[1] = Widen(probe.GetGPIBVersion());
          pVersions[2] = Widen(probe.GetFPGAVersion());
        }
        probe.Disconnect();
        return true;
      }
    }
    return false;
  }

  // A transfer stopped in the middle leaves the simulated installer waiting for data: the
  // end-of-file marker ends the file (which it then drops), the exit word restarts it.
  void RescueSimulator() {
    cHalvexInstaller rescue;
    ASSERT_TRUE(rescue.Connect(static_cast<ePort>(port), BAUD_115200));
    const char unused = 0;
    rescue.WritePacket(&unused, 0);
    EXPECT_TRUE(rescue.Exit());
    rescue.Disconnect();
    EXPECT_TRUE(WaitForInstrument(nullptr));
  }

  bool Connect(cMainWindow& window) {
    window.SetPortText(L"COM" + std::to_wstring(port));
    window.Click(IDC_CONNECT);
    return instrument.IsConnected();
  }

  void Watch(cMainWindow& window, sSeen& seen, const char* szShots = nullptr) {
    window.SetObserver([&window, &seen, szShots] {
      const int stage = ShownStage();
      const int progress = StageProgress();
      if (stage != 0 && (seen.stages.empty() || seen.stages.back() != stage)) {
        seen.stages.push_back(stage);
        if (szShots != nullptr && stage != IDD_PROGRESS) {
          SaveScreenshot(hMessageDialog, std::string(szShots) + "_" + std::to_string(stage));
        }
      }
      // The progress dialog once its bar is half way.
      if (szShots != nullptr && stage == IDD_PROGRESS && progress >= 50 && seen.maxProgress < 50) {
        SaveScreenshot(hMessageDialog, std::string(szShots) + "_" + std::to_string(stage));
      }
      const std::wstring status = window.Status();
      if (seen.statuses.empty() || seen.statuses.back() != status) seen.statuses.push_back(status);
      if (progress > seen.maxProgress) {
        seen.maxProgress = progress;
        seen.progressSteps++;
      }
    });
  }

  std::string Stored(const std::string& name) {
    std::string bytes;
    return ReadWholeFile(store + "\\" + name, bytes) ? bytes : std::string("<not stored>");
  }

  int port = 0;
  std::string store;
  std::string image;
  std::wstring versions[3];  // the instrument's at the start of the case
  std::unique_ptr<cTempFolder> folder;
};

}  // namespace

TEST_F(SimWindowTest, ConnectShowsTheInstrumentAndThePackagesThatFitIt) {
  cNoticeRecorder notices;
  cMainWindow window(LANGUAGE_BASE_GERMAN);
  ASSERT_NE(nullptr, window.Handle());
  // Not connected: every package with a version, none selected.
  EXPECT_EQ((std::vector<std::wstring>{L"OTHER_A.pkg", L"VSR450_B.pkg", L"VSR450_OLD.pkg",
                                       L"VSR450BETA.pkg"}),
            window.ListItems());
  EXPECT_EQ(L"", window.SelectedItem());

  ASSERT_TRUE(Connect(window));
  EXPECT_EQ(L"VSR450", window.Text(IDC_MODEL));
  EXPECT_EQ(L"123456", window.Text(IDC_SERIAL));
  EXPECT_EQ(versions[0], window.Text(IDC_REMOTE_MAIN));
  EXPECT_EQ(versions[1], window.Text(IDC_REMOTE_GPIB));
  EXPECT_EQ(versions[2], window.Text(IDC_REMOTE_FPGA));
  // What the simulator reports for the images no case installs.
  EXPECT_EQ(L"1.0.0", window.Text(IDC_REMOTE_GPIB));
  EXPECT_EQ(L"1.0.0", window.Text(IDC_REMOTE_FPGA));
  std::wstring found;
  ASSERT_TRUE(GetFoundStatusText(port, found));
  EXPECT_EQ(found, window.Status());
  if (port <= 4) {
    EXPECT_EQ(Expected(LANGUAGE_BASE_GERMAN, IDS_STATUS_FOUND_BASE + port), found);
  }
  EXPECT_TRUE(window.IsEnabled(IDC_INSTALL));

  // Only the model's packages with the instrument's major number; the store's newest is
  // selected by its name, although the list sorts it first.
  EXPECT_EQ((std::vector<std::wstring>{L"VSR450_B.pkg", L"VSR450BETA.pkg"}), window.ListItems());
  EXPECT_EQ(L"VSR450_B.pkg", window.SelectedItem());
  EXPECT_EQ(L"1.2.3", window.Text(IDC_PACKAGE_MAIN));
  EXPECT_EQ(L"1.0.0", window.Text(IDC_PACKAGE_GPIB));
  EXPECT_EQ(L"1.1.0", window.Text(IDC_PACKAGE_FPGA));
  EXPECT_TRUE(SaveScreenshot(window.Handle(), "main_connected_de"));

  // Connect again: the same status. Another language: the values stay.
  window.Click(IDC_LANGUAGE_ENGLISH);
  window.Click(IDC_CONNECT);
  ASSERT_TRUE(GetFoundStatusText(port, found));
  EXPECT_EQ(found, window.Status());
  window.Click(IDC_LANGUAGE_ITALIAN);
  EXPECT_EQ(L"VSR450", window.Text(IDC_MODEL));
  EXPECT_EQ(L"123456", window.Text(IDC_SERIAL));
  EXPECT_EQ(versions[1], window.Text(IDC_REMOTE_GPIB));
  EXPECT_EQ(L"1.2.3", window.Text(IDC_PACKAGE_MAIN));

  // Another package: its versions; an image it does not name leaves its field empty.
  HWND hList = GetDlgItem(window.Handle(), IDC_PACKAGE_LIST);
  SendMessageW(hList, LB_SETCURSEL, 1, 0);
  SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(IDC_PACKAGE_LIST, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(hList));
  EXPECT_EQ(L"1.1.0", window.Text(IDC_PACKAGE_MAIN));
  EXPECT_EQ(L"", window.Text(IDC_PACKAGE_GPIB));
  EXPECT_EQ(L"", window.Text(IDC_PACKAGE_FPGA));
  // Refresh lists them again and selects the newest.
  window.Click(IDC_REFRESH);
  EXPECT_EQ(L"VSR450_B.pkg", window.SelectedItem());
  EXPECT_EQ(L"1.2.3", window.Text(IDC_PACKAGE_MAIN));
  EXPECT_TRUE(notices.Notices().empty());
}

TEST_F(SimWindowTest, InstallWithoutASelectedPackageLeavesTheInstrumentAlone) {
  cMainWindow window(LANGUAGE_BASE_ENGLISH);
  ASSERT_TRUE(Connect(window));
  SendMessageW(GetDlgItem(window.Handle(), IDC_PACKAGE_LIST), LB_SETCURSEL, static_cast<WPARAM>(-1),
               0);
  window.Click(IDC_INSTALL);
  for (int i = 0; i < 5; ++i) window.Pass();
  EXPECT_EQ(INSTALL_IDLE, installPackageState);
  EXPECT_EQ(nullptr, hMessageDialog);
  EXPECT_TRUE(window.IsEnabled(IDC_INSTALL));
  // Still the instrument's command interpreter, not its installer.
  EXPECT_TRUE(instrument.IsConnected());
  EXPECT_TRUE(instrument.UpdateVersions());
  EXPECT_EQ(versions[0], Widen(instrument.GetMainVersion()));
}

TEST_F(SimWindowTest, InstallSendsTheImageAndRefreshesTheWindow) {
  cNoticeRecorder notices;
  cMainWindow window(LANGUAGE_BASE_GERMAN);
  ASSERT_TRUE(Connect(window));
  sSeen seen;
  Watch(window, seen, "install");
  window.Click(IDC_INSTALL);
  EXPECT_EQ(INSTALL_GETTING_PACKAGE, installPackageState);
  EXPECT_EQ(Expected(LANGUAGE_BASE_GERMAN, IDS_STATUS_CONNECTING_INSTALLER), window.Status());
  EXPECT_FALSE(instrument.IsConnected());
  window.Pass();
  EXPECT_FALSE(window.IsEnabled(IDC_INSTALL));
  EXPECT_EQ(IDD_START_INSTALLER, ShownStage());
  ASSERT_TRUE(window.RunToRest(kSlowMs));

  EXPECT_EQ((std::vector<int>{IDD_START_INSTALLER, IDD_PROGRESS, IDD_WAIT_RESTART}), seen.stages);
  EXPECT_EQ(100, seen.maxProgress);
  EXPECT_GT(seen.progressSteps, 3);  // the bar moved on the way
  // The status texts in their order (a pass may show several at once).
  // The last one: the instrument runs the image's version.
  const std::wstring verified =
      Fill(Expected(LANGUAGE_BASE_GERMAN, IDS_STATUS_VERIFIED), {L"1.2.3"});
  std::vector<std::wstring> wanted;
  for (int key : {IDS_STATUS_WAITING_INSTALLER, IDS_STATUS_SENDING_FILE, IDS_STATUS_REBOOTING}) {
    wanted.push_back(Expected(LANGUAGE_BASE_GERMAN, key));
  }
  wanted.push_back(verified);
  size_t next = 0;
  for (const std::wstring& status : seen.statuses) {
    if (next < wanted.size() && status == wanted[next]) next++;
  }
  EXPECT_EQ(wanted.size(), next);
  EXPECT_EQ(verified, window.Status());

  // The instrument is back with the new image, and the window shows it.
  EXPECT_EQ(nullptr, hMessageDialog);
  EXPECT_TRUE(window.IsEnabled(IDC_INSTALL));
  EXPECT_TRUE(instrument.IsConnected());
  EXPECT_EQ(L"1.2.3", window.Text(IDC_REMOTE_MAIN));
  EXPECT_EQ(L"VSR450_B.pkg", window.SelectedItem());
  EXPECT_FALSE(InteractiveRunFailed());
  EXPECT_TRUE(Stored("vsr_010203.bin") == image) << "the stored image differs";
  EXPECT_TRUE(notices.Notices().empty());
  EXPECT_TRUE(SaveScreenshot(window.Handle(), "main_installed_de"));
}

TEST_F(SimWindowTest, CancelDuringTheTransferStopsItAndTheRestartCanBeCancelled) {
  cNoticeRecorder notices;
  folder->WriteFile("files/vsr_010203.bin", RandomBytes(2 << 20, 12));
  folder->WriteFile("packages/VSR450_B.pkg", Package("cancelled_010900.bin"));
  folder->WriteFile("files/cancelled_010900.bin", RandomBytes(2 << 20, 12));
  cMainWindow window(LANGUAGE_BASE_ENGLISH);
  ASSERT_TRUE(Connect(window));
  ASSERT_EQ(L"VSR450_B.pkg", window.SelectedItem());
  window.Click(IDC_INSTALL);
  ASSERT_TRUE(
      window.RunUntil([] { return ShownStage() == IDD_PROGRESS && StageProgress() > 0; }, kSlowMs));
  ASSERT_LT(StageProgress(), 100);

  CancelStage();
  EXPECT_EQ(INSTALL_REBOOTING, installPackageState);
  EXPECT_EQ(nullptr, hMessageDialog);
  EXPECT_FALSE(installer.TransferComplete());
  // The user is told once what a cut transfer leaves.
  ASSERT_EQ(1u, notices.Notices().size());
  EXPECT_EQ(Expected(LANGUAGE_BASE_ENGLISH, IDS_TRANSFER_CUT),
            Utf8ToWide(notices.Notices()[0].text));
  EXPECT_TRUE(InteractiveRunFailed());
  // The restart is requested and waited for.
  ASSERT_TRUE(window.RunUntil([] { return ShownStage() == IDD_WAIT_RESTART; }, kSlowMs));
  EXPECT_EQ(INSTALL_RECONNECTING, installPackageState);
  EXPECT_EQ(Expected(LANGUAGE_BASE_ENGLISH, IDS_STATUS_REBOOTING), window.Status());
  // The simulated installer took the exit word for data: it does not restart. Cancel.
  CancelStage();
  EXPECT_EQ(INSTALL_IDLE, installPackageState);
  ASSERT_TRUE(window.RunToRest(5000));
  EXPECT_EQ(nullptr, hMessageDialog);
  EXPECT_FALSE(window.IsEnabled(IDC_INSTALL));
  EXPECT_EQ(Expected(LANGUAGE_BASE_ENGLISH, IDS_STATUS_FAILED), window.Status());
  EXPECT_EQ("<not stored>", Stored("cancelled_010900.bin"));
  RescueSimulator();
}

TEST_F(SimWindowTest, APackageThatFailsItsCheckIsRefusedAndTheInstrumentLeftAlone) {
  cNoticeRecorder notices;
  folder->WriteFile("packages/VSR450_B.pkg", Package("gone_010400.bin"));
  cMainWindow window(LANGUAGE_BASE_GERMAN);
  ASSERT_TRUE(Connect(window));
  window.Click(IDC_INSTALL);
  for (int i = 0; i < 5; ++i) window.Pass();

  const std::vector<sNotice> shown = notices.Notices();
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ(
      Expected(LANGUAGE_BASE_GERMAN, IDS_PACKAGE_REFUSED) +
          L"\n\nfiles\\gone_010400.bin is missing: the package cannot be installed without it.",
      Utf8ToWide(shown[0].text));
  EXPECT_EQ(Expected(LANGUAGE_BASE_GERMAN, IDS_ERROR_CAPTION), Utf8ToWide(shown[0].caption));
  EXPECT_EQ(INSTALL_IDLE, installPackageState);
  EXPECT_EQ(nullptr, hMessageDialog);
  EXPECT_TRUE(window.IsEnabled(IDC_INSTALL));
  // Still the instrument's command interpreter, not its installer.
  EXPECT_TRUE(instrument.IsConnected());
  EXPECT_TRUE(instrument.UpdateVersions());
  EXPECT_EQ(versions[0], Widen(instrument.GetMainVersion()));
}

TEST_F(SimWindowTest, AFailedTransferIsReportedAndNeverComplete) {
  cNoticeRecorder notices;
  folder->WriteFile("packages/VSR450_B.pkg", Package("shrinks_010500.bin"));
  folder->WriteFile("files/shrinks_010500.bin", RandomBytes(2 << 20, 13));
  cMainWindow window(LANGUAGE_BASE_FRENCH);
  ASSERT_TRUE(Connect(window));
  window.Click(IDC_INSTALL);
  ASSERT_TRUE(
      window.RunUntil([] { return ShownStage() == IDD_PROGRESS && StageProgress() > 0; }, kSlowMs));
  // The image shrinks while it is being sent.
  std::error_code error;
  std::filesystem::resize_file("files/shrinks_010500.bin", 1000, error);
  ASSERT_FALSE(error) << error.message();
  ASSERT_TRUE(window.RunUntil([] { return ShownStage() == IDD_WAIT_RESTART; }, kSlowMs));

  const std::vector<sNotice> shown = notices.Notices();
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ(Expected(LANGUAGE_BASE_FRENCH, IDS_TRANSFER_CUT), Utf8ToWide(shown[0].text));
  EXPECT_EQ(Expected(LANGUAGE_BASE_FRENCH, IDS_ERROR_CAPTION), Utf8ToWide(shown[0].caption));
  EXPECT_TRUE(InteractiveRunFailed());
  // The installer holds a file it never finished, so it does not restart: Cancel the wait.
  CancelStage();
  ASSERT_TRUE(window.RunToRest(5000));
  EXPECT_EQ(Expected(LANGUAGE_BASE_FRENCH, IDS_STATUS_FAILED), window.Status());
  EXPECT_EQ("<not stored>", Stored("shrinks_010500.bin"));
  RescueSimulator();
}

TEST_F(SimWindowTest, AnImageNameWithoutAVersionIsInstalledButNotChecked) {
  cNoticeRecorder notices;
  folder->WriteFile("packages/VSR450_B.pkg", Package("plain_01abcd.bin"));
  folder->WriteFile("files/plain_01abcd.bin", RandomBytes(20000, 14));
  cMainWindow window(LANGUAGE_BASE_ITALIAN);
  ASSERT_TRUE(Connect(window));
  ASSERT_EQ(L"VSR450_B.pkg", window.SelectedItem());
  window.Click(IDC_INSTALL);
  ASSERT_TRUE(window.RunToRest(kSlowMs));
  EXPECT_EQ(Fill(Expected(LANGUAGE_BASE_ITALIAN, IDS_STATUS_UNCHECKED), {L"1.0.0"}),
            window.Status());
  EXPECT_FALSE(InteractiveRunFailed());
  EXPECT_TRUE(notices.Notices().empty());
}
