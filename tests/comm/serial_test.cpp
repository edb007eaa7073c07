// The serial channel against a real line: a pty natively, a linked pair of ports under Wine.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "comm/serial.h"
#include "platform/clock.h"
#include "support/pty_peer.h"

namespace {

// A port number of its own keeps the test apart from the other suites' ports (native only:
// under Wine the test run's loop ports are used).
const int PEER_PORT = 9;

class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PEER(peer);
    port = static_cast<ePort>(peer.GetPort());
    portName = szComport[port];
    ASSERT_TRUE(serial.Initialize(port, BAUD_115200, '*', PROTOCOL_PLAIN, false));
  }

  // Milliseconds a call takes.
  template <typename F>
  int64_t Timed(F call) {
    const int64_t start = platform::GetMonotonicMs();
    call();
    return platform::GetMonotonicMs() - start;
  }

  cPtyPeer peer{PEER_PORT};
  cSerial serial;
  ePort port = PORT_NONE;
  std::string portName;
};

TEST_F(SerialTest, WritesLinesWithTheirFramingByteForByte) {
  EXPECT_TRUE(serial.Write("ID?"));
  EXPECT_TRUE(serial.Write("\n\n"));
  EXPECT_EQ(peer.ReceiveN(10, 3000), std::string("ID?\r\n\n\n\r\n"));

  ASSERT_TRUE(serial.Initialize(port, BAUD_115200, 'A', PROTOCOL_ADDRESSED, false));
  EXPECT_TRUE(serial.Write("CHAN?"));
  EXPECT_EQ(peer.ReceiveN(10, 3000), "#A CHAN?\r\n");
}

TEST_F(SerialTest, RefusesALineThatDoesNotFitInsteadOfCuttingIt) {
  const std::string longest(253, 'x');  // 253 + CR LF = 255, the most a line may hold
  EXPECT_TRUE(serial.Write(longest.c_str()));
  EXPECT_EQ(peer.ReceiveN(255, 3000), longest + "\r\n");

  const std::string tooLong(254, 'y');
  EXPECT_FALSE(serial.Write(tooLong.c_str()));
  EXPECT_TRUE(serial.ErrorOccurred());
  EXPECT_EQ(std::string(serial.GetErrorString()), "Error: write length error:" + portName);
  EXPECT_EQ(peer.Receive(300), "") << "nothing of a refused line goes on the wire";
}

TEST_F(SerialTest, ReadSkipsEmptyLinesAndKeepsTheTerminator) {
  peer.Write("\r\n\r\nOK\r\nNEXT\n");
  EXPECT_EQ(std::string(serial.Read()), "OK\r\n");
  EXPECT_EQ(std::string(serial.ReadStripTerm()), "NEXT\n") << "a lone LF stays";
  EXPECT_FALSE(serial.ErrorOccurred());

  peer.Write("\n\rA reply\r\n");
  EXPECT_EQ(std::string(serial.ReadStripTerm()), "A reply");
}

TEST_F(SerialTest, OverflowAfter255CharactersIsReportedOnce) {
  peer.Write(std::string(300, 'z'));
  EXPECT_EQ(std::string(serial.Read()), "Error: input buffer overflow:" + portName);
  EXPECT_TRUE(serial.ErrorOccurred());
  EXPECT_FALSE(serial.ErrorOccurred());
}

TEST_F(SerialTest, NulBytesCountTowardsTheLineAndDoNotHideTheRest) {
  // A line of NUL bytes must still run into the overflow limit instead of never filling.
  peer.Write(std::string(300, '\0'));
  EXPECT_EQ(std::string(serial.Read()), "Error: input buffer overflow:" + portName);
  serial.PurgeRx();
  peer.Receive(100);

  peer.Write(std::string("A\0B\r\nC\r\n", 8));
  char* line = serial.Read();
  EXPECT_EQ(std::string(line, 5), std::string("A\0B\r\n", 5));
  EXPECT_EQ(std::string(serial.Read()), "C\r\n");
}

TEST_F(SerialTest, ReadTimesOutAfterTwoSecondsAndALateReplyIsReadNext) {
  const int64_t elapsed =
      Timed([&] { EXPECT_EQ(std::string(serial.Read()), "Error: read timeout:" + portName); });
  EXPECT_GE(elapsed, 1800);
  EXPECT_LE(elapsed, 3500);
  EXPECT_TRUE(serial.ErrorOccurred());

  peer.Write("LATE\r\n");
  EXPECT_EQ(std::string(serial.ReadStripTerm()), "LATE");
  EXPECT_FALSE(serial.ErrorOccurred());
}

TEST_F(SerialTest, ReadNWaitsForSilenceNotForTheWholeCount) {
  char buffer[8] = {0};
  // Half of the bytes now, the other half 1.5 s later: longer than the 1 s limit, but the read
  // that is waiting when they come returns them before the limit is checked.
  peer.Write("ab");
  std::thread late([&] {
    platform::SleepMs(1500);
    peer.Write("cd");
  });
  EXPECT_TRUE(serial.ReadN(buffer, 4, 1.0f));
  late.join();
  EXPECT_EQ(std::string(buffer, 4), "abcd");

  const int64_t elapsed = Timed([&] { EXPECT_FALSE(serial.ReadN(buffer, 4, 0.5f)); });
  EXPECT_GE(elapsed, 1800) << "a silent read lasts the full 2 s even with a shorter limit";
  EXPECT_LE(elapsed, 3500);
  EXPECT_TRUE(serial.ErrorOccurred());
  EXPECT_EQ(std::string(serial.GetErrorString()), "Error: read timeout:" + portName);
}

TEST_F(SerialTest, ZeroAndNegativeCounts) {
  char buffer[4];
  EXPECT_TRUE(serial.ReadN(buffer, 0, 1.0f));
  EXPECT_TRUE(serial.WriteN("x", 0));
  EXPECT_EQ(peer.Receive(200), "");

  EXPECT_FALSE(serial.ReadN(buffer, -1, 1.0f));
  EXPECT_EQ(std::string(serial.GetErrorString()), "Error: illegal read length:" + portName);
  EXPECT_FALSE(serial.WriteN("x", -1));
  EXPECT_EQ(std::string(serial.GetErrorString()), "Error: illegal write length:" + portName);
  EXPECT_EQ(peer.Receive(200), "");

  const std::string raw("\x00\x80\xff\r\n", 5);
  EXPECT_TRUE(serial.WriteN(raw.data(), 5));
  EXPECT_EQ(peer.ReceiveN(5, 3000), raw);
}

TEST_F(SerialTest, PurgeDropsWhatWasReceivedButNotRead) {
  peer.Write("STALE\r\n");
  // Wait until the bytes are surely in the driver: a ReadN of one byte would consume one, so
  // give the line time instead.
  platform::SleepMs(200);
  EXPECT_TRUE(serial.PurgeRx());
  peer.Write("FRESH\r\n");
  EXPECT_EQ(std::string(serial.ReadStripTerm()), "FRESH");
}

TEST_F(SerialTest, ClosedChannelReportsWithThePortName) {
  EXPECT_TRUE(serial.Disconnect());
  EXPECT_FALSE(serial.Disconnect());
  EXPECT_FALSE(serial.IsConnected());
  const std::string notInitialized = "Error: port not initialized:" + portName;

  EXPECT_FALSE(serial.Write("ID?"));
  EXPECT_EQ(std::string(serial.GetErrorString()), notInitialized);
  EXPECT_TRUE(serial.ErrorOccurred());
  EXPECT_EQ(std::string(serial.Read()), notInitialized);
  char buffer[4];
  EXPECT_FALSE(serial.ReadN(buffer, 4, 1.0f));
  EXPECT_FALSE(serial.WriteN("abcd", 4));
  EXPECT_TRUE(serial.PurgeRx()) << "purging a closed channel records the error but succeeds";
  EXPECT_TRUE(serial.ErrorOccurred());
  EXPECT_EQ(peer.Receive(200), "");

  EXPECT_TRUE(serial.Reconnect()) << "reopens with the last settings";
  EXPECT_TRUE(serial.IsConnected());
  EXPECT_TRUE(serial.Reconnect()) << "an open channel stays as it is";
  EXPECT_TRUE(serial.Write("BACK"));
  EXPECT_EQ(peer.ReceiveN(6, 3000), "BACK\r\n");
}

TEST(SerialPortTest, RefusesPortsOutsideTheTable) {
  cSerial serial;
  EXPECT_FALSE(serial.Initialize(static_cast<ePort>(17), BAUD_57600, '*', PROTOCOL_PLAIN, false));
  EXPECT_TRUE(serial.ErrorOccurred());
  EXPECT_FALSE(serial.Initialize(static_cast<ePort>(-1), BAUD_57600, '*', PROTOCOL_PLAIN, true));
  EXPECT_FALSE(
      serial.Initialize(static_cast<ePort>(1000000), BAUD_57600, '*', PROTOCOL_PLAIN, false));
  EXPECT_FALSE(serial.IsConnected());
  EXPECT_NE(std::string(serial.GetErrorString()).find("illegal port"), std::string::npos);
}

TEST(SerialPortTest, BaudStrings) {
  EXPECT_EQ(GetBaudString(BAUD_115200), "115200");
  EXPECT_EQ(GetBaudString(static_cast<eBaud>(7)), "115200") << "keeps the previous text";
  EXPECT_EQ(GetBaudString(BAUD_9600), "9600");
  EXPECT_EQ(GetBaudString(static_cast<eBaud>(-1)), "9600");
  EXPECT_EQ(GetBaudRate(BAUD_57600), 57600u);
  EXPECT_EQ(std::string(szComport[16]), "COM16");
}

}  // namespace
