// The engine against the instrument simulator served in-process on a pty, through each of the
// simulator's fault options. The instrument connection starts the resident installer as the
// sequencers do; the engine then drives the conversation and counts its resends.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "instrument/halvex_installer.h"
#include "instrument/halvex_instrument.h"
#include "sim/sim_engine.h"
#include "tests/installer/packet_peer.h"
#include "tests/installer/test_support.h"

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
    options.szStoreDir = scratch.File("store");
    options.installerStartMs = 200;
    options.bootMs = 200;
    engine = std::make_unique<sim::cSimEngine>(options);
    if (!engine->Start()) return false;
    const std::string variable = "HALVEX_COM" + std::to_string(SIM_PORT);
    return setenv(variable.c_str(), engine->GetSlavePath().c_str(), 1) == 0;
  }
  void TearDown() override {
    installer.Disconnect();
    if (engine) engine->Stop();
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (engine->GetRecords().GetFace() != sim::FACE_INSTALLER &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
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
    const std::string path = scratch.Write("local.bin", content);
    ASSERT_TRUE(installer.InitializeTransfer(path.c_str(), szRemote));
    const auto start = std::chrono::steady_clock::now();
    int failures = 0;
    while (!installer.TransferComplete() && !installer.TransferFailed() && failures < maxFailures) {
      if (!installer.Update()) ++failures;
    }
    run.transferSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

  // The stored file once it has its expected size: nothing answers the end-of-file marker, so
  // the simulator may still be taking it when the transfer has ended here.
  std::string Stored(const std::string& name, size_t size) {
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(support::ReadWholeFile(scratch.File("store") + "/" + name, bytes) &&
             bytes.size() == size) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return bytes;
  }

  std::string Violations() {
    std::string all;
    for (const std::string& text : engine->GetRecords().GetViolations()) all += text + "\n";
    return all;
  }

  void ReportResends(const char* szFault, const sRun& run) {
    std::printf("fault %s: %d resends, transfer %.2f s\n", szFault, run.resends,
                run.transferSeconds);
    RecordProperty("resends", run.resends);
  }

  support::cScratchFolder scratch;
  support::cNoticeRecorder notices;
  std::unique_ptr<sim::cSimEngine> engine;
  cHalvexInstaller installer;
};

struct sFaultCase {
  const char* szName;
  sim::sSimFaults faults;
  bool bExpectResends;
};

void PrintTo(const sFaultCase& test, std::ostream* os) {
  *os << test.szName;
}

sim::sSimFaults Faults(int nakEvery, int dropAckEvery, bool bGarbage, int delayMs) {
  sim::sSimFaults faults;
  faults.nakEvery = nakEvery;
  faults.dropAckEvery = dropAckEvery;
  faults.bGarbageBeforeAck = bGarbage;
  faults.ackDelayMs = delayMs;
  return faults;
}

class InstallerThroughFault : public InstallerAgainstSim,
                              public ::testing::WithParamInterface<sFaultCase> {};

}  // namespace

TEST_P(InstallerThroughFault, StoresTheFileIdentical) {
  sim::sSimOptions options;
  options.faults = GetParam().faults;
  ASSERT_TRUE(StartSim(options));
  sRun run;
  ASSERT_TRUE(EnterInstaller(run, 10));
  const std::string content = peer::RandomBytes(100000, 11);
  Transfer(content, "MAIN_010203.bin", run);
  EXPECT_TRUE(run.bComplete);
  EXPECT_FALSE(run.bFailed);
  EXPECT_TRUE(ExitInstaller(run));
  EXPECT_TRUE(Stored("MAIN_010203.bin", content.size()) == content);
  EXPECT_EQ(Violations(), "");
  EXPECT_TRUE(notices.Texts().empty());
  if (GetParam().bExpectResends) {
    EXPECT_GT(run.resends, 0);
  } else {
    EXPECT_EQ(run.resends, 0);
  }
  ReportResends(GetParam().szName, run);
}

INSTANTIATE_TEST_SUITE_P(Faults, InstallerThroughFault,
                         ::testing::Values(sFaultCase{"none", Faults(0, 0, false, 0), false},
                                           sFaultCase{"nak", Faults(3, 0, false, 0), true},
                                           sFaultCase{"drop", Faults(0, 5, false, 0), true},
                                           sFaultCase{"garbage", Faults(0, 0, true, 0), false},
                                           sFaultCase{"delay", Faults(0, 0, false, 400), false},
                                           sFaultCase{"combined", Faults(4, 7, true, 30), true}),
                         [](const ::testing::TestParamInfo<sFaultCase>& info) {
                           return info.param.szName;
                         });

TEST_F(InstallerAgainstSim, RepliesWithEitherKindOfChecksumAreAccepted) {
  for (bool bSigned : {false, true}) {
    sim::sSimOptions options;
    options.bSignedChecksums = bSigned;
    ASSERT_TRUE(StartSim(options));
    sRun run;
    ASSERT_TRUE(EnterInstaller(run, 3));
    EXPECT_EQ(run.resends, 0);
    const sim::sSimCounts counts = engine->GetRecords().GetCounts();
    EXPECT_EQ(counts.replyPacketsSent, 5) << bSigned;
    EXPECT_EQ(counts.replyNaksReceived, 0) << bSigned;
    installer.Disconnect();
    engine->Stop();
  }
  EXPECT_TRUE(notices.Texts().empty());
}

TEST_F(InstallerAgainstSim, ALineAtTheRealRateCarriesTheFile) {
  sim::sSimOptions options;
  options.lineRate = 115200;
  ASSERT_TRUE(StartSim(options));
  sRun run;
  ASSERT_TRUE(EnterInstaller(run, 3));
  const std::string content = peer::RandomBytes(2 * MAX_PACKET_LEN, 12);
  Transfer(content, "paced.bin", run);
  EXPECT_TRUE(run.bComplete);
  EXPECT_EQ(run.resends, 0);
  EXPECT_TRUE(Stored("paced.bin", content.size()) == content);
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
  engine->Stop();

  // Answers stop after the remote name: the steps fail and are repeated, the transfer neither
  // completes nor counts as failed (the file itself is fine), and nothing is stored. The
  // bytes up to the installer's answer are counted on an unfaulted run first.
  ASSERT_TRUE(StartSim(sim::sSimOptions()));
  sRun measure;
  ASSERT_TRUE(EnterInstaller(measure, 3));
  const int64_t entered = engine->GetRecords().GetCounts().bytesReceived;
  installer.Disconnect();
  engine->Stop();
  options = sim::sSimOptions();
  options.faults.hangupAfterBytes = entered + 12 + 8 + 8;  // word 2, then the name "hung.bin"
  ASSERT_TRUE(StartSim(options));
  sRun hung;
  ASSERT_TRUE(EnterInstaller(hung, 3));
  Transfer(std::string(1000, 'h'), "hung.bin", hung, 2);
  EXPECT_FALSE(hung.bComplete);
  EXPECT_FALSE(hung.bFailed);
  EXPECT_EQ(hung.resends, 2);
  EXPECT_TRUE(engine->GetRecords().GetFiles().empty());
}

TEST_F(InstallerAgainstSim, AnInstrumentThatNeverRebootsStillAcknowledgesTheExit) {
  sim::sSimOptions options;
  options.faults.bNeverReboot = true;
  ASSERT_TRUE(StartSim(options));
  sRun run;
  ASSERT_TRUE(EnterInstaller(run, 3));
  EXPECT_TRUE(installer.Exit());
  EXPECT_TRUE(installer.Disconnect());
  EXPECT_EQ(Violations(), "");
}

#endif
