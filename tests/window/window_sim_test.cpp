// The window against the instrument simulator: connecting, the packages that fit, and whole
// installations, cancelled and failed ones included. HALVEX_TEST_SIM_COM names the COM number
// linked to the simulator, HALVEX_TEST_SIM_STORE (a Windows path) the folder it stores into.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/connections.h"
#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/run_log.h"
#include "app/window/interactive_sequencer.h"
#include "app/window/status_bar.h"
#include "app/window/window_globals.h"
#include "app/window/window_text.h"
#include "platform/clock.h"
#include "platform/sha256.h"
#include "support/packets.h"
#include "support/simulator.h"
#include "support/temp_folder.h"
#include "tests/window/window_driver.h"
#include "util/trace.h"

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
    SetRunReportFile("run.json");
  }

  void TearDown() override { SetRunReportFile(""); }

  // The record of the installation ("-REPORT="), read back.
  nlohmann::json Record() const {
    return nlohmann::json::parse(ReadWholeFile("run.json"), nullptr, false);
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

  // A transfer stopped in the middle leaves the simulated installer waiting for data: what
  // switching it off and on does is done on the line here. The end-of-file marker ends the file
  // (which it then drops), the exit word restarts it.
  void SwitchSimulatorOffAndOn() {
    cHalvexInstaller rescue;
    ASSERT_TRUE(rescue.Connect(static_cast<ePort>(port), BAUD_115200));
    const char unused = 0;
    rescue.WritePacket(&unused, 0);
    EXPECT_TRUE(rescue.Exit());
    rescue.Disconnect();
  }
  void RescueSimulator() {
    SwitchSimulatorOffAndOn();
    EXPECT_TRUE(WaitForInstrument(nullptr));
  }

  bool Connect(cMainWindow& window) {
    window.SetPortText(L"COM" + std::to_wstring(port));
    window.Click(IDC_CONNECT);
    return instrument.IsConnected();
  }

  // Connects, installs a package whose one image (2 MiB) is named image and runs until its
  // transfer is under way.
  bool StartLongTransfer(cMainWindow& window, const std::string& image, uint32_t seed) {
    folder->WriteFile("packages/VSR450_B.pkg", Package(image));
    folder->WriteFile("files/" + image, RandomBytes(2 << 20, seed));
    if (!Connect(window)) return false;
    window.Click(IDC_INSTALL);
    return window.RunUntil([] { return ShownStage() == IDD_PROGRESS && StageProgress() > 0; },
                           kSlowMs);
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

  const nlohmann::json record = Record();
  std::string sha256;
  ASSERT_TRUE(platform::Sha256Hex(image.data(), image.size(), sha256));
  EXPECT_EQ(record["reason"], "done");
  EXPECT_TRUE(record["exit_status"].is_null()) << "the window's installation has no status";
  EXPECT_EQ(record["images"][0]["sha256"], sha256);
  EXPECT_EQ(record["instrument_after"]["versions"]["MAIN"], "1.2.3");
  EXPECT_EQ(Utf8ToWide(record["message"].get<std::string>()), verified) << "the status bar's";
}

TEST_F(SimWindowTest, CancelDuringTheTransferWaitsForTheInstrumentToBeSwitchedOffAndOn) {
  cNoticeRecorder notices;
  cMainWindow window(LANGUAGE_BASE_ENGLISH);
  ASSERT_TRUE(StartLongTransfer(window, "cancelled_010900.bin", 12));
  ASSERT_LT(StageProgress(), 100);

  // The program's trace says what it sends from the Cancel on.
  const std::string traceFile = folder->PathOf("cancel.trace");
  ASSERT_TRUE(trace.Open(traceFile, "cancel"));
  CancelStage();
  EXPECT_FALSE(installer.TransferComplete());
  EXPECT_TRUE(InteractiveRunFailed());
  // The installer's port is closed; the wait for the instrument says what to do.
  ASSERT_TRUE(window.RunUntil([] { return installPackageState == INSTALL_RECONNECTING; }, kSlowMs));
  EXPECT_EQ(IDD_WAIT_POWER_CYCLE, ShownStage());
  EXPECT_EQ(Expected(LANGUAGE_BASE_ENGLISH, IDC_WAIT_POWER_CYCLE_TEXT),
            WindowText(GetDlgItem(hMessageDialog, IDC_WAIT_POWER_CYCLE_TEXT)));
  EXPECT_EQ(Expected(LANGUAGE_BASE_ENGLISH, IDS_STATUS_POWER_CYCLE), window.Status());
  EXPECT_TRUE(SaveScreenshot(window.Handle(), "main_power_cycle_en"));
  trace.Close("");
  SwitchSimulatorOffAndOn();
  ASSERT_TRUE(trace.Open(traceFile, "the wait"));
  ASSERT_TRUE(window.RunToRest(kSlowMs));
  trace.Close("");

  // Back: the run failed, and the status names the MAIN version the instrument now runs.
  EXPECT_EQ(Fill(Expected(LANGUAGE_BASE_ENGLISH, IDS_STATUS_CUT_FAILED), {versions[0]}),
            window.Status());
  EXPECT_EQ(nullptr, hMessageDialog);
  EXPECT_TRUE(window.IsEnabled(IDC_INSTALL));
  EXPECT_EQ("<not stored>", Stored("cancelled_010900.bin"));
  EXPECT_TRUE(notices.Notices().empty()) << "the dialog says it, no box";
  // StopTransfer's exit word was the only packet: the wait sent the reconnection handshake.
  const std::string traced = ReadWholeFile(traceFile);
  const size_t exitWord = traced.find("TX PKT  length 4 sum 0x00000000");
  ASSERT_NE(std::string::npos, exitWord) << traced;
  EXPECT_EQ(std::string::npos, traced.find("TX PKT", exitWord + 1)) << traced;
  EXPECT_NE(std::string::npos, traced.find("CMDSET HALVEX")) << traced;
  // The record: cancelled, the pass cut, the instrument as it came back.
  const nlohmann::json record = Record();
  EXPECT_EQ(record["reason"], "cancelled");
  EXPECT_EQ(record["images"][0]["result"], "cut");
  EXPECT_EQ(record["instrument_after"]["versions"]["MAIN"], ToUtf8(versions[0]));
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
  cMainWindow window(LANGUAGE_BASE_FRENCH);
  ASSERT_TRUE(StartLongTransfer(window, "shrinks_010500.bin", 13));
  // The image shrinks while it is being sent.
  std::error_code error;
  std::filesystem::resize_file("files/shrinks_010500.bin", 1000, error);
  ASSERT_FALSE(error) << error.message();
  // No end-of-file marker went out: the installer holds a file it never finished and does
  // not restart. One Cancel ends the wait.
  ASSERT_TRUE(window.RunUntil([] { return ShownStage() == IDD_WAIT_POWER_CYCLE; }, kSlowMs));
  EXPECT_EQ(Expected(LANGUAGE_BASE_FRENCH, IDS_STATUS_POWER_CYCLE), window.Status());
  EXPECT_TRUE(notices.Notices().empty());
  EXPECT_TRUE(InteractiveRunFailed());
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
