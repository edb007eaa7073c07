// Packet framing over a real pty: the bytes the engine writes, the acknowledgement wait, and
// the reception of packets with its fault handling and reports.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <utility>

#include "support/text.h"
#include "tests/installer/pty_fixture.h"
#include "util/trace.h"

namespace {

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char byte : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[byte >> 4];
    text += digits[byte & 0xF];
  }
  return text;
}

using FramingTest = PtyInstallerTest;

// The notices of the faults in a reply, in the words the user reads.
const std::string BAD_CHECKSUM =
    "A reply from the instrument arrived with a wrong checksum; it is asked for again.";
const std::string BAD_LENGTH =
    "A reply from the instrument announced a length that no reply can have; it is asked for again.";
const std::string GIVEN_UP =
    "The instrument's replies kept arriving damaged; the program stopped waiting for this one.";

// Runs one ReadPacket on another thread, so the test can play the far end meanwhile.
struct sReception {
  bool bResult = false;
  int length = -99;
  std::string data;
};

std::future<sReception> ReadAsync(cHalvexInstaller& installer) {
  return std::async(std::launch::async, [&installer] {
    static char buffer[MAX_PACKET_LEN];
    sReception reception;
    reception.bResult = installer.ReadPacket(buffer, &reception.length);
    if (reception.length > 0 && reception.length <= MAX_PACKET_LEN) {
      reception.data.assign(buffer, static_cast<size_t>(reception.length));
    }
    return reception;
  });
}

}  // namespace

TEST_F(FramingTest, WorkedExamplesAreWrittenByteForByte) {
  peer.StartPackets();
  EXPECT_TRUE(installer->Send(4u));
  EXPECT_TRUE(installer->Send("installer"));
  EXPECT_TRUE(installer->Send(100000u));
  EXPECT_TRUE(installer->PrepareToExecuteFile());
  EXPECT_TRUE(installer->ExecuteFile("ainst.gpib"));
  EXPECT_TRUE(installer->Exit());
  // Nothing is awaited after the end-of-file marker, and nothing at all is written for a
  // negative length.
  EXPECT_LT(SecondsOf([&] { EXPECT_FALSE(installer->WritePacket("xyz", 0)); }), 0.5);
  EXPECT_FALSE(installer->WritePacket("xyz", -1));
  EXPECT_FALSE(installer->Send(""));
  const char high[] = {'\xA0', '\x86', '\x01', '\x00', '\xFF'};
  EXPECT_TRUE(installer->WritePacket(high, 5));

  const std::string expected =
      "04 00 00 00 04 00 00 00 04 00 00 00 "
      "09 00 00 00 CE 03 00 00 69 6E 73 74 61 6C 6C 65 72 "
      "04 00 00 00 27 01 00 00 A0 86 01 00 "
      "04 00 00 00 05 00 00 00 05 00 00 00 "
      "0A 00 00 00 EF 03 00 00 61 69 6E 73 74 2E 67 70 69 62 "
      "04 00 00 00 00 00 00 00 00 00 00 00 "
      "00 00 00 00 "
      "00 00 00 00 "
      "05 00 00 00 26 02 00 00 A0 86 01 00 FF";
  ASSERT_TRUE(peer.WaitForPackets(9, 5000));
  EXPECT_EQ(Hex(peer.Received()), expected);
}

TEST_F(FramingTest, NothingGoesOnTheWireWhenNotConnected) {
  peer.StartRaw();
  ASSERT_TRUE(installer->Disconnect());
  EXPECT_FALSE(installer->Disconnect());
  char buffer[MAX_PACKET_LEN];
  int length = 0;
  EXPECT_FALSE(installer->Send(4u));
  EXPECT_FALSE(installer->WritePacket("", 0));
  EXPECT_FALSE(installer->CheckHandshake());
  EXPECT_FALSE(installer->ReadPacket(buffer, &length));
  EXPECT_FALSE(installer->IsRunning());
  EXPECT_FALSE(installer->Exit());
  // A reconnected engine writes again: the first bytes on the line are its packet.
  peer.StartPackets();
  ASSERT_TRUE(installer->Connect(static_cast<ePort>(TEST_PORT), BAUD_115200));
  EXPECT_TRUE(installer->Send(7u));
  EXPECT_EQ(Hex(peer.Received()), "04 00 00 00 07 00 00 00 07 00 00 00");
}

TEST_F(FramingTest, HandshakeWaitsTwoSecondsForTheAcknowledgement) {
  peer.StartPackets([](const sPacket&, size_t index) {
    switch (index) {
      case 0:  // refused, then accepted late but within the wait; other bytes are skipped
        return Then(Then(Nak(), 300, "x?"), 900, "A");
      case 1:  // refused only: "N" does not end the wait
        return Nak();
      default:  // no answer
        return Silence();
    }
  });
  const double accepted = SecondsOf([&] { EXPECT_TRUE(installer->Send(1u)); });
  EXPECT_GT(accepted, 1.0);
  EXPECT_LT(accepted, 3.0);
  const double refused = SecondsOf([&] { EXPECT_FALSE(installer->Send(2u)); });
  EXPECT_GT(refused, 1.8);
  EXPECT_LT(refused, 3.5);
  const double silent = SecondsOf([&] { EXPECT_FALSE(installer->Send(3u)); });
  EXPECT_GT(silent, 1.8);
  EXPECT_LT(silent, 3.5);
}

TEST_F(FramingTest, ReceptionAcceptsLengthsUpToTheLimitAndPurgesAfterLengthErrors) {
  peer.StartRaw();
  const std::string largest = RandomBytes(MAX_PACKET_LEN, 1);
  auto full = ReadAsync(*installer);
  peer.Write(Packet(largest));
  sReception reception = full.get();
  EXPECT_TRUE(reception.bResult);
  EXPECT_EQ(reception.length, MAX_PACKET_LEN);
  EXPECT_TRUE(reception.data == largest);

  // 16385 and -1 are refused; what followed them on the line is purged, so the next packet is
  // the first thing read afterwards.
  size_t answered = 1;
  for (int32_t bad : {MAX_PACKET_LEN + 1, -1}) {
    auto refused = ReadAsync(*installer);
    peer.Write(Field(static_cast<uint32_t>(bad)) + std::string(40, '\x11'));
    ASSERT_TRUE(peer.WaitForReceived(answered + 1, 5000));
    answered += 2;
    peer.Write(Packet("after"));
    reception = refused.get();
    EXPECT_TRUE(reception.bResult);
    EXPECT_EQ(reception.data, "after");
  }
  EXPECT_EQ(peer.ReceivedAtLeast(5), "ANANA");
  EXPECT_EQ(notices.Texts(), (std::vector<std::string>{BAD_LENGTH, BAD_LENGTH}));
}

TEST_F(FramingTest, SixteenChecksumFailuresAreToleratedTheSeventeenthEndsTheReception) {
  peer.StartRaw();
  const std::string bad = Packet("data", 1);
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += bad;
  peer.Write(sixteen + Packet("good"));
  sReception reception = ReadAsync(*installer).get();
  EXPECT_TRUE(reception.bResult);
  EXPECT_EQ(reception.data, "good");
  EXPECT_EQ(peer.ReceivedAtLeast(17), std::string(16, 'N') + "A");
  EXPECT_EQ(notices.Texts(), std::vector<std::string>(16, BAD_CHECKSUM));

  // The count starts again with each reception; the seventeenth failure ends it, and what
  // follows on the line is left for the next one (checksum errors do not purge).
  peer.Write(sixteen + bad + Packet("next"));
  reception = ReadAsync(*installer).get();
  EXPECT_FALSE(reception.bResult);
  reception = ReadAsync(*installer).get();
  EXPECT_TRUE(reception.bResult);
  EXPECT_EQ(reception.data, "next");
  EXPECT_EQ(peer.ReceivedAtLeast(35), std::string(16, 'N') + "A" + std::string(17, 'N') + "A");
  std::vector<std::string> expected(33, BAD_CHECKSUM);
  expected.push_back(GIVEN_UP);
  EXPECT_EQ(notices.Texts(), expected);
}

TEST_F(FramingTest, LengthErrorsDoNotCountAsChecksumAttempts) {
  peer.StartRaw();
  const std::string bad = Packet("data", 1);
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += bad;
  auto reception = ReadAsync(*installer);
  peer.Write(sixteen + Field(0xFFFFFFFFu));
  ASSERT_TRUE(peer.WaitForReceived(17, 5000));
  peer.Write(Packet("good"));
  EXPECT_TRUE(reception.get().bResult);
  EXPECT_EQ(peer.ReceivedAtLeast(18), std::string(17, 'N') + "A");
}

TEST_F(FramingTest, SignedAndUnsignedChecksumsAreBothAccepted) {
  peer.StartRaw();
  const std::string data("\xA0\x86\x01\x00", 4);
  // Unsigned sum 295, signed sum -217; anything else is refused.
  peer.Write(Packet(data, 295) + Packet(data, static_cast<uint32_t>(-217)) + Packet(data, 296) +
             Packet("text", SignedSum("text")));
  for (int i = 0; i < 3; ++i) {
    sReception reception = ReadAsync(*installer).get();
    EXPECT_TRUE(reception.bResult) << i;
    EXPECT_EQ(reception.data, i < 2 ? data : std::string("text"));
  }
  EXPECT_EQ(peer.ReceivedAtLeast(4), "AANA");
  EXPECT_EQ(notices.Texts(), std::vector<std::string>{BAD_CHECKSUM});
}

TEST_F(FramingTest, SilenceEndsTheReceptionQuietlyAndAnEmptyPacketIsAcknowledged) {
  peer.StartRaw();
  char buffer[MAX_PACKET_LEN];
  int length = 0;
  const double silent = SecondsOf([&] { EXPECT_FALSE(installer->ReadPacket(buffer, &length)); });
  EXPECT_GT(silent, 0.9);
  EXPECT_LT(silent, 3.5);
  // The empty packet is the first thing answered: the silent reception sent nothing.
  peer.Write(Field(0));
  EXPECT_FALSE(installer->ReadPacket(buffer, &length));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(peer.ReceivedAtLeast(1), "A");
  EXPECT_TRUE(notices.Texts().empty());
}

TEST_F(FramingTest, FieldsThatDoNotArriveAreRefusedAndTheReceptionGoesOn) {
  peer.StartRaw();
  auto noChecksum = ReadAsync(*installer);
  peer.Write(Field(4));
  ASSERT_TRUE(peer.WaitForReceived(1, 6000));
  peer.Write(Packet("one"));
  EXPECT_EQ(noChecksum.get().data, "one");

  auto noData = ReadAsync(*installer);
  peer.Write(Field(4) + Field(10) + "ab");
  ASSERT_TRUE(peer.WaitForReceived(3, 6000));
  peer.Write(Packet("two"));
  EXPECT_EQ(noData.get().data, "two");

  EXPECT_EQ(peer.ReceivedAtLeast(4), "NANA");
  EXPECT_EQ(notices.Texts(),
            (std::vector<std::string>{
                "A reply from the instrument broke off before its checksum; it is asked for again.",
                "A reply from the instrument broke off before all of its data; it is asked for "
                "again."}));
}

TEST_F(FramingTest, ALineThatKeepsSendingGarbageDoesNotHoldTheReception) {
  // Every refusal is answered with another invalid length, far beyond the cap (then silence,
  // so an engine without a cap fails here instead of hanging).
  peer.StartRaw([refusals = 0](char byte) mutable {
    return byte == NAK_CHAR && ++refusals < 4 * MAX_READ_ERRORS ? Field(0xFFFFFFFFu)
                                                                : std::string();
  });
  peer.Write(Field(0xFFFFFFFFu));
  char buffer[MAX_PACKET_LEN];
  int length = 0;
  const double seconds = SecondsOf([&] { EXPECT_FALSE(installer->ReadPacket(buffer, &length)); });
  EXPECT_LT(seconds, 30.0);
  EXPECT_EQ(peer.ReceivedAtLeast(MAX_READ_ERRORS), std::string(MAX_READ_ERRORS, 'N'));
  std::vector<std::string> expected(MAX_READ_ERRORS, BAD_LENGTH);
  expected.push_back(GIVEN_UP);
  EXPECT_EQ(notices.Texts(), expected);
}

TEST_F(FramingTest, ReportsGoToNoticesOrToTheConsoleStreams) {
  peer.StartRaw();
  peer.Write(Packet("data", 1) + Packet("data"));
  EXPECT_TRUE(ReadAsync(*installer).get().bResult);
  ASSERT_EQ(notices.Notices().size(), 1u);
  EXPECT_EQ(notices.Notices()[0].text, BAD_CHECKSUM);
  EXPECT_EQ(notices.Notices()[0].caption, "Damaged reply");
  EXPECT_EQ(notices.Notices()[0].icon, platform::NOTICE_INFORMATION);

  installer->SetConsole(true);
  std::string bad17;
  for (int i = 0; i < 17; ++i) bad17 += Packet("data", 1);
  ASSERT_TRUE(trace.Open(scratch.PathOf("trace.txt"), "console"));
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  auto reception = ReadAsync(*installer);
  peer.Write(Field(MAX_PACKET_LEN + 1));
  ASSERT_TRUE(peer.WaitForReceived(3, 5000));
  peer.Write(bad17);
  EXPECT_FALSE(reception.get().bResult);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  std::string expected;
  for (int i = 0; i < 17; ++i) expected += "ReadPacket : checksum error\r\n";
  expected += "ReadPacket : max attempts exceeded\r\n";
  EXPECT_EQ(out, expected);
  EXPECT_EQ(err, "ReadPacket : length error\r\n");
  EXPECT_EQ(notices.Notices().size(), 1u);
  // The console's lines are the trace's notices, as any notice is.
  trace.Close("");
  const std::string traced = ReadWholeFile(scratch.PathOf("trace.txt"));
  EXPECT_EQ(Count(traced, "NOTICE  \"ReadPacket : "), 19u) << traced;
  EXPECT_NE(traced.find("NOTICE  \"ReadPacket : length error\\r\\n\""), std::string::npos);
}

#endif
