// A connected installer engine with a scripted installer on the far end of its line: a pty
// pair mapped to COM9 (POSIX only).
#ifndef HALVEX_TESTS_INSTALLER_PTY_FIXTURE_H
#define HALVEX_TESTS_INSTALLER_PTY_FIXTURE_H

#ifndef _WIN32

#include <gtest/gtest.h>

#include <memory>

#include "instrument/halvex_installer.h"
#include "support/notices.h"
#include "support/pty_peer.h"
#include "support/temp_folder.h"
#include "support/wait.h"

// The COM number the tests map to their pty.
constexpr int TEST_PORT = 9;

class PtyInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer.IsOpen()) << peer.GetSkipReason();
    ASSERT_TRUE(installer->Connect(static_cast<ePort>(TEST_PORT), BAUD_115200));
  }
  void TearDown() override {
    installer.reset();  // closes the port before the peer goes
    peer.Close();
  }

  cPtyPeer peer{TEST_PORT};
  std::unique_ptr<cHalvexInstaller> installer = std::make_unique<cHalvexInstaller>();
  cNoticeRecorder notices;
  cTempFolder scratch;
};

#endif
#endif
