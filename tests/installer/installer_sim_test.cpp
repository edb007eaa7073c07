// The Windows build against the instrument simulator: HALVEX_TEST_SIM_COM names the COM port
// number linked to the simulator, HALVEX_TEST_SIM_STORE the folder where it stores files.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "instrument/halvex_installer.h"
#include "instrument/halvex_instrument.h"
#include "platform/clock.h"
#include "support/packets.h"
#include "support/simulator.h"
#include "support/temp_folder.h"
#include "support/wait.h"

namespace {

class SimInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sim.szSkipReason.empty()) GTEST_SKIP() << sim.szSkipReason;
    port = static_cast<ePort>(sim.port);
    ASSERT_TRUE(IsValidPort(port));
  }

  // The instrument connection tells the instrument to start its resident installer and lets
  // go of the port. The simulator judges each line by the settings in force when it reads it,
  // which a pty cannot tell from the moment it was sent: the port stays at the interpreter's
  // rate a moment longer before the engine sets it to 115200 (a real line has the bytes out
  // once Flush returns).
  void StartInstaller() {
    // An instrument that an earlier case told to exit answers again once it has restarted.
    cHalvexInstrument instrument;
    const int64_t deadline = platform::GetMonotonicMs() + 30000;
    while (!instrument.Connect(port, BAUD_57600, false) && platform::GetMonotonicMs() < deadline) {
    }
    ASSERT_TRUE(instrument.IsConnected());
    ASSERT_TRUE(instrument.StartInstaller());
    platform::SleepMs(300);
    instrument.Disconnect();
  }

  // Polls IsRunning as the sequencers do, within a deadline.
  bool WaitUntilRunning(int seconds) {
    return WaitFor([&] { return installer.IsRunning(); }, seconds * 1000);
  }

  bool Transfer(const std::string& path, const char* szRemote) {
    if (!installer.InitializeTransfer(path.c_str(), szRemote)) return false;
    for (int steps = 0; steps < 10000 && !installer.TransferComplete(); ++steps) {
      installer.Update();
      if (installer.TransferFailed()) return false;
    }
    return installer.TransferComplete();
  }

  const sRunSimulator sim = FindRunSimulator();
  ePort port = PORT_NONE;
  cHalvexInstaller installer;
  cTempFolder scratch;
};

}  // namespace

TEST_F(SimInstallerTest, FilesTransferredToTheSimulatorAreStoredIdentical) {
  StartInstaller();
  ASSERT_TRUE(installer.Connect(port, BAUD_115200));
  ASSERT_TRUE(WaitUntilRunning(30));

  const std::string image = RandomBytes(1 << 20, 7);
  const int64_t ctStart = platform::GetMonotonicMs();
  ASSERT_TRUE(Transfer(scratch.WriteFile("image.bin", image), "win_image.bin"));
  const double seconds = SecondsSince(ctStart);
  std::printf("1 MiB to the simulator: %.3f s, %.1f MiB/s\n", seconds, 1.0 / seconds);
  EXPECT_TRUE(sim.Stored("win_image.bin", image.size()) == image);

  // A second file in the same session, after asking again whether the installer runs.
  ASSERT_TRUE(WaitUntilRunning(30));
  const std::string twoChunks = RandomBytes(2 * MAX_PACKET_LEN, 8);
  ASSERT_TRUE(Transfer(scratch.WriteFile("two.bin", twoChunks), "win_two.bin"));
  EXPECT_TRUE(sim.Stored("win_two.bin", twoChunks.size()) == twoChunks);

  EXPECT_TRUE(installer.Exit());
  EXPECT_TRUE(installer.Disconnect());
}

TEST_F(SimInstallerTest, AnEmptyFileIsStoredEmpty) {
  StartInstaller();
  ASSERT_TRUE(installer.Connect(port, BAUD_115200));
  ASSERT_TRUE(WaitUntilRunning(30));
  ASSERT_TRUE(Transfer(scratch.WriteFile("empty.bin", ""), "win_empty.bin"));
  std::string bytes = "unread";
  EXPECT_TRUE(WaitFor([&] { return ReadWholeFile(sim.store + "\\win_empty.bin", bytes); }, 10000));
  EXPECT_EQ(bytes, "");
  EXPECT_TRUE(installer.Exit());
  EXPECT_TRUE(installer.Disconnect());
}

#endif
