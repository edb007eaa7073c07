// A connected installer engine with a scripted peer on a pty pair (POSIX only).
#ifndef HALVEX_TESTS_INSTALLER_PTY_FIXTURE_H
#define HALVEX_TESTS_INSTALLER_PTY_FIXTURE_H

#ifndef _WIN32

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "instrument/halvex_installer.h"
#include "tests/installer/packet_peer.h"
#include "tests/installer/test_support.h"

// The COM number the tests map to their pty.
constexpr int TEST_PORT = 9;

class PtyInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer.Open(TEST_PORT));
    ASSERT_TRUE(installer->Connect(static_cast<ePort>(TEST_PORT), BAUD_115200));
  }
  void TearDown() override {
    installer.reset();  // closes the port before the peer goes
    peer.Stop();
  }

  peer::cPacketPeer peer;
  std::unique_ptr<cHalvexInstaller> installer = std::make_unique<cHalvexInstaller>();
  support::cNoticeRecorder notices;
  support::cScratchFolder scratch;
};

// Seconds taken by f().
template <typename F>
double SecondsOf(F f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

#endif
#endif
