// What the engine decides without a line: refused arguments and an engine that is not
// connected. Runs on every platform.
#include <gtest/gtest.h>

#include <string>

#include "instrument/halvex_installer.h"
#include "support/temp_folder.h"

TEST(InstallerLocal, NothingIsExchangedWhileNotConnected) {
  cHalvexInstaller installer;
  cTempFolder scratch;
  char buffer[MAX_PACKET_LEN];
  int length = 0;
  EXPECT_FALSE(installer.Disconnect());
  EXPECT_FALSE(installer.Send(4u));
  EXPECT_FALSE(installer.CheckHandshake());
  EXPECT_FALSE(installer.ReadPacket(buffer, &length));
  EXPECT_FALSE(installer.IsRunning());
  EXPECT_FALSE(installer.Exit());
  EXPECT_FALSE(installer.Update());
  // A transfer can be armed offline; its steps fail and repeat until there is a line.
  ASSERT_TRUE(installer.InitializeTransfer(scratch.WriteFile("f.bin", "abc").c_str(), "f.bin"));
  EXPECT_FALSE(installer.Update());
  EXPECT_FALSE(installer.Update());
  EXPECT_FALSE(installer.TransferComplete());
  EXPECT_FALSE(installer.TransferFailed());
  EXPECT_EQ(installer.GetProgressPercent(), 0.0f);
}

TEST(InstallerLocal, InitializeTransferRefusesWhatCannotBeSent) {
  cHalvexInstaller installer;
  cTempFolder scratch;
  const std::string file = scratch.WriteFile("image.bin", "data");
  EXPECT_FALSE(installer.InitializeTransfer(file.c_str(), ""));
  EXPECT_FALSE(installer.InitializeTransfer(file.c_str(), nullptr));
  EXPECT_FALSE(installer.InitializeTransfer(nullptr, "image.bin"));
  EXPECT_FALSE(installer.InitializeTransfer(scratch.PathOf("missing.bin").c_str(), "image.bin"));
  EXPECT_FALSE(installer.InitializeTransfer(scratch.GetPath().c_str(), "image.bin"));
  // The size goes out as 32 bits: 4 GiB - 1 is the largest file that can be announced.
  ASSERT_TRUE(scratch.MakeSized("largest.bin", 0xFFFFFFFFull));
  ASSERT_TRUE(scratch.MakeSized("too_large.bin", 0x100000000ull));
  EXPECT_TRUE(installer.InitializeTransfer(scratch.PathOf("largest.bin").c_str(), "image.bin"));
  EXPECT_FALSE(installer.InitializeTransfer(scratch.PathOf("too_large.bin").c_str(), "image.bin"));
  EXPECT_TRUE(installer.InitializeTransfer(file.c_str(), "image.bin"));
}
