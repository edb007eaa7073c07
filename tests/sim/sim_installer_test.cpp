// The resident installer face: storing files, refusing names, the rules of a transfer, the
// framing checks and the restart into the command interpreter.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim/sim_engine.h"
#include "sim/sim_packet.h"
#include "tests/sim/sim_test_client.h"

namespace simtest {
namespace {

sim::sSimOptions FastOptions() {
  sim::sSimOptions options;
  options.installerStartMs = 0;
  options.bootMs = 600;
  return options;
}

bool Exists(const std::string& szPath) {
  struct stat info;
  return lstat(szPath.c_str(), &info) == 0;
}

TEST(SimInstaller, RefusesNamesThatLeaveTheStoreAndTakesTheNextName) {
  cTestSim sim(FastOptions());
  cTestClient client;
  ASSERT_TRUE(sim.EnterInstaller(client));
  const std::string szOutside = sim.TempDir() + "/outside";
  ASSERT_EQ(mkdir(szOutside.c_str(), 0755), 0);
  ASSERT_EQ(symlink(szOutside.c_str(), (sim.StoreDir() + "/link").c_str()), 0);

  ASSERT_TRUE(client.SendWord(2));
  const std::vector<std::string> bad = {
      szOutside + "/abs.bin", "../escape.bin",  "a/../../escape.bin", "sub\\..\\..\\escape.bin",
      "link/through.bin",     "C:\\escape.bin", "./dot.bin"};
  for (const std::string& szName : bad) {
    client.WritePacket(cTestClient::Text(szName));
    EXPECT_FALSE(client.AwaitAck(500)) << szName;
  }
  EXPECT_EQ(sim.Records().GetViolations().size(), bad.size()) << sim.Violations();
  EXPECT_EQ(sim.Records().GetCounts().naksSent, static_cast<int>(bad.size()));

  // The program sends the name again after a refusal; a good one goes on with the transfer.
  const std::vector<uint8_t> data = RandomBytes(1000, 7);
  ASSERT_TRUE(client.SendText("sub/dir/main_010203.bin"));
  ASSERT_TRUE(client.SendWord(static_cast<uint32_t>(data.size())));
  ASSERT_TRUE(client.SendReliably(data));
  client.Write("\0\0\0\0", 4);
  EXPECT_EQ(client.ReadByte(300), -1) << "the end-of-file marker is not answered";
  EXPECT_EQ(ReadFileBytes(sim.StoreDir() + "/sub/dir/main_010203.bin"), data);
  EXPECT_FALSE(Exists(sim.TempDir() + "/escape.bin"));
  EXPECT_FALSE(Exists(szOutside + "/abs.bin"));
  EXPECT_FALSE(Exists(szOutside + "/through.bin"));
  EXPECT_EQ(sim.Records().GetViolations().size(), bad.size());
}

TEST(SimInstaller, DropsFilesWhoseDataDoesNotMatchTheAnnouncedSize) {
  cTestSim sim(FastOptions());
  cTestClient client;
  ASSERT_TRUE(sim.EnterInstaller(client));
  const uint8_t kEnd[4] = {0, 0, 0, 0};

  // More data than announced.
  ASSERT_TRUE(client.SendWord(2));
  ASSERT_TRUE(client.SendText("long.bin"));
  ASSERT_TRUE(client.SendWord(10));
  ASSERT_TRUE(client.SendReliably(RandomBytes(8, 1)));
  ASSERT_TRUE(client.SendReliably(RandomBytes(8, 2)));
  client.Write(kEnd, 4);
  // Fewer.
  ASSERT_TRUE(client.SendWord(2));
  ASSERT_TRUE(client.SendText("short.bin"));
  ASSERT_TRUE(client.SendWord(100));
  ASSERT_TRUE(client.SendReliably(RandomBytes(50, 3)));
  client.Write(kEnd, 4);
  // An end-of-file marker with no transfer going on.
  client.Write(kEnd, 4);
  EXPECT_TRUE(client.ReadUntilQuiet(300).empty());

  const std::vector<std::string> violations = sim.Records().GetViolations();
  ASSERT_EQ(violations.size(), 3u) << sim.Violations();
  EXPECT_NE(violations[0].find("beyond the announced size"), std::string::npos);
  EXPECT_NE(violations[1].find("after 50 of 100 bytes"), std::string::npos);
  EXPECT_NE(violations[2].find("outside a file transfer"), std::string::npos);
  EXPECT_TRUE(sim.Records().GetFiles().empty());
  EXPECT_FALSE(Exists(sim.StoreDir() + "/long.bin"));
  EXPECT_FALSE(Exists(sim.StoreDir() + "/short.bin"));
  // No temporary file is left behind.
  EXPECT_EQ(rmdir(sim.StoreDir().c_str()), 0);
}

TEST(SimInstaller, ChecksFramingAndResynchronises) {
  cTestSim sim(FastOptions());
  cTestClient client;
  ASSERT_TRUE(sim.EnterInstaller(client));

  // A checksum of the bytes taken as signed is refused (the data has bytes of 0x80 and up).
  const std::vector<uint8_t> high = {0xA0, 0x86, 0x01, 0x00};
  client.WritePacket(high, true);
  EXPECT_FALSE(client.AwaitAck(500));
  std::vector<std::string> violations = sim.Records().GetViolations();
  ASSERT_EQ(violations.size(), 1u);
  EXPECT_NE(violations[0].find("signed"), std::string::npos) << violations[0];
  // For bytes below 0x80 both sums agree.
  ASSERT_TRUE(client.SendWord(4));
  client.WritePacket(cTestClient::Text("installer"), true);
  EXPECT_TRUE(client.AwaitAck(1000));
  std::vector<uint8_t> reply;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(client.ReadPacket(reply, 2000));

  // Lengths out of range are refused after the line went quiet.
  for (int32_t length : {-1, 16385}) {
    std::vector<uint8_t> header;
    sim::AppendLe32(header, static_cast<uint32_t>(length));
    sim::AppendLe32(header, 0);
    client.Write(header.data(), header.size());
    const std::vector<uint8_t> answer = client.ReadUntilQuiet(400);
    EXPECT_EQ(answer, std::vector<uint8_t>{'N'}) << length;
  }
  // A packet that stops halfway is dropped after a second; the next one is taken.
  const std::vector<uint8_t> partial = sim::BuildPacket(std::string("installer"), false);
  client.Write(partial.data(), 10);
  EXPECT_TRUE(client.ReadUntilQuiet(1400).empty());
  ASSERT_TRUE(client.SendWord(4));
  ASSERT_TRUE(client.SendText("installer"));
  violations = sim.Records().GetViolations();
  ASSERT_GE(violations.size(), 4u) << sim.Violations();
  EXPECT_NE(violations[1].find("length -1"), std::string::npos);
  EXPECT_NE(violations[2].find("length 16385"), std::string::npos);
  EXPECT_NE(violations[3].find("stalled for 1 s after 10 bytes of 17"), std::string::npos)
      << violations[3];
  EXPECT_EQ(violations.size(), 4u) << sim.Violations();
}

TEST(SimInstaller, PacketsAtTheWrongRateAndUnknownWordsAreViolations) {
  cTestSim sim(FastOptions());
  cTestClient client;
  ASSERT_TRUE(sim.EnterInstaller(client));
  client.SetLine(57600);
  client.WritePacket(cTestClient::Word(4));
  EXPECT_FALSE(client.AwaitAck(400));
  client.SetLine(115200);
  client.WritePacket(cTestClient::Word(7));
  EXPECT_FALSE(client.AwaitAck(400));
  client.WritePacket(cTestClient::Text("hello"));
  EXPECT_FALSE(client.AwaitAck(400));
  const std::vector<std::string> violations = sim.Records().GetViolations();
  ASSERT_EQ(violations.size(), 3u) << sim.Violations();
  EXPECT_NE(violations[0].find("57600 8N1"), std::string::npos);
  EXPECT_NE(violations[1].find("unknown command word 7"), std::string::npos);
  EXPECT_NE(violations[2].find("command word was expected"), std::string::npos);
}

TEST(SimInstaller, AWordWhereANameIsExpectedStartsOver) {
  // The program asks again from the word when the name went unanswered.
  cTestSim sim(FastOptions());
  cTestClient client;
  ASSERT_TRUE(sim.EnterInstaller(client));
  ASSERT_TRUE(client.SendWord(4));
  EXPECT_TRUE(client.AskVersions("installer"));
  ASSERT_TRUE(client.SendWord(5));
  ASSERT_TRUE(client.SendText("ainst.gpib"));
  EXPECT_EQ(sim.Records().GetScripts(), std::vector<std::string>{"ainst.gpib"});
  EXPECT_EQ(sim.Violations(), "");
}

TEST(SimInstaller, ExitRestartsWithTheVersionOfTheLastImage) {
  cTestSim sim(FastOptions());
  cTestClient client;
  ASSERT_TRUE(sim.EnterInstaller(client));
  ASSERT_TRUE(client.SendFile("main_020304.bin", RandomBytes(3000, 9)));
  ASSERT_TRUE(client.SendFile("notes.txt", RandomBytes(10, 10)));  // carries no version
  const int64_t start = sim::SimNowNs();
  ASSERT_TRUE(client.SendWord(0));
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_BOOTING, 500));

  // Silent while it boots; what comes meanwhile is dropped.
  client.SetLine(57600);
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(300), "");
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_INTERPRETER, 3000));
  EXPECT_GE(SecondsSince(start), 0.55);
  client.WriteLine("VERSIONS?");
  EXPECT_EQ(client.ReadLine(2000), "MAIN:2.3.4,GPIB:1.0.0,FPGA:1.0.0");
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR450,123456,2.3.4");
  EXPECT_EQ(sim.Records().GetMainVersion(), "2.3.4");
  EXPECT_EQ(sim.Records().GetCounts().reboots, 1);
  EXPECT_EQ(sim.Records().GetFiles().size(), 2u);
  EXPECT_EQ(sim.Violations(), "");
}

TEST(SimInstaller, RestartNeverBeginsInTheMiddleOfALine) {
  // The program repeats its handshake while the instrument boots; bytes that straddle the end
  // of the boot must not reach the interpreter as the tail of a line.
  sim::sSimOptions options = FastOptions();
  options.bootMs = 300;
  cTestSim sim(options);
  cTestClient client;
  ASSERT_TRUE(sim.EnterInstaller(client));
  ASSERT_TRUE(client.SendWord(0));
  client.SetLine(57600);
  const std::string szHandshake = "CMDSET HALVEX\r\nCERR\r\n";
  for (int round = 0; round < 3; ++round) {
    for (char c : szHandshake) {
      client.Write(&c, 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_INTERPRETER, 2000));
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR450,123456,1.0.0");
  EXPECT_EQ(sim.Violations(), "");
}

}  // namespace
}  // namespace simtest
