// Line settings that a port does not take: the serial seam finds the refusal out and names it
// with the system's reason, so the open fails at once instead of the line running on with its
// old settings (POSIX; a pty is the device that refuses).
#ifndef _WIN32

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/tty_settings.h"
#include "platform/serial_device.h"
#include "support/pty_peer.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(LineSettings, WhatTheDeviceRefusesOrCannotApplyFailsWithItsReason) {
  cPtyPeer peer(9);
  REQUIRE_PEER(peer);
  const int fd = open(peer.GetPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  struct termios current;
  ASSERT_EQ(tcgetattr(fd, &current), 0);
  std::string reason;
  EXPECT_TRUE(platform::ApplyTtySettings(fd, platform::MakeRawSettings(current, 115200), reason))
      << reason;

  // A pty carries 8 data bits without parity only: depending on the kernel it refuses 7E1
  // outright or keeps its own format and says so only when read back.
  struct termios sevenEven = platform::MakeRawSettings(current, 115200);
  sevenEven.c_cflag = (sevenEven.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB;
  EXPECT_FALSE(platform::ApplyTtySettings(fd, sevenEven, reason));
  EXPECT_TRUE(Contains(reason, "could not be applied: " + std::string(std::strerror(EINVAL))) ||
              Contains(reason, "did not take the line settings (the character format)"))
      << reason;

  close(fd);
  EXPECT_FALSE(platform::ApplyTtySettings(fd, current, reason));
  EXPECT_EQ(reason, "the line settings could not be applied: " + std::string(std::strerror(EBADF)));
}

TEST(LineSettings, APortWhoseSettingsCannotBeReadIsNoOpenPortAndSaysWhy) {
  cPtyPeer peer(9);
  REQUIRE_PEER(peer);
  platform::cSerialDevice device;
  ASSERT_TRUE(device.Open(9));
  EXPECT_TRUE(device.Configure(57600)) << device.GetOpenFailure();
  EXPECT_EQ(device.GetOpenFailure(), "");
  peer.Close();  // the line hangs up between the opening and the settings
  EXPECT_FALSE(device.Configure(57600));
  EXPECT_EQ(device.GetOpenFailure(), peer.GetPath() + " (COM9): its settings could not be read: " +
                                         std::strerror(EIO) + " at 57600 bit/s 8N1.");
}

}  // namespace

#endif
