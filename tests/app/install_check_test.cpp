// The check of the instrument's MAIN version after an installation, and the exit word that a
// stopped transfer already sent.
#include "app/install_check.h"

#include <gtest/gtest.h>

#include "app/connections.h"
#include "app/globals.h"
#include "app/install_steps.h"

#include "support/pty_peer.h"

namespace {

TEST(InstallCheck, TheReportedMainVersionIsComparedWithTheImageName) {
  stVersionCheck check = CheckInstalledVersion("main_020105.bin", true, "2.1.5");
  EXPECT_EQ(check.result, VERSION_VERIFIED);
  EXPECT_EQ(check.szExpected, "2.1.5");
  EXPECT_EQ(check.szReported, "2.1.5");

  check = CheckInstalledVersion("main_020105.bin", true, "2.1.50");
  EXPECT_EQ(check.result, VERSION_DIFFERS);
  EXPECT_EQ(check.szReported, "2.1.50");
  // No MAIN version in the reply is no proof of the new one.
  check = CheckInstalledVersion("main_020105.bin", false, "NOT REQ.");
  EXPECT_EQ(check.result, VERSION_DIFFERS);
  EXPECT_EQ(check.szReported, "");
  // An instrument that reports 0.0.0 shows "NOT REQ.": that is version 0.0.0.
  EXPECT_EQ(CheckInstalledVersion("main_000000.bin", true, "NOT REQ.").result, VERSION_VERIFIED);

  // Names without six digits before the last point carry nothing to check.
  for (const char* szName : {"main.bin", "firmware.bin", "main_02a105.bin", "020105", ""}) {
    check = CheckInstalledVersion(szName, true, "2.1.5");
    EXPECT_EQ(check.result, VERSION_UNCHECKED) << szName;
    EXPECT_EQ(check.szExpected, "") << szName;
    EXPECT_EQ(check.szReported, "2.1.5") << szName;
  }
}

#ifndef _WIN32
TEST(InstallSteps, AnExitWordThatWasAcknowledgedIsNotSentAgain) {
  cPtyPeer peer(9);
  ASSERT_TRUE(peer.IsOpen()) << peer.GetSkipReason();
  peer.StartPackets();
  ASSERT_TRUE(installer.Connect(COM9, BAUD_115200));
  EXPECT_FALSE(installer.ExitAcknowledged());
  ASSERT_TRUE(installer.Exit());  // as a stopped transfer sends it
  EXPECT_TRUE(installer.ExitAcknowledged());

  installPackageState = INSTALL_REBOOTING;
  int exitAttempts = 0;
  EXPECT_TRUE(ExitInstallerStep(exitAttempts));
  EXPECT_EQ(installPackageState, INSTALL_RECONNECTING);
  EXPECT_EQ(exitAttempts, 0);
  EXPECT_EQ(peer.Packets().size(), 1u) << "only the first exit word";
}
#endif

}  // namespace
