// The network channel against servers the test plays (every platform): what the channel
// makes of the server's answers. The channel against the real ser2net: ser2net_channel_test.
#include <gtest/gtest.h>

#include <string>

#include "comm/network_channel.h"
#include "loopback_server.h"
#include "support/notices.h"
#include "support/text.h"
#include "support/wait.h"

namespace {

const int WAIT_MS = 10000;
const char IAC = '\xff';
const std::string SE = "\xff\xf0";

// A com port confirmation of the server: IAC SB COM-PORT-OPTION code value IAC SE.
std::string Confirm(int code, const std::string& value) {
  return std::string("\xff\xfa\x2c") + static_cast<char>(code) + value + SE;
}

// What the server received until done(received) held (or WAIT_MS passed).
template <typename F>
std::string ReceiveUntil(cPeer& peer, F done) {
  std::string received;
  const int64_t ctDeadline = platform::GetMonotonicMs() + WAIT_MS;
  while (!done(received) && platform::GetMonotonicMs() < ctDeadline) {
    received += peer.Receive(1, 100);
  }
  return received;
}

// The server's side of opening: it takes the options, waits for the client's seven com port
// commands and confirms the five line settings, with the speed it is told to set (0: the one
// asked for) and without a confirmation of the parity when bSkipParity.
struct sServerScript {
  uint32_t speedSet = 0;
  bool bSkipParity = false;
};

void AcceptOpening(cPeer& peer, const sServerScript& script = sServerScript()) {
  peer.Send(std::string("\xff\xfd\x2c\xff\xfd\x00\xff\xfb\x00", 9));
  const std::string opening =
      ReceiveUntil(peer, [](const std::string& in) { return Count(in, SE) >= 7; });
  std::string speed(4, '\0');
  const size_t at = opening.find("\xff\xfa\x2c\x01");
  if (at != std::string::npos) speed = opening.substr(at + 4, 4);
  if (script.speedSet != 0) {
    for (int i = 0; i < 4; ++i) speed[i] = static_cast<char>(script.speedSet >> (24 - 8 * i));
  }
  std::string answer = Confirm(101, speed) + Confirm(102, "\x08");
  if (!script.bSkipParity) answer += Confirm(103, "\x01");
  answer += Confirm(104, "\x01") + Confirm(105, "\x01");
  peer.Send(answer);
}

TEST(NetworkChannel, DataCrossesWholeAndPurgeDropsWhatCameBeforeTheServersConfirmation) {
  cSignal staleSent;
  std::string fromClient;
  cLoopbackServer server([&](cPeer& peer) {
    AcceptOpening(peer);
    // A line in pieces around telnet commands, with a doubled 0xFF; then a reply in two parts.
    peer.Send("\r\n\r\nO" + std::string("\xff\xf1") + "K\xff\xff\r\n");
    peer.Send("\xff\xfa\x2c\x6b\x30" + SE + "LF\n");
    fromClient = ReceiveUntil(peer, [](const std::string& in) { return in.size() >= 5; });
    peer.Send("stale\r\n");
    staleSent.Set();
    // The purge: everything before its confirmation goes, what follows stays.
    ReceiveUntil(
        peer, [](const std::string& in) { return in.find("\x2c\x0c\x01") != std::string::npos; });
    peer.Send("old" + Confirm(112, "\x01") + "new\r\n");
    peer.WaitClosed(WAIT_MS);
  });
  cNetworkChannel channel;
  cWatchdog watchdog(60, "the channel against a scripted server");
  ASSERT_TRUE(channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, false))
      << channel.GetOpenFailure();
  EXPECT_STREQ(channel.GetOpenFailure(), "");
  EXPECT_TRUE(channel.CanSetBaud());
  EXPECT_EQ(std::string(channel.Read()), "OK\xff\r\n");
  EXPECT_STREQ(channel.ReadStripTerm(), "LF\n");
  const char raw[] = {'\xff', '\x01', '\xff'};
  EXPECT_TRUE(channel.WriteN(raw, 3));
  ASSERT_TRUE(staleSent.Wait(WAIT_MS));
  EXPECT_TRUE(channel.PurgeRx());
  char line[6] = {0};
  ASSERT_TRUE(channel.ReadN(line, 5, 1.0f));
  EXPECT_EQ(std::string(line), "new\r\n");
  EXPECT_TRUE(channel.Disconnect());
  server.Join();
  EXPECT_EQ(fromClient, "\xff\xff\x01\xff\xff");
  EXPECT_FALSE(channel.ErrorOccurred());
}

TEST(NetworkChannel, FlushWaitsUntilTheServerHasTheBytesAndItsLineHasSentThem) {
  const std::string question = "\xff\xfa\x2c\x01" + std::string(4, '\0') + SE;
  std::string afterOpening;
  cLoopbackServer server([&](cPeer& peer) {
    AcceptOpening(peer);
    for (size_t asked = 1; asked <= 2; ++asked) {
      afterOpening += ReceiveUntil(
          peer, [&](const std::string& in) { return Count(afterOpening + in, question) >= asked; });
      // Slow to answer the first time: the flush waits for the answer.
      if (asked == 1) platform::SleepMs(400);
      peer.Send(Confirm(101, std::string("\x00\x00\xe1\x00", 4)));
    }
    peer.WaitClosed(WAIT_MS);
  });
  cNetworkChannel channel;
  ASSERT_TRUE(channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, false));
  const std::string data(1152, 'x');  // 200 ms at 57600 bit/s
  ASSERT_TRUE(channel.WriteN(data.data(), static_cast<int>(data.size())));
  double seconds = SecondsOf([&] { EXPECT_TRUE(channel.Flush()); });
  EXPECT_GT(seconds, 0.39);
  EXPECT_LT(seconds, 0.95);
  // Nothing written since: nothing to wait for.
  EXPECT_LT(SecondsOf([&] { EXPECT_TRUE(channel.Flush()); }), 0.05);
  // Answered at once: the line's time and the margin are waited for.
  ASSERT_TRUE(channel.WriteN(data.data(), static_cast<int>(data.size())));
  seconds = SecondsOf([&] { EXPECT_TRUE(channel.Flush()); });
  EXPECT_GT(seconds, 0.29);
  EXPECT_LT(seconds, 0.95);
  EXPECT_LT(SecondsOf([&] { EXPECT_TRUE(channel.Disconnect()); }), 0.5);
  server.Join();
  EXPECT_EQ(afterOpening, data + question + data + question);
}

TEST(NetworkChannel, ASettingTheServerDoesNotConfirmFailsTheOpeningNamingIt) {
  cLoopbackServer server(
      [&](cPeer& peer) {
        static int connection = 0;
        sServerScript script;
        if (connection++ == 0) {
          script.speedSet = 9600;
        } else {
          script.bSkipParity = true;
        }
        AcceptOpening(peer, script);
        peer.WaitClosed(WAIT_MS);
      },
      2);
  cNoticeRecorder notices;
  cNetworkChannel channel;
  const std::string name = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
  EXPECT_FALSE(channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, true));
  EXPECT_EQ(channel.GetOpenFailure(),
            name + ": the server did not accept the speed 57600 (it set 9600).");
  EXPECT_EQ(channel.GetErrorString(), "Could not set up the line:" + name);
  EXPECT_TRUE(channel.ErrorOccurred());
  EXPECT_TRUE(channel.SettingsRefused());
  EXPECT_FALSE(channel.IsLost()) << "a server that refuses is there: nothing to wait for";
  ASSERT_EQ(notices.Texts().size(), 1u);
  EXPECT_EQ(notices.Texts()[0],
            "Could not set up the line:" + name + "\n" + channel.GetOpenFailure());
  EXPECT_FALSE(channel.IsConnected());

  const double seconds = SecondsOf([&] {
    EXPECT_FALSE(
        channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, false));
  });
  EXPECT_EQ(channel.GetOpenFailure(),
            name + ": the server did not accept no parity (no confirmation within 3 s).");
  EXPECT_TRUE(channel.SettingsRefused());
  EXPECT_GT(seconds, 2.9);
  EXPECT_LT(seconds, 6.0);
  EXPECT_EQ(notices.Texts().size(), 1u);
}

TEST(NetworkChannel, ReadsKeepTheSerialChannelsContract) {
  cSignal done;
  cLoopbackServer server([&](cPeer& peer) {
    AcceptOpening(peer);
    // Telnet commands that keep coming are no data: the read still ends after 2 s.
    for (int i = 0; i < 100 && !done.Wait(100); ++i) peer.Send("\xff\xf1");
    peer.Send(std::string(300, 'A'));
    peer.WaitClosed(WAIT_MS);
  });
  cNetworkChannel channel;
  cWatchdog watchdog(60, "the read contract");
  EXPECT_STREQ(channel.Read(), "Ethernet not initialized");
  EXPECT_TRUE(channel.ErrorOccurred());
  char byte = 0;
  EXPECT_FALSE(channel.ReadN(&byte, 1, 1.0f));
  EXPECT_FALSE(channel.Write("ID?"));
  EXPECT_STREQ(channel.GetErrorString(), "Ethernet not initialized");
  EXPECT_TRUE(channel.PurgeRx());
  EXPECT_FALSE(channel.MarkLost());

  ASSERT_TRUE(channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_115200, false));
  const std::string name = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
  const double seconds = SecondsOf([&] { EXPECT_FALSE(channel.ReadN(&byte, 1, 0.5f)); });
  EXPECT_EQ(channel.GetErrorString(), "Error: read timeout:" + name);
  EXPECT_GT(seconds, 1.9);
  EXPECT_LT(seconds, 4.0);
  done.Set();
  EXPECT_EQ(channel.Read(), "Error: input buffer overflow:" + name);
  EXPECT_TRUE(channel.ErrorOccurred());
  channel.Disconnect();
}

}  // namespace
