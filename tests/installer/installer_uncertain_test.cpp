// A transfer whose packet may have been stored without its "A" coming back: the packet is sent
// again as always, and the transfer says it is uncertain. A refusal is no such doubt.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <thread>

#include "tests/installer/pty_fixture.h"

namespace {

using UncertainTest = PtyInstallerTest;

void RunToEnd(cHalvexInstaller& installer) {
  for (int step = 0; step < 20 && !installer.TransferComplete(); ++step) installer.Update();
}

TEST_F(UncertainTest, OnlyAPacketOfTheTransferThatGotNeitherAnswerMakesItUncertain) {
  peer.StartPackets([](const sPacket& packet, size_t index) {
    if (index == 0) return Nak();                    // the command word, refused
    if (index == 4) return Then(Nak(), 0, "zz");     // the chunk, refused, then noise
    if (index == 7) return Silence();                // the exit word: no transfer of its own
    if (index == 9) return Then(Silence(), 0, "x");  // the name of the next transfer: noise only
    if (index == 16) return Silence();               // the size of the third transfer
    return AckAll(packet, index);
  });
  const std::string path = scratch.WriteFile("image.bin", RandomBytes(10000, 7));
  ASSERT_TRUE(installer->InitializeTransfer(path.c_str(), "image.bin"));
  RunToEnd(*installer);
  ASSERT_TRUE(installer->TransferComplete());
  EXPECT_FALSE(installer->TransferUncertain()) << "refused packets were not stored";
  EXPECT_FALSE(installer->Exit());
  EXPECT_FALSE(installer->TransferUncertain());

  ASSERT_TRUE(installer->InitializeTransfer(path.c_str(), "image.bin"));
  EXPECT_TRUE(installer->Update());
  EXPECT_FALSE(installer->Update());
  EXPECT_TRUE(installer->TransferUncertain());
  RunToEnd(*installer);
  EXPECT_TRUE(installer->TransferComplete());
  EXPECT_TRUE(installer->TransferUncertain()) << "the doubt stays with the transfer";
  ASSERT_TRUE(peer.WaitForPackets(14, 5000));
  EXPECT_EQ(peer.Packets()[9].wire, peer.Packets()[10].wire) << "the name is sent again";

  ASSERT_TRUE(installer->InitializeTransfer(path.c_str(), "image.bin"));
  EXPECT_FALSE(installer->TransferUncertain());
  EXPECT_TRUE(installer->Update());
  EXPECT_TRUE(installer->Update());
  EXPECT_FALSE(installer->Update());
  EXPECT_TRUE(installer->TransferUncertain()) << "a size stored as data is the same fault";
}

TEST_F(UncertainTest, APortLostBeforeTheAnswerMakesTheTransferUncertain) {
  peer.StartPackets([](const sPacket& packet, size_t index) {
    return index == 3 ? Silence() : AckAll(packet, index);
  });
  ASSERT_TRUE(installer->InitializeTransfer(
      scratch.WriteFile("image.bin", RandomBytes(10000, 8)).c_str(), "image.bin"));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(installer->Update());
  std::thread unplug([&] {
    if (peer.WaitForPackets(4, 5000)) peer.Close();
  });
  EXPECT_FALSE(installer->Update());
  unplug.join();
  EXPECT_TRUE(installer->IsPortLost());
  EXPECT_TRUE(installer->TransferUncertain());
}

}  // namespace

#endif
