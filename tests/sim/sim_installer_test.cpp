// The resident installer face: storing files, refusing names, the rules of a transfer, the
// framing checks and the restart into the command interpreter.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "sim/sim_engine.h"
#include "support/packets.h"
#include "support/simulator.h"
#include "support/temp_folder.h"
#include "support/wait.h"

namespace {

using SimInstaller = cSimulatorTest;

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

TEST_F(SimInstaller, RefusesNamesThatLeaveTheStoreAndTakesTheNextName) {
  ASSERT_TRUE(StartInstaller(FastOptions()));
  const std::string szOutside = sim.GetFolder() + "/outside";
  ASSERT_EQ(mkdir(szOutside.c_str(), 0755), 0);
  ASSERT_EQ(symlink(szOutside.c_str(), (sim.StoreDir() + "/link").c_str()), 0);

  ASSERT_TRUE(client.SendPacket(Field(2)));
  const std::vector<std::string> bad = {
      szOutside + "/abs.bin", "../escape.bin",  "a/../../escape.bin", "sub\\..\\..\\escape.bin",
      "link/through.bin",     "C:\\escape.bin", "./dot.bin"};
  for (const std::string& szName : bad) {
    client.Write(Packet(szName));
    EXPECT_FALSE(client.AwaitAck(500)) << szName;
  }
  EXPECT_EQ(sim.Records().GetViolations().size(), bad.size()) << sim.Violations();
  EXPECT_EQ(sim.Records().GetCounts().naksSent, static_cast<int>(bad.size()));

  // The program sends the name again after a refusal; a good one goes on with the transfer.
  const std::string data = RandomBytes(1000, 7);
  ASSERT_TRUE(client.SendPacket("sub/dir/main_010203.bin"));
  ASSERT_TRUE(client.SendPacket(Field(static_cast<uint32_t>(data.size()))));
  ASSERT_TRUE(client.SendPacket(data));
  client.Write(Field(0));
  EXPECT_EQ(client.ReadByte(300), -1) << "the end-of-file marker is not answered";
  EXPECT_EQ(ReadWholeFile(sim.StoreDir() + "/sub/dir/main_010203.bin"), data);
  EXPECT_FALSE(Exists(sim.GetFolder() + "/escape.bin"));
  EXPECT_FALSE(Exists(szOutside + "/abs.bin"));
  EXPECT_FALSE(Exists(szOutside + "/through.bin"));
  EXPECT_EQ(sim.Records().GetViolations().size(), bad.size());
}

TEST_F(SimInstaller, DropsFilesWhoseDataDoesNotMatchTheAnnouncedSize) {
  ASSERT_TRUE(StartInstaller(FastOptions()));

  // More data than announced.
  ASSERT_TRUE(client.SendPacket(Field(2)));
  ASSERT_TRUE(client.SendPacket("long.bin"));
  ASSERT_TRUE(client.SendPacket(Field(10)));
  ASSERT_TRUE(client.SendPacket(RandomBytes(8, 1)));
  ASSERT_TRUE(client.SendPacket(RandomBytes(8, 2)));
  client.Write(Field(0));
  // Fewer.
  ASSERT_TRUE(client.SendPacket(Field(2)));
  ASSERT_TRUE(client.SendPacket("short.bin"));
  ASSERT_TRUE(client.SendPacket(Field(100)));
  ASSERT_TRUE(client.SendPacket(RandomBytes(50, 3)));
  client.Write(Field(0));
  // An end-of-file marker with no transfer going on.
  client.Write(Field(0));
  EXPECT_TRUE(client.Receive(300).empty());

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

TEST_F(SimInstaller, ChecksFramingAndResynchronises) {
  ASSERT_TRUE(StartInstaller(FastOptions()));

  // A checksum of the bytes taken as signed is refused (the data has bytes of 0x80 and up).
  const std::string high("\xA0\x86\x01\x00", 4);
  client.Write(Packet(high, SignedSum(high)));
  EXPECT_FALSE(client.AwaitAck(500));
  std::vector<std::string> violations = sim.Records().GetViolations();
  ASSERT_EQ(violations.size(), 1u);
  EXPECT_NE(violations[0].find("signed"), std::string::npos) << violations[0];
  // For bytes below 0x80 both sums agree.
  ASSERT_TRUE(client.SendPacket(Field(4)));
  client.Write(Packet("installer", SignedSum("installer")));
  EXPECT_TRUE(client.AwaitAck(1000));
  std::string reply;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(client.ReadPacket(reply, 2000));

  // Lengths out of range are refused after the line went quiet.
  for (int32_t length : {-1, 16385}) {
    client.Write(Field(static_cast<uint32_t>(length)) + Field(0));
    EXPECT_EQ(client.Receive(400), "N") << length;
  }
  // A packet that stops halfway is dropped after a second; the next one is taken.
  client.Write(Packet("installer").substr(0, 10));
  EXPECT_TRUE(client.Receive(1400).empty());
  ASSERT_TRUE(client.SendPacket(Field(4)));
  ASSERT_TRUE(client.SendPacket("installer"));
  violations = sim.Records().GetViolations();
  ASSERT_GE(violations.size(), 4u) << sim.Violations();
  EXPECT_NE(violations[1].find("length -1"), std::string::npos);
  EXPECT_NE(violations[2].find("length 16385"), std::string::npos);
  EXPECT_NE(violations[3].find("stalled for 1 s after 10 bytes of 17"), std::string::npos)
      << violations[3];
  EXPECT_EQ(violations.size(), 4u) << sim.Violations();
}

TEST_F(SimInstaller, PacketsAtTheWrongRateAndUnknownWordsAreViolations) {
  ASSERT_TRUE(StartInstaller(FastOptions()));
  client.SetLine(57600);
  client.Write(Packet(Field(4)));
  EXPECT_FALSE(client.AwaitAck(400));
  client.SetLine(115200);
  client.Write(Packet(Field(7)));
  EXPECT_FALSE(client.AwaitAck(400));
  client.Write(Packet("hello"));
  EXPECT_FALSE(client.AwaitAck(400));
  const std::vector<std::string> violations = sim.Records().GetViolations();
  ASSERT_EQ(violations.size(), 3u) << sim.Violations();
  EXPECT_NE(violations[0].find("57600 8N1"), std::string::npos);
  EXPECT_NE(violations[1].find("unknown command word 7"), std::string::npos);
  EXPECT_NE(violations[2].find("command word was expected"), std::string::npos);
}

TEST_F(SimInstaller, AWordWhereANameIsExpectedStartsOver) {
  // The program asks again from the word when the name went unanswered.
  ASSERT_TRUE(StartInstaller(FastOptions()));
  ASSERT_TRUE(client.SendPacket(Field(4)));
  EXPECT_TRUE(AskVersions(client, "installer"));
  ASSERT_TRUE(client.SendPacket(Field(5)));
  ASSERT_TRUE(client.SendPacket("ainst.gpib"));
  EXPECT_EQ(sim.Records().GetScripts(), std::vector<std::string>{"ainst.gpib"});
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(SimInstaller, ExitRestartsWithTheVersionOfTheLastImage) {
  ASSERT_TRUE(StartInstaller(FastOptions()));
  ASSERT_TRUE(SendFile(client, "main_020304.bin", RandomBytes(3000, 9)));
  ASSERT_TRUE(SendFile(client, "notes.txt", RandomBytes(10, 10)));  // carries no version
  const int64_t start = platform::GetMonotonicMs();
  ASSERT_TRUE(client.SendPacket(Field(0)));
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

TEST_F(SimInstaller, AScriptAfterAFileMakesItTheFpgaOrGpibImage) {
  ASSERT_TRUE(StartInstaller(FastOptions()));
  const auto sendWithScript = [&](const std::string& szName, const std::string& szScript) {
    ASSERT_TRUE(SendFile(client, szName, RandomBytes(100, 11)));
    if (szScript.empty()) return;
    ASSERT_TRUE(client.SendPacket(Field(5)));
    ASSERT_TRUE(client.SendPacket(szScript));
  };
  sendWithScript("fpga_030201.bin", "ainst.fpga");
  sendWithScript("gpib_040506.bin", "ainst.gpib");
  sendWithScript("main_020304.bin", "ainst.other");  // any other script: still the MAIN image
  sendWithScript("main_090909.bin", "");
  sendWithScript("gpib_050505.bin", "");  // no script: the MAIN image, the last one
  ASSERT_TRUE(client.SendPacket(Field(0)));
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_INTERPRETER, 3000));
  client.SetLine(57600);
  client.WriteLine("VERSIONS?");
  EXPECT_EQ(client.ReadLine(2000), "MAIN:5.5.5,GPIB:4.5.6,FPGA:3.2.1");
  EXPECT_EQ(sim.Records().GetScripts(),
            (std::vector<std::string>{"ainst.fpga", "ainst.gpib", "ainst.other"}));
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(SimInstaller, RestartNeverBeginsInTheMiddleOfALine) {
  // The program repeats its handshake while the instrument boots; bytes that straddle the end
  // of the boot must not reach the interpreter as the tail of a line.
  sim::sSimOptions options = FastOptions();
  options.bootMs = 300;
  ASSERT_TRUE(StartInstaller(options));
  ASSERT_TRUE(client.SendPacket(Field(0)));
  client.SetLine(57600);
  const std::string szHandshake = "CMDSET HALVEX\r\nCERR\r\n";
  for (int round = 0; round < 3; ++round) {
    for (char c : szHandshake) {
      client.Write(std::string(1, c));
      platform::SleepMs(10);
    }
  }
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_INTERPRETER, 2000));
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR450,123456,1.0.0");
  EXPECT_EQ(sim.Violations(), "");
}

}  // namespace
