// The command interpreter face: replies, silence for setting commands, violations, line
// settings.
#include <gtest/gtest.h>
#include <termios.h>

#include "platform/clock.h"
#include "sim/sim_engine.h"
#include "support/packets.h"
#include "support/simulator.h"
#include "support/wait.h"

namespace {

using SimInterpreter = cSimulatorTest;

TEST_F(SimInterpreter, AnswersQueriesAndTakesSettingCommandsSilently) {
  ASSERT_TRUE(Start());

  // The program's handshake: "\n\n" with its terminator, then two setting commands.
  ASSERT_TRUE(client.Write("\n\n\r\n"));
  ASSERT_TRUE(client.WriteLine("CMDSET HALVEX"));
  ASSERT_TRUE(client.WriteLine("CERR"));
  EXPECT_TRUE(client.Receive(300).empty());

  ASSERT_TRUE(client.WriteLine("ID?"));
  EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR450,123456,1.0.0");
  ASSERT_TRUE(client.Write("VERSIONS?\n"));  // LF alone ends a line too
  EXPECT_EQ(client.ReadLine(2000), "MAIN:1.0.0,GPIB:1.0.0,FPGA:1.0.0");
  ASSERT_TRUE(client.WriteLine("VENT"));
  EXPECT_TRUE(client.Receive(300).empty());

  EXPECT_EQ(sim.Violations(), "");
  const std::vector<sim::sSimCommandRecord> commands = sim.Records().GetCommands();
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_EQ(commands[0].szLine, "CMDSET HALVEX");
  EXPECT_EQ(commands[3].szLine, "VERSIONS?");
  EXPECT_EQ(commands[3].settings.baud, 57600u);
}

TEST_F(SimInterpreter, ReportsWhatTheOptionsSay) {
  sim::sSimOptions options;
  options.szModel = "VSR900";
  options.szSerial = "42";
  options.szMainVersion = "2.10.3";
  options.szGpibVersion = "0.9.1";
  options.szFpgaVersion = "7.0.0";
  {
    ASSERT_TRUE(Start(options));
    client.WriteLine("ID?");
    EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR900,42,2.10.3");
    client.WriteLine("VERSIONS?");
    EXPECT_EQ(client.ReadLine(2000), "MAIN:2.10.3,GPIB:0.9.1,FPGA:7.0.0");
  }
  options.szId = "DREV, OTHER,7,x";
  ASSERT_TRUE(Start(options));
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(2000), "DREV, OTHER,7,x");
}

TEST_F(SimInterpreter, RecordsViolationsAndDoesNotAnswerThem) {
  ASSERT_TRUE(Start());

  client.WriteLine("FOO?");
  client.WriteLine("ID? NOW");
  client.WriteLine("CMDSET OTHER");
  const std::string packet = Packet(Field(4));
  client.Write(packet + "\r\n");
  EXPECT_TRUE(client.Receive(300).empty());
  std::vector<std::string> violations = sim.Records().GetViolations();
  ASSERT_EQ(violations.size(), 4u) << sim.Violations();
  EXPECT_NE(violations[0].find("unknown command \"FOO?\""), std::string::npos);
  EXPECT_NE(violations[1].find("takes no arguments"), std::string::npos);
  EXPECT_NE(violations[2].find("command set"), std::string::npos);
  EXPECT_NE(violations[3].find("binary"), std::string::npos);

  // Binary bytes without a line end, and text that never ends, are dropped after a stall.
  client.Write(packet);
  EXPECT_TRUE(client.Receive(1500).empty());
  client.Write("ID?");
  EXPECT_TRUE(client.Receive(1500).empty());
  violations = sim.Records().GetViolations();
  ASSERT_EQ(violations.size(), 6u) << sim.Violations();
  EXPECT_NE(violations[4].find("binary"), std::string::npos);
  EXPECT_NE(violations[5].find("without its end"), std::string::npos);

  // Still in service afterwards.
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR450,123456,1.0.0");
}

// Longer than the simulator's window in which bytes may belong to the settings before a change.
constexpr unsigned SETTINGS_RACE_MS = 600;

TEST_F(SimInterpreter, AnswersOnlyAtTheExpectedLineSettings) {
  sim::sSimOptions options;
  options.interpreterBaud = 9600;
  ASSERT_TRUE(Start(options));
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR450,123456,1.0.0");
  EXPECT_EQ(sim.Violations(), "");

  // Bytes that come right after a change may have been written before it, so each wrong
  // setting is given time to be the only one that can apply.
  client.SetLine(57600);
  platform::SleepMs(SETTINGS_RACE_MS);
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(500), "");
  // A pty keeps 8 data bits and no parity whatever is asked, so those cannot be seen here.
  client.SetLine(9600, CSTOPB);
  platform::SleepMs(SETTINGS_RACE_MS);
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(500), "");
  client.SetLine(9600, CRTSCTS);
  platform::SleepMs(SETTINGS_RACE_MS);
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(500), "");

  const std::vector<std::string> violations = sim.Records().GetViolations();
  ASSERT_EQ(violations.size(), 3u) << sim.Violations();
  EXPECT_NE(violations[0].find("57600 8N1"), std::string::npos) << violations[0];
  EXPECT_NE(violations[1].find("9600 8N2"), std::string::npos) << violations[1];
  EXPECT_NE(violations[2].find("RTS/CTS"), std::string::npos) << violations[2];

  // Every change of the settings is on record, in order.
  const std::vector<sim::sSimSettingsChange> history = sim.Records().GetSettingsHistory();
  ASSERT_GE(history.size(), 4u);
  EXPECT_EQ(history[history.size() - 3].settings.baud, 57600u);
  EXPECT_EQ(history[history.size() - 2].settings.stopBits, 2);
  EXPECT_TRUE(history.back().settings.bRtsCts);
}

TEST_F(SimInterpreter, ALineWrittenJustBeforeTheRateChangesCountsAtTheOldRate) {
  // The program writes "INSTALL", drains and reopens the port at 115200 faster than the
  // simulator can read: the line still arrived at the interpreter's rate.
  sim::sSimOptions options;
  options.installerStartMs = 100;
  ASSERT_TRUE(Start(options));
  client.WriteLine("INSTALL");
  client.SetLine(115200);
  EXPECT_TRUE(sim.WaitForFace(sim::FACE_INSTALLER, 3000));
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(SimInterpreter, InstallStartsTheInstallerAfterItsDelayAndDropsWhatCameMeanwhile) {
  sim::sSimOptions options;
  options.installerStartMs = 800;
  options.interpreterBaud = 9600;
  ASSERT_TRUE(Start(options));
  const int64_t start = platform::GetMonotonicMs();
  client.WriteLine("CERR");
  client.WriteLine("INSTALL");
  client.WriteLine("VENT");
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_STARTING, 1000));
  // A packet during the start goes unanswered and is forgotten.
  client.SetLine(115200);
  client.Write(Packet(Field(4)));
  EXPECT_FALSE(client.AwaitAck(300));
  ASSERT_TRUE(sim.WaitForFace(sim::FACE_INSTALLER, 3000));
  const double fStarted = SecondsSince(start);
  EXPECT_GE(fStarted, 0.75);
  EXPECT_LE(fStarted, 2.5);

  // The program's check that the installer runs: word 4, the name, five reply packets.
  EXPECT_TRUE(client.SendPacket(Field(4)));
  EXPECT_TRUE(client.SendPacket("installer"));
  std::vector<std::string> replies(5);
  for (std::string& reply : replies) EXPECT_TRUE(client.ReadPacket(reply, 2000));
  EXPECT_EQ(replies[0], std::string("installer"));
  bool bHigh = false;
  for (unsigned char byte : replies[4]) bHigh = bHigh || byte >= 0x80;
  EXPECT_TRUE(bHigh) << "one reply carries bytes of 0x80 and above";
  EXPECT_TRUE(client.Receive(300).empty());

  EXPECT_EQ(sim.Violations(), "");
  EXPECT_EQ(client.resends, 0);
  const sim::sSimCounts counts = sim.Records().GetCounts();
  EXPECT_EQ(counts.replyPacketsSent, 5);
  EXPECT_EQ(counts.replyNaksReceived, 0);
  // The interpreter saw its lines at 9600, the installer its packets at 115200.
  for (const sim::sSimCommandRecord& command : sim.Records().GetCommands()) {
    EXPECT_EQ(command.settings.baud, 9600u) << command.szLine;
  }
  const std::vector<sim::sSimPacketRecord> packets = sim.Records().GetPackets();
  ASSERT_EQ(packets.size(), 2u);
  for (const sim::sSimPacketRecord& packet : packets) EXPECT_EQ(packet.settings.baud, 115200u);
}

TEST_F(SimInterpreter, ReplyPacketsCarryTheSumKindChosenAndAreResentWhenRefused) {
  sim::sSimOptions options;
  options.installerStartMs = 0;
  options.bSignedChecksums = true;
  ASSERT_TRUE(StartInstaller(options));
  EXPECT_TRUE(client.SendPacket(Field(4)));
  EXPECT_TRUE(client.SendPacket("installer"));
  std::string reply;
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(client.ReadPacket(reply, 2000, true));
  // A receiver that checks the unsigned sum refuses the binary record; it comes again.
  EXPECT_FALSE(client.ReadPacket(reply, 2000, false));
  EXPECT_TRUE(client.ReadPacket(reply, 2000, true));
  EXPECT_EQ(reply.size(), 16u);
  EXPECT_EQ(sim.Records().GetCounts().replyNaksReceived, 1);
  EXPECT_EQ(sim.Violations(), "");
}

}  // namespace
