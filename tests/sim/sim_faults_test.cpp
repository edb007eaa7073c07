// The fault options: a file still arrives intact through each one the program can recover
// from; the others leave the line silent for good. Also the line-rate pacing.
#include <gtest/gtest.h>

#include "sim/sim_engine.h"
#include "support/fault_settings.h"
#include "support/packets.h"
#include "support/simulator.h"
#include "support/temp_folder.h"
#include "support/wait.h"

namespace {

using SimFaults = cSimulatorTest;
using SimPacing = cSimulatorTest;

class SimTransferThroughFault : public cSimulatorTest,
                                public ::testing::WithParamInterface<sFaultSetting> {};

TEST_P(SimTransferThroughFault, StoresEveryFileByteForByte) {
  sim::sSimOptions options;
  options.installerStartMs = 0;
  options.faults = GetParam().faults;
  client.ackTimeoutMs = 500;  // shorter than the program's 2 s, to keep the test quick
  ASSERT_TRUE(StartInstaller(options));
  EXPECT_TRUE(AskVersions(client, "installer"));

  const size_t kSizes[] = {0, 16384, 16385, 100000};
  for (size_t size : kSizes) {
    const std::string szName = "image_" + std::to_string(size) + ".bin";
    const std::string data = RandomBytes(size, static_cast<uint32_t>(size) + 1);
    ASSERT_TRUE(SendFile(client, szName, data)) << szName;
    ASSERT_TRUE(AskVersions(client, "installer")) << "after " << szName;
    EXPECT_EQ(ReadWholeFile(sim.StoreDir() + "/" + szName), data) << szName;
  }
  const std::vector<sim::sSimReceivedFile> files = sim.Records().GetFiles();
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[3].size, 100000u);
  EXPECT_EQ(sim.Violations(), "");
  const sim::sSimCounts counts = sim.Records().GetCounts();
  if (GetParam().shows) {
    EXPECT_GT(counts.*(GetParam().shows), 0);
    EXPECT_GT(client.resends + counts.faultGarbageSent + counts.faultAcksDelayed, 0);
  } else {
    EXPECT_EQ(client.resends, 0);
  }
  if (options.faults.nakEvery) {
    EXPECT_EQ(counts.faultNaks, counts.packetsReceived / options.faults.nakEvery);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, SimTransferThroughFault, ::testing::ValuesIn(RecoverableFaults()),
                         FaultName);

// A data packet stored whose "A" is lost: the program's resend is its repeat, which the
// installer recognises, or (--store-repeats) stores again as a naive installer would.
TEST_F(SimFaults, LostAckAfterStoreAndTheRepeat) {
  struct sCase {
    const char* szName;
    int loseAt;
    bool bEvery;
    bool bStoreRepeats;
    int lost;  // "A"s lost in the two transfers
  };
  const sCase kCases[] = {{"recognised", 2, false, false, 1},
                          {"stored again", 3, false, true, 1},
                          {"every transfer", 1, true, false, 2}};
  const std::string data = RandomBytes(40000, 5);  // three data packets
  for (const sCase& test : kCases) {
    SCOPED_TRACE(test.szName);
    sim::sSimOptions options;
    options.installerStartMs = 0;
    options.faults.loseAckAfterStore = test.loseAt;
    options.faults.bLoseAckEveryTransfer = test.bEvery;
    options.faults.bStoreRepeats = test.bStoreRepeats;
    client.ackTimeoutMs = 300;
    client.resends = 0;
    ASSERT_TRUE(StartInstaller(options));
    ASSERT_TRUE(SendFile(client, "first.bin", data));
    ASSERT_TRUE(SendFile(client, "second.bin", data));
    ASSERT_TRUE(AskVersions(client, "installer"));

    const size_t lostChunk = static_cast<size_t>(test.loseAt - 1) * 16384;
    const std::string repeated = data.substr(0, lostChunk + 16384) + data.substr(lostChunk);
    EXPECT_EQ(ReadWholeFile(sim.StoreDir() + "/first.bin"), test.bStoreRepeats ? repeated : data);
    EXPECT_EQ(ReadWholeFile(sim.StoreDir() + "/second.bin"), data);
    const sim::sSimCounts counts = sim.Records().GetCounts();
    EXPECT_EQ(counts.faultAcksLostAfterStore, test.lost);
    EXPECT_EQ(client.resends, test.lost);
    EXPECT_EQ(counts.repeatsRecognised, test.bStoreRepeats ? 0 : test.lost);
    EXPECT_EQ(counts.faultRepeatsStored, test.bStoreRepeats ? 1 : 0);
    EXPECT_EQ(counts.bytesStoredTwice, test.bStoreRepeats ? 7232 : 0);  // the short last chunk
    EXPECT_EQ(sim.Records().GetFiles()[0].size, (test.bStoreRepeats ? repeated : data).size());
    EXPECT_EQ(sim.Violations(), "");
  }
}

TEST_F(SimFaults, UnplugBeforeAckThenTheRepeatAfterTheReplug) {
  sim::sSimOptions options;
  options.installerStartMs = 0;
  options.faults.unplugBeforeAck = 1;
  options.faults.replugAfterMs = 300;
  // At a link, which the replug makes again.
  ASSERT_TRUE(sim.StartAt(sim.GetFolder() + "/tty", options));
  ASSERT_TRUE(sim.EnterInstaller(client));
  const std::string data = RandomBytes(20000, 6);
  ASSERT_TRUE(client.SendPacket(Field(2)));
  ASSERT_TRUE(client.SendPacket("main_010203.bin"));
  ASSERT_TRUE(client.SendPacket(Field(static_cast<uint32_t>(data.size()))));
  client.Write(Packet(data.substr(0, 16384)));
  EXPECT_FALSE(client.AwaitAck(200));
  ASSERT_TRUE(WaitFor([&] { return sim.Records().GetCounts().faultReplugs == 1; }, 3000));

  cPtyPeer again;
  ASSERT_TRUE(again.OpenTty(sim.GetPath(), 115200));
  ASSERT_TRUE(again.SendPacket(data.substr(0, 16384)));
  ASSERT_TRUE(again.SendPacket(data.substr(16384)));
  again.Write(Field(0));
  EXPECT_EQ(sim.Stored("main_010203.bin", data.size()), data);
  const sim::sSimCounts counts = sim.Records().GetCounts();
  EXPECT_EQ(counts.faultUnplugsBeforeAck, 1);
  EXPECT_EQ(counts.faultAcksLostAfterStore, 1);
  EXPECT_EQ(counts.repeatsRecognised, 1);
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(SimFaults, InstallerThatNeverStartsStaysSilent) {
  sim::sSimOptions options;
  options.installerStartMs = 100;
  options.faults.bNeverStartInstaller = true;
  ASSERT_TRUE(Start(options));
  client.WriteLine("INSTALL");
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_SILENT, 1000));
  client.SetLine(115200);
  client.Write(Packet(Field(4)));
  EXPECT_FALSE(client.AwaitAck(600));
  client.SetLine(57600);
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(400), "");
  EXPECT_EQ(sim.Records().GetCounts().faultInstallerNeverStarted, 1);
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(SimFaults, InstrumentThatNeverRebootsStaysSilent) {
  sim::sSimOptions options;
  options.installerStartMs = 0;
  options.bootMs = 100;
  options.faults.bNeverReboot = true;
  ASSERT_TRUE(StartInstaller(options));
  ASSERT_TRUE(client.SendPacket(Field(0)));
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_SILENT, 500));
  client.SetLine(57600);
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(600), "");
  EXPECT_EQ(sim.Records().GetCounts().faultRebootsWithheld, 1);
  EXPECT_EQ(sim.Records().GetCounts().reboots, 0);
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(SimFaults, HangUpAnswersNothingButKeepsReading) {
  sim::sSimOptions options;
  options.faults.hangupAfterBytes = 20;
  ASSERT_TRUE(Start(options));
  client.WriteLine("ID?");  // 5 bytes
  EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR450,123456,1.0.0");
  client.WriteLine("CMDSET HALVEX");  // 15 more: the line is dead from here
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(500), "");
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_SILENT, 500));

  // The program's writes never block on the dead line.
  const std::string flood = RandomBytes(300000, 3);
  const int64_t start = platform::GetMonotonicMs();
  EXPECT_TRUE(client.Write(flood));
  EXPECT_LT(SecondsSince(start), 3.0);
  EXPECT_TRUE(client.Receive(300).empty());
  const sim::sSimCounts counts = sim.Records().GetCounts();
  EXPECT_EQ(counts.bytesReceived, 20);
  EXPECT_EQ(counts.faultHangups, 1);
  EXPECT_GE(counts.bytesDiscardedAfterHangup, 300000 - 8192);
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(SimPacing, ReceivesAndSendsAtTheLineRate) {
  {
    sim::sSimOptions options;
    options.installerStartMs = 0;
    options.lineRate = 19200;
    ASSERT_TRUE(StartInstaller(options));
    ASSERT_TRUE(client.SendPacket(Field(4)));  // 12 bytes, a few ms
    // 2008 bytes at 19200 bit/s take 1.05 s on the line.
    const int64_t start = platform::GetMonotonicMs();
    client.Write(Packet(std::string(2000, 'x')));
    EXPECT_TRUE(client.AwaitAck(5000));
    const double fSeconds = SecondsSince(start);
    EXPECT_GE(fSeconds, 0.9);
    EXPECT_LE(fSeconds, 3.0);
  }
  sim::sSimOptions options;
  options.lineRate = 2400;
  options.szId = "HALVEX," + std::string(233, 'x');  // 242 bytes out with CR LF
  ASSERT_TRUE(Start(options));
  const int64_t start = platform::GetMonotonicMs();
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(5000), options.szId);
  const double fSeconds = SecondsSince(start);  // 247 bytes at 2400 bit/s: 1.03 s
  EXPECT_GE(fSeconds, 0.9);
  EXPECT_LE(fSeconds, 3.0);
  EXPECT_EQ(sim.Violations(), "");
}

}  // namespace
