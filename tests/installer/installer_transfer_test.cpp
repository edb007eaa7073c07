// File transfers and commands over a real pty against a scripted installer.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sha256.h"
#include "tests/installer/pty_fixture.h"

namespace {

using TransferTest = PtyInstallerTest;

std::string Word(uint32_t word) {
  return Packet(Field(word));
}

// The file's bytes as the installer got them: the data packets after word, name and size.
std::string DataOf(const std::vector<sPacket>& packets) {
  std::string data;
  for (size_t i = 3; i < packets.size() && packets[i].length > 0; ++i) data += packets[i].data;
  return data;
}

bool HasEndOfFileMarker(const std::vector<sPacket>& packets) {
  for (const sPacket& packet : packets) {
    if (packet.length == 0) return true;
  }
  return false;
}

// Steps until the engine is idle again; returns the number of steps taken.
int RunToEnd(cHalvexInstaller& installer, int maxSteps = 1000) {
  int steps = 0;
  while (steps < maxSteps && installer.Update()) ++steps;
  return steps;
}

void Overwrite(const std::string& path, const std::string& bytes) {
  std::fstream stream(path, std::ios::binary | std::ios::in | std::ios::out);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST_F(TransferTest, AnEmptyFileSendsWordNameSizeZeroAndTheMarker) {
  peer.StartPackets();
  // Nothing armed: no step, nothing on the line (the first packet below is the transfer's).
  EXPECT_FALSE(installer->Update());
  const std::string longName(300, 'n');
  ASSERT_TRUE(
      installer->InitializeTransfer(scratch.WriteFile("empty.bin", "").c_str(), longName.c_str()));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(installer->Update()) << i;
  EXPECT_TRUE(installer->TransferComplete());
  EXPECT_FALSE(installer->TransferFailed());
  EXPECT_EQ(installer->GetProgressPercent(), 0.0f);
  EXPECT_FALSE(installer->Update());
  EXPECT_EQ(CountOpenHandles(scratch.PathOf("empty.bin")), 0);

  ASSERT_TRUE(installer->Exit());
  ASSERT_TRUE(peer.WaitForPackets(5, 5000));
  const std::vector<sPacket> packets = peer.Packets();
  ASSERT_EQ(packets.size(), 5u);
  EXPECT_EQ(packets[0].wire, Word(CMD_TRANSFER_FILE));
  EXPECT_EQ(packets[1].data, std::string(MAX_PATH_LEN - 1, 'n'));
  EXPECT_EQ(packets[2].wire, Word(0));
  EXPECT_EQ(packets[3].wire, Field(0));
  EXPECT_EQ(packets[4].wire, Word(CMD_EXIT));
}

TEST_F(TransferTest, TwoFullChunksReportHalfwayThenAllAndTheMarkerFollows) {
  peer.StartPackets();
  const std::string content = RandomBytes(2 * MAX_PACKET_LEN, 2);
  ASSERT_TRUE(installer->InitializeTransfer(scratch.WriteFile("two.bin", content).c_str(), "two"));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(installer->Update());
  EXPECT_EQ(installer->GetProgressPercent(), 0.0f);
  EXPECT_TRUE(installer->Update());
  EXPECT_EQ(installer->GetProgressPercent(), 50.0f);
  EXPECT_TRUE(installer->Update());
  EXPECT_EQ(installer->GetProgressPercent(), 100.0f);
  EXPECT_FALSE(installer->TransferComplete());
  EXPECT_TRUE(installer->Update());
  EXPECT_TRUE(installer->TransferComplete());

  ASSERT_TRUE(peer.WaitForPackets(6, 5000));
  const std::vector<sPacket> packets = peer.Packets();
  EXPECT_EQ(packets[2].wire, Word(2 * MAX_PACKET_LEN));
  EXPECT_EQ(packets[3].length, MAX_PACKET_LEN);
  EXPECT_EQ(packets[4].length, MAX_PACKET_LEN);
  EXPECT_EQ(packets[5].wire, Field(0));
  EXPECT_TRUE(DataOf(packets) == content);
}

TEST_F(TransferTest, OneMebibyteOfRandomBytesArrivesIdentical) {
  peer.StartPackets();
  const std::string content = RandomBytes(1 << 20, 3);
  ASSERT_TRUE(
      installer->InitializeTransfer(scratch.WriteFile("image.bin", content).c_str(), "image.bin"));
  int steps = 0;
  const double seconds = SecondsOf([&] { steps = RunToEnd(*installer); });
  EXPECT_EQ(steps, 3 + 64 + 1);
  EXPECT_TRUE(installer->TransferComplete());
  ASSERT_TRUE(peer.WaitForPackets(68, 5000));
  const std::vector<sPacket> packets = peer.Packets();
  for (const sPacket& packet : packets) EXPECT_TRUE(packet.ChecksumOk());
  EXPECT_TRUE(DataOf(packets) == content);
  const double rate = 1.0 / seconds;
  std::printf("1 MiB over an unpaced pty: %.3f s, %.1f MiB/s\n", seconds, rate);
  RecordProperty("MiBPerSecond", std::to_string(rate));
}

TEST_F(TransferTest, ARefusedOrUnansweredChunkIsResentUnchangedWithoutReadingTheFile) {
  peer.StartPackets([](const sPacket& packet, size_t index) {
    if (index == 3) return Nak();      // first chunk, first try
    if (index == 5) return Silence();  // second chunk, first try
    return AckAll(packet, index);
  });
  const std::string content = RandomBytes(40000, 4);
  const std::string path = scratch.WriteFile("three.bin", content);
  // The file's checked hash, in upper case as a package may give it: each chunk counts once.
  std::string sha256;
  ASSERT_TRUE(platform::Sha256Hex(content.data(), content.size(), sha256));
  std::string upper = sha256;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_TRUE(installer->InitializeTransfer(path.c_str(), "three", upper.c_str()));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(installer->Update());
  EXPECT_FALSE(installer->Update());
  EXPECT_EQ(installer->GetProgressPercent(), 0.0f);
  // Changing the file now cannot change the resent chunk: it is not read again.
  Overwrite(path, std::string(MAX_PACKET_LEN, '\x5A'));
  EXPECT_TRUE(installer->Update());
  const float progress = installer->GetProgressPercent();
  EXPECT_FLOAT_EQ(progress, 16384.0f * 100.0f / 40000.0f);
  EXPECT_FALSE(installer->Update());
  EXPECT_EQ(installer->GetProgressPercent(), progress);
  EXPECT_EQ(RunToEnd(*installer), 3);
  EXPECT_TRUE(installer->TransferComplete());
  EXPECT_EQ(installer->GetSentSha256(), sha256);

  ASSERT_TRUE(installer->Exit());
  ASSERT_TRUE(peer.WaitForPackets(10, 5000));
  const std::vector<sPacket> packets = peer.Packets();
  ASSERT_EQ(packets.size(), 10u);
  EXPECT_TRUE(packets[3].wire == packets[4].wire);
  EXPECT_TRUE(packets[4].data == content.substr(0, MAX_PACKET_LEN));
  EXPECT_TRUE(packets[5].wire == packets[6].wire);
  EXPECT_TRUE(packets[6].data == content.substr(MAX_PACKET_LEN, MAX_PACKET_LEN));
  EXPECT_TRUE(packets[7].data == content.substr(2 * MAX_PACKET_LEN));
  EXPECT_EQ(packets[8].wire, Field(0));
  EXPECT_EQ(packets[9].wire, Word(CMD_EXIT));  // the last Update, idle, sent nothing
}

TEST_F(TransferTest, ANewTransferStartsNeitherCompleteNorFailedAndClosesTheOldFile) {
  peer.StartPackets();
  ASSERT_TRUE(installer->InitializeTransfer(scratch.WriteFile("a.bin", "").c_str(), "a"));
  RunToEnd(*installer);
  ASSERT_TRUE(installer->TransferComplete());
  const std::string big = scratch.WriteFile("b.bin", std::string(40000, 'b'));
  ASSERT_TRUE(installer->InitializeTransfer(big.c_str(), "b"));
  EXPECT_FALSE(installer->TransferComplete());
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(installer->Update());
  EXPECT_EQ(CountOpenHandles(big), 1);
  // Re-arming in the middle of a transfer drops the old one and its file.
  ASSERT_TRUE(installer->InitializeTransfer(scratch.WriteFile("c.bin", "c").c_str(), "c"));
  EXPECT_EQ(CountOpenHandles(big), 0);
  EXPECT_EQ(installer->GetProgressPercent(), 0.0f);
  EXPECT_EQ(RunToEnd(*installer), 5);
  EXPECT_TRUE(installer->TransferComplete());
  ASSERT_TRUE(peer.WaitForPackets(4 + 4 + 5, 5000));
  EXPECT_EQ(peer.Packets()[8].wire, Word(CMD_TRANSFER_FILE));
}

TEST_F(TransferTest, AFileThatShrinksEndsAsFailedWithoutTheMarker) {
  peer.StartPackets();
  const std::string path = scratch.WriteFile("shrinks.bin", RandomBytes(40000, 5));
  ASSERT_TRUE(installer->InitializeTransfer(path.c_str(), "shrinks"));
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(installer->Update());
  ASSERT_TRUE(ResizeFile(path, 20000));
  EXPECT_FALSE(installer->Update());
  EXPECT_TRUE(installer->TransferFailed());
  EXPECT_FALSE(installer->TransferComplete());
  EXPECT_EQ(CountOpenHandles(path), 0);
  EXPECT_FALSE(installer->Update());

  // What the line carried up to a later command: no marker, nothing after the first chunk.
  ASSERT_TRUE(installer->Exit());
  ASSERT_TRUE(peer.WaitForPackets(5, 5000));
  const std::vector<sPacket> packets = peer.Packets();
  EXPECT_FALSE(HasEndOfFileMarker(packets));
  ASSERT_EQ(packets.size(), 5u);
  EXPECT_EQ(packets[4].wire, Word(CMD_EXIT));

  // A shrink to a chunk boundary shows as an empty read: failed too.
  const std::string second = scratch.WriteFile("boundary.bin", std::string(40000, 'x'));
  ASSERT_TRUE(installer->InitializeTransfer(second.c_str(), "boundary"));
  EXPECT_FALSE(installer->TransferFailed());
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(installer->Update());
  ASSERT_TRUE(ResizeFile(second, MAX_PACKET_LEN));
  EXPECT_FALSE(installer->Update());
  EXPECT_TRUE(installer->TransferFailed());
}

TEST_F(TransferTest, AFileThatGrowsEndsAsFailedWithoutTheMarker) {
  peer.StartPackets();
  const std::string content = RandomBytes(20000, 6);
  const std::string path = scratch.WriteFile("grows.bin", content);
  ASSERT_TRUE(installer->InitializeTransfer(path.c_str(), "grows"));
  ASSERT_TRUE(AppendToFile(path, std::string(5000, 'g')));
  EXPECT_EQ(RunToEnd(*installer), 5);  // word, name, size, two chunks of the announced size
  EXPECT_TRUE(installer->TransferFailed());
  EXPECT_FALSE(installer->TransferComplete());
  EXPECT_EQ(CountOpenHandles(path), 0);

  ASSERT_TRUE(installer->Exit());
  ASSERT_TRUE(peer.WaitForPackets(6, 5000));
  const std::vector<sPacket> packets = peer.Packets();
  EXPECT_FALSE(HasEndOfFileMarker(packets));
  EXPECT_EQ(packets[2].wire, Word(20000));
  EXPECT_EQ(packets[3].length + packets[4].length, 20000);
  EXPECT_TRUE(packets[3].data + packets[4].data == content);
  EXPECT_EQ(packets[5].wire, Word(CMD_EXIT));
}

TEST_F(TransferTest, StopTransferPausesClosesTheFileOnceAndSendsExit) {
  peer.StartPackets();
  const std::string path = scratch.WriteFile("stop.bin", std::string(40000, 's'));
  ASSERT_TRUE(installer->InitializeTransfer(path.c_str(), "stop"));
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(installer->Update());
  ASSERT_EQ(CountOpenHandles(path), 1);
  // The pause sleeps: it takes wall time, not processor time.
  const std::clock_t cpuStart = std::clock();
  const double seconds = SecondsOf([&] { EXPECT_TRUE(installer->StopTransfer()); });
  EXPECT_TRUE(installer->ExitAcknowledged());
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  EXPECT_GT(seconds, 1.8);
  EXPECT_LT(seconds, 3.5);
  EXPECT_LT(cpuSeconds, 0.5);
  EXPECT_EQ(CountOpenHandles(path), 0);
  EXPECT_FALSE(installer->Update());
  EXPECT_FALSE(installer->TransferComplete());
  // Again, with the file already closed: only the exit word goes out.
  EXPECT_TRUE(installer->StopTransfer());
  ASSERT_TRUE(peer.WaitForPackets(6, 5000));
  const std::vector<sPacket> packets = peer.Packets();
  ASSERT_EQ(packets.size(), 6u);
  EXPECT_EQ(packets[4].wire, Word(CMD_EXIT));
  EXPECT_EQ(packets[5].wire, Word(CMD_EXIT));
}

TEST_F(TransferTest, ProgressReadsZeroWhileDisconnectedAndAnUnwrittenMarkerIsWrittenLater) {
  peer.StartPackets();
  const std::string path = scratch.WriteFile("one.bin", std::string(MAX_PACKET_LEN, '1'));
  ASSERT_TRUE(installer->InitializeTransfer(path.c_str(), "one"));
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(installer->Update());
  EXPECT_EQ(installer->GetProgressPercent(), 100.0f);
  ASSERT_TRUE(installer->Disconnect());
  EXPECT_EQ(installer->GetProgressPercent(), 0.0f);
  // The marker cannot go out on a closed line: the transfer is not over yet.
  EXPECT_FALSE(installer->Update());
  EXPECT_FALSE(installer->TransferComplete());
  EXPECT_FALSE(installer->TransferFailed());
  ASSERT_TRUE(installer->Connect(static_cast<ePort>(TEST_PORT), BAUD_115200));
  EXPECT_EQ(installer->GetProgressPercent(), 100.0f);
  EXPECT_TRUE(installer->Update());
  EXPECT_TRUE(installer->TransferComplete());
  ASSERT_TRUE(peer.WaitForPackets(5, 5000));
  EXPECT_EQ(peer.Packets()[4].wire, Field(0));
}

TEST_F(TransferTest, IsRunningTakesFiveRepliesAndDoesNotNeedThem) {
  const std::string high("\x90\xFF\x01", 3);
  const std::string replies = Packet("MAIN 1.2.3") + Packet(high, SignedSum(high)) + Packet(high) +
                              Packet("GPIB 0.0.0") + Packet("FPGA 0.0.0");
  peer.StartPackets([replies](const sPacket& packet, size_t index) {
    if (index != 1) return AckAll(packet, index);
    sAnswer answer = Then(Ack(), 0, replies);
    answer.acksToRead = 5;
    return answer;
  });
  const double answered = SecondsOf([&] { EXPECT_TRUE(installer->IsRunning()); });
  EXPECT_LT(answered, 1.5);
  EXPECT_TRUE(peer.WaitForAcks(5, 5000));
  EXPECT_EQ(peer.Acks(), "AAAAA");
  EXPECT_TRUE(notices.Texts().empty());

  // An installer that acknowledges but never replies still counts as running, after each of
  // the five receptions has run into its timeout.
  const double silent = SecondsOf([&] { EXPECT_TRUE(installer->IsRunning()); });
  EXPECT_GT(silent, 5 * 1.0);
  EXPECT_LT(silent, 5 * 3.5);
  const std::vector<sPacket> packets = peer.Packets();
  ASSERT_EQ(packets.size(), 4u);
  EXPECT_EQ(packets[0].wire, Word(CMD_GET_VERSION));
  EXPECT_EQ(packets[1].data, "installer");
  EXPECT_EQ(packets[2].wire, Word(CMD_GET_VERSION));
  EXPECT_TRUE(notices.Texts().empty());
}

#endif
