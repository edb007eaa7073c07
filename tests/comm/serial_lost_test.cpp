// A serial port whose device goes away (a pulled USB adapter; natively the pty's far end
// closing) is told from a silent line, closed, reported through the error state only, and
// opened again at a paced rate once the device returns.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "comm/serial.h"
#include "platform/clock.h"
#include "platform/serial_device.h"
#include "support/pty_peer.h"
#include "util/notice.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32

TEST(SerialLostTest, RemovedDeviceErrorsAreTakenForALostDeviceAndCallFaultsAreNot) {
  for (unsigned long error :
       {ERROR_BAD_COMMAND, ERROR_DEVICE_NOT_CONNECTED, ERROR_ACCESS_DENIED, ERROR_OPERATION_ABORTED,
        ERROR_GEN_FAILURE, ERROR_FILE_NOT_FOUND, ERROR_NOT_READY, ERROR_DEVICE_REMOVED}) {
    EXPECT_TRUE(platform::IsLostDeviceError(error)) << error;
  }
  for (unsigned long error : {ERROR_SUCCESS, ERROR_INVALID_PARAMETER, ERROR_INVALID_HANDLE,
                              ERROR_IO_PENDING, ERROR_SEM_TIMEOUT, ERROR_MORE_DATA}) {
    EXPECT_FALSE(platform::IsLostDeviceError(error)) << error;
  }
}

#else

// A port number of its own (native only).
const int PEER_PORT = 9;

int noticeCount = 0;
void CountNotice(const char*, const char*, eNoticeIcon) {
  ++noticeCount;
}

// The pty's name may be given to another test's pty at once: the port is pointed at nothing.
void ForgetPort(int port) {
  setenv(("HALVEX_COM" + std::to_string(port)).c_str(), "/nonexistent/halvex-port", 1);
}

template <typename F>
int64_t Timed(F call) {
  const int64_t start = platform::GetMonotonicMs();
  call();
  return platform::GetMonotonicMs() - start;
}

TEST(SerialLostTest, AVanishedDeviceIsToldFromASilentLineAndReopenedWhenItReturns) {
  auto peer = std::make_unique<cPtyPeer>(PEER_PORT);
  REQUIRE_PEER(*peer);
  noticeCount = 0;
  SetNoticeSink(CountNotice);
  const ePort port = static_cast<ePort>(peer->GetPort());
  const std::string lost = std::string("Error: device lost:") + szComport[port];
  cSerial serial;
  ASSERT_TRUE(serial.Initialize(port, BAUD_115200, '*', PROTOCOL_PLAIN, false));
  char buffer[4];

  // Silence is only silence.
  EXPECT_FALSE(serial.ReadN(buffer, 1, 0.5f));
  EXPECT_FALSE(serial.IsLost());
  EXPECT_TRUE(serial.IsConnected());

  // The device goes: the read fails at once, the port is closed, nothing is shown.
  peer->Close();
  ForgetPort(port);
  EXPECT_LT(Timed([&] { EXPECT_FALSE(serial.ReadN(buffer, 1, 1.0f)); }), 1000);
  EXPECT_TRUE(serial.ErrorOccurred());
  EXPECT_EQ(serial.GetErrorString(), lost);
  EXPECT_TRUE(serial.IsLost());
  EXPECT_FALSE(serial.IsConnected());
  EXPECT_FALSE(serial.WriteN("abcd", 4));
  EXPECT_EQ(serial.GetErrorString(), lost);
  EXPECT_FALSE(serial.Write("ID?"));
  EXPECT_EQ(serial.Read(), lost);

  // Waiting for it: each step sleeps a slice or makes one attempt, so a caller keeps control
  // and nothing spins.
  const int64_t ctLost = platform::GetMonotonicMs();
  int steps = 0;
  const int64_t stepMs = Timed([&] {
    while (platform::GetMonotonicMs() - ctLost < 2600) {
      EXPECT_FALSE(serial.Recover());
      ++steps;
    }
  });
  EXPECT_GE(steps, 8) << "each wait is a slice, so a caller keeps control";
  EXPECT_LE(steps, 40) << "and a slice is a sleep, not a spin";
  EXPECT_GE(stepMs, 2500);
  EXPECT_TRUE(serial.IsLost());

  // It returns (here: a new pty mapped to the same port): the next attempt, a quarter of a
  // second later at most, opens it with the channel's own settings.
  peer = std::make_unique<cPtyPeer>(PEER_PORT);
  const int64_t ctBack = platform::GetMonotonicMs();
  while (!serial.Recover() && platform::GetMonotonicMs() - ctBack < 5000) {
  }
  EXPECT_LE(platform::GetMonotonicMs() - ctBack, 1000);
  EXPECT_TRUE(serial.IsConnected());
  EXPECT_FALSE(serial.IsLost());
  EXPECT_TRUE(serial.Write("BACK"));
  EXPECT_EQ(peer->ReceiveN(6, 3000), "BACK\r\n");
  EXPECT_EQ(noticeCount, 0) << "a lost port is reported by its owner, not per operation";
  SetNoticeSink(nullptr);
}

TEST(SerialLostTest, AFailedReopeningIsShownOnceThenTriedQuietly) {
  auto peer = std::make_unique<cPtyPeer>(PEER_PORT);
  REQUIRE_PEER(*peer);
  noticeCount = 0;
  SetNoticeSink(CountNotice);
  cSerial serial;
  ASSERT_TRUE(serial.Initialize(static_cast<ePort>(peer->GetPort()), BAUD_57600, '*',
                                PROTOCOL_PLAIN, true));
  EXPECT_TRUE(serial.Disconnect());
  peer.reset();  // the port is gone while closed
  ForgetPort(serial.GetPort());
  EXPECT_FALSE(serial.Reconnect());
  EXPECT_EQ(noticeCount, 1);
  EXPECT_TRUE(serial.IsLost());
  EXPECT_FALSE(serial.Reconnect());
  EXPECT_FALSE(serial.Reconnect());
  EXPECT_EQ(noticeCount, 1);
  serial.Disconnect();
  EXPECT_FALSE(serial.IsLost()) << "letting go ends the wait";
  SetNoticeSink(nullptr);
}

#endif

}  // namespace
