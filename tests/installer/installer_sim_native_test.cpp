// The engine against the instrument simulator served in-process on a pty, through each of the
// simulator's fault options. The instrument connection starts the resident installer as the
// sequencers do; the engine then drives the conversation and counts its resends.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "instrument/halvex_installer.h"
#include "instrument/halvex_instrument.h"
#include "platform/clock.h"
#include "support/fault_settings.h"
#include "support/notices.h"
#include "support/packets.h"
#include "support/simulator.h"
#include "support/temp_folder.h"
#include "support/wait.h"

namespace {

constexpr int SIM_PORT = 8;

// A failed exchange that the engine's caller repeats: each one sends its packet again.
struct sRun {
  int resends = 0;
  bool bRunning = false;
  bool bComplete = false;
  bool bFailed = false;
  double transferSeconds = 0.0;
};

class InstallerAgainstSim : public ::testing::Test {
 protected:
  bool StartSim(sim::sSimOptions options) {
    options.installerStartMs = 200;
    options.bootMs = 200;
    return sim.Start(options);
  }
  void TearDown() override {
    installer.Disconnect();
    sim.Stop();
  }

  // The instrument connection tells the instrument to start its installer and lets go of the
  // port; the engine opens it at 115200 and asks until the installer answers.
  bool EnterInstaller(sRun& run, int maxTries) {
    cHalvexInstrument instrument;
    if (!instrument.Connect(static_cast<ePort>(SIM_PORT), BAUD_57600, true)) return false;
    if (!instrument.StartInstaller()) return false;
    instrument.Disconnect();
    // Packets sent while the installer is still starting go unanswered and are not resends
    // caused by a fault; the sequencers simply keep asking. Start asking once it is up.
    sim.WaitForFace(sim::FACE_INSTALLER, 10000);
    if (!installer.Connect(static_cast<ePort>(SIM_PORT), BAUD_115200)) return false;
    for (int tries = 0; tries < maxTries; ++tries) {
      if (installer.IsRunning()) return run.bRunning = true;
      ++run.resends;
    }
    return false;
  }

  // Steps the transfer as the sequencers do, until it completes, fails or maxFailures steps
  // have failed.
  void Transfer(const std::string& content, const char* szRemote, sRun& run,
                int maxFailures = 100) {
    const std::string path = scratch.WriteFile("local.bin", content);
    ASSERT_TRUE(installer.InitializeTransfer(path.c_str(), szRemote));
    const int64_t ctStart = platform::GetMonotonicMs();
    int failures = 0;
    while (!installer.TransferComplete() && !installer.TransferFailed() && failures < maxFailures) {
      if (!installer.Update()) ++failures;
    }
    run.transferSeconds = SecondsSince(ctStart);
    run.resends += failures;
    run.bComplete = installer.TransferComplete();
    run.bFailed = installer.TransferFailed();
  }

  bool ExitInstaller(sRun& run) {
    for (int tries = 0; tries < 10; ++tries) {
      if (installer.Exit()) return true;
      ++run.resends;
    }
    return false;
  }

  void ReportResends(const char* szFault, const sRun& run) {
    std::printf("fault %s: %d resends, transfer %.2f s\n", szFault, run.resends,
                run.transferSeconds);
    RecordProperty("resends", run.resends);
  }

  cTempFolder scratch;
  cNoticeRecorder notices;
  cTestSimulator sim{SIM_PORT};
  cHalvexInstaller installer;
};

class InstallerThroughFault : public InstallerAgainstSim,
                              public ::testing::WithParamInterface<sFaultSetting> {};

}  // namespace

TEST_P(InstallerThroughFault, StoresTheFileIdentical) {
  sim::sSimOptions options;
  options.faults = GetParam().faults;
  ASSERT_TRUE(StartSim(options));
  sRun run;
  ASSERT_TRUE(EnterInstaller(run, 10));
  const std::string content = RandomBytes(100000, 11);
  Transfer(content, "MAIN_010203.bin", run);
  EXPECT_TRUE(run.bComplete);
  EXPECT_FALSE(run.bFailed);
  EXPECT_TRUE(ExitInstaller(run));
  EXPECT_TRUE(sim.Stored("MAIN_010203.bin", content.size()) == content);
  EXPECT_EQ(sim.Violations(), "");
  EXPECT_TRUE(notices.Texts().empty());
  if (GetParam().bResends) {
    EXPECT_GT(run.resends, 0);
  } else {
    EXPECT_EQ(run.resends, 0);
  }
  ReportResends(GetParam().szName, run);
}

INSTANTIATE_TEST_SUITE_P(Faults, InstallerThroughFault, ::testing::ValuesIn(RecoverableFaults()),
                         FaultName);

TEST_F(InstallerAgainstSim, RepliesWithEitherKindOfChecksumAreAccepted) {
  for (bool bSigned : {false, true}) {
    sim::sSimOptions options;
    options.bSignedChecksums = bSigned;
    ASSERT_TRUE(StartSim(options));
    sRun run;
    ASSERT_TRUE(EnterInstaller(run, 3));
    EXPECT_EQ(run.resends, 0);
    const sim::sSimCounts counts = sim.Records().GetCounts();
    EXPECT_EQ(counts.replyPacketsSent, 5) << bSigned;
    EXPECT_EQ(counts.replyNaksReceived, 0) << bSigned;
    installer.Disconnect();
    sim.Stop();
  }
  EXPECT_TRUE(notices.Texts().empty());
}

TEST_F(InstallerAgainstSim, ALineAtTheRealRateCarriesTheFile) {
  sim::sSimOptions options;
  options.lineRate = 115200;
  ASSERT_TRUE(StartSim(options));
  sRun run;
  ASSERT_TRUE(EnterInstaller(run, 3));
  const std::string content = RandomBytes(2 * MAX_PACKET_LEN, 12);
  Transfer(content, "paced.bin", run);
  EXPECT_TRUE(run.bComplete);
  EXPECT_EQ(run.resends, 0);
  EXPECT_TRUE(sim.Stored("paced.bin", content.size()) == content);
  // 10 bits a byte: 11520 bytes a second at most.
  const double rate = content.size() / run.transferSeconds;
  EXPECT_LT(rate, 11520.0 * 1.05);
  EXPECT_GT(rate, 11520.0 * 0.5);
  std::printf("32 KiB at 115200 bit/s: %.2f s, %.0f bytes/s\n", run.transferSeconds, rate);
}

TEST_F(InstallerAgainstSim, ASilentInstallerIsNeverRunningAndAHungUpOneNeverCompletes) {
  sim::sSimOptions options;
  options.faults.bNeverStartInstaller = true;
  ASSERT_TRUE(StartSim(options));
  sRun silent;
  EXPECT_FALSE(EnterInstaller(silent, 2));
  installer.Disconnect();
  sim.Stop();

  // Answers stop after the remote name: the steps fail and are repeated, the transfer neither
  // completes nor counts as failed (the file itself is fine), and nothing is stored. The
  // bytes up to the installer's answer are counted on an unfaulted run first.
  ASSERT_TRUE(StartSim(sim::sSimOptions()));
  sRun measure;
  ASSERT_TRUE(EnterInstaller(measure, 3));
  const int64_t entered = sim.Records().GetCounts().bytesReceived;
  installer.Disconnect();
  sim.Stop();
  options = sim::sSimOptions();
  options.faults.hangupAfterBytes = entered + 12 + 8 + 8;  // word 2, then the name "hung.bin"
  ASSERT_TRUE(StartSim(options));
  sRun hung;
  ASSERT_TRUE(EnterInstaller(hung, 3));
  Transfer(std::string(1000, 'h'), "hung.bin", hung, 2);
  EXPECT_FALSE(hung.bComplete);
  EXPECT_FALSE(hung.bFailed);
  EXPECT_EQ(hung.resends, 2);
  EXPECT_TRUE(sim.Records().GetFiles().empty());
}

TEST_F(InstallerAgainstSim, AnInstrumentThatNeverRebootsStillAcknowledgesTheExit) {
  sim::sSimOptions options;
  options.faults.bNeverReboot = true;
  ASSERT_TRUE(StartSim(options));
  sRun run;
  ASSERT_TRUE(EnterInstaller(run, 3));
  EXPECT_TRUE(installer.Exit());
  EXPECT_TRUE(installer.Disconnect());
  EXPECT_EQ(sim.Violations(), "");
}

#endif
