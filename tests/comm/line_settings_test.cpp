// Line settings that a port does not take: the serial seam finds the refusal out and names it
// with the system's reason, so the open fails at once instead of the line running on with its
// old settings (POSIX; a pty is the device that refuses).
#ifndef _WIN32

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "comm/serial.h"
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
  EXPECT_FALSE(device.SettingsRefused()) << "a device that is gone refused nothing";
}

// The kernel's termios record, as the lock of a terminal's settings takes it.
struct sKernelTermios {
  uint32_t iflag, oflag, cflag, lflag;
  unsigned char line, cc[19];
};

// A port that is there but keeps its speed (a pty whose speed is locked, which takes the
// privilege to lock it) refused the settings: it is closed, not lost, and not waited for.
TEST(LineSettings, APortThatRefusesTheSpeedIsNoLostPort) {
  cPtyPeer peer(9);
  REQUIRE_PEER(peer);
  const int fd = open(peer.GetPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  sKernelTermios lock = {};
  lock.cflag = CBAUD;
  if (ioctl(fd, TIOCSLCKTRMIOS, &lock) != 0) {
    close(fd);
    GTEST_SKIP() << "locking a terminal's speed needs CAP_SYS_ADMIN";
  }
  close(fd);
  cSerial serial;
  EXPECT_FALSE(serial.Initialize(COM9, BAUD_115200, '*', PROTOCOL_PLAIN, false));
  EXPECT_TRUE(serial.SettingsRefused());
  EXPECT_FALSE(serial.IsLost());
  EXPECT_TRUE(Contains(serial.GetOpenFailure(), "did not take the line settings (the speed)"))
      << serial.GetOpenFailure();
  // A quiet attempt that meets the refusal still counts as failed, and paces the next one.
  EXPECT_FALSE(serial.Recover());
  EXPECT_TRUE(serial.SettingsRefused());
  EXPECT_TRUE(serial.IsLost());
}

}  // namespace

#endif
