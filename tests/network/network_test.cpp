#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/network.h"
#include "loopback_server.h"
#include "platform/clock.h"
#include "support/notices.h"

namespace {

const int WAIT_MS = 10000;

// The client leaves the raw-byte operations to a complete channel; these stand-ins let the
// tests create one.
class cTestClient : public cNetworkClient {
 public:
  using cNetworkClient::ReadN;
  bool IsConnected() override { return false; }
  bool WriteN(const char*, int) override { return false; }
  bool Flush() override { return true; }
  bool ReadN(char*, int, float) override { return false; }
  bool PurgeRx() override { return true; }
};

class NetworkClient : public ::testing::Test {
 protected:
  cNoticeRecorder notices;
};

TEST_F(NetworkClient, WriteSendsTextThenLineEnd) {
  std::string received;
  cLoopbackServer server([&](cPeer& peer) { received = peer.Receive(100, WAIT_MS); });
  cTestClient client;
  EXPECT_EQ(client.GetType(), 1);
  EXPECT_FALSE(client.Write("NOT SENT"));
  ASSERT_TRUE(client.Initialize("127.0.0.1", server.Port()));
  EXPECT_TRUE(client.Write("HELLO"));
  EXPECT_TRUE(client.Write(""));
  EXPECT_TRUE(client.Disconnect());
  EXPECT_FALSE(client.Disconnect());
  server.Join();
  EXPECT_EQ(received, "HELLO\r\n\r\n");
  EXPECT_FALSE(client.ErrorOccurred());
  EXPECT_TRUE(notices.Notices().empty());
}

TEST_F(NetworkClient, ReadCollectsOneReply) {
  // Each step is sent only after the client read the one before, so receives never merge
  // two steps.
  cSignal sent[4], read[4];
  cLoopbackServer server([&](cPeer& peer) {
    // A reply in two pieces: the read must wait for the line end.
    peer.Send("OK");
    platform::SleepMs(100);
    peer.Send("\r\n");
    read[0].Wait(WAIT_MS);
    // Bytes behind the line end in the same receive stay in the reply.
    peer.Send("AB\r\nCD");
    sent[1].Set();
    read[1].Wait(WAIT_MS);
    peer.Send("READY\r\n");
    read[2].Wait(WAIT_MS);
    // 300 bytes without a line end: the reply ends with the first 255.
    peer.Send(std::string(300, 'A'));
    sent[3].Set();
    read[3].Wait(WAIT_MS);
    peer.Send("NEXT\r\n");
    peer.WaitClosed(WAIT_MS);
  });
  cTestClient client;
  ASSERT_TRUE(client.Initialize("127.0.0.1", server.Port()));
  cWatchdog watchdog(30, "Read");
  EXPECT_STREQ(client.Read(), "OK\r\n");
  read[0].Set();
  ASSERT_TRUE(sent[1].Wait(WAIT_MS));
  EXPECT_STREQ(client.Read(), "AB\r\nCD");
  read[1].Set();
  EXPECT_STREQ(client.ReadStripTerm(), "READY");
  read[2].Set();
  ASSERT_TRUE(sent[3].Wait(WAIT_MS));
  EXPECT_EQ(std::string(client.Read()), std::string(255, 'A'));
  read[3].Set();
  EXPECT_STREQ(client.Read(), "NEXT\r\n");
  client.Disconnect();
}

TEST_F(NetworkClient, ReadNTakesOnlyWhatIsWanted) {
  cSignal sent, nextWanted;
  cLoopbackServer server([&](cPeer& peer) {
    peer.Send("ABCDEFGHIJ");
    sent.Set();
    nextWanted.Wait(WAIT_MS);
    peer.Send(std::string(255, 'z'));
    peer.WaitClosed(WAIT_MS);
  });
  cTestClient client;
  ASSERT_TRUE(client.Initialize("127.0.0.1", server.Port()));
  cWatchdog watchdog(30, "ReadN");
  ASSERT_TRUE(sent.Wait(WAIT_MS));
  // All ten bytes are waiting; each call takes only its count and leaves the rest.
  EXPECT_STREQ(client.ReadN(4), "ABCD");
  EXPECT_STREQ(client.ReadN(0), "");
  EXPECT_STREQ(client.ReadN(300), "too many bytes to read");
  EXPECT_STREQ(client.ReadN(256), "too many bytes to read");
  EXPECT_STREQ(client.ReadN(6), "EFGHIJ");
  nextWanted.Set();
  EXPECT_EQ(std::string(client.ReadN(255)), std::string(255, 'z'));
  client.Disconnect();
}

TEST_F(NetworkClient, ServerCloseEndsReadsWithReceiveError) {
  cSignal closed;
  cLoopbackServer server(
      [&](cPeer& peer) {
        peer.Send("PART");
        peer.Close();
        closed.Set();
      },
      2);
  cWatchdog watchdog(30, "a read from a closed server");
  cTestClient client;
  ASSERT_TRUE(client.Initialize("127.0.0.1", server.Port()));
  EXPECT_STREQ(client.Read(), " Receive Error");
  EXPECT_STREQ(client.ReadN(3), " Receive Error");
  // Writing to the gone server neither fails the call nor ends the process.
  for (int i = 0; i < 20; ++i) {
    EXPECT_TRUE(client.Write("ANYONE"));
    platform::SleepMs(5);
  }

  ASSERT_TRUE(client.Initialize("127.0.0.1", server.Port()));
  EXPECT_STREQ(client.ReadN(10), " Receive Error");
  client.Disconnect();
  EXPECT_TRUE(notices.Notices().empty());
}

TEST_F(NetworkClient, ClosedClientAndReconnect) {
  std::vector<bool> closedByClient;
  std::string received;
  cLoopbackServer server(
      [&](cPeer& peer) {
        if (closedByClient.size() < 2) {
          closedByClient.push_back(peer.WaitClosed(WAIT_MS));
        } else {
          received = peer.Receive(100, WAIT_MS);
        }
      },
      3);
  cTestClient client;
  cWatchdog watchdog(30, "the reconnection test");
  EXPECT_STREQ(client.Read(), "Ethernet not initialized");
  EXPECT_STREQ(client.ReadStripTerm(), "Ethernet not initialized");
  EXPECT_STREQ(client.ReadN(1), "Ethernet not initialized");
  EXPECT_STREQ(client.ReadN(300), "Ethernet not initialized");
  EXPECT_FALSE(client.ErrorOccurred());

  ASSERT_TRUE(client.Initialize("127.0.0.1", server.Port()));
  EXPECT_TRUE(client.Disconnect());
  EXPECT_STREQ(client.Read(), "Ethernet not initialized");
  EXPECT_FALSE(client.Write("LOST"));
  // Reconnect opens a new connection to the same server; on an open client it does nothing.
  EXPECT_TRUE(client.Reconnect());
  EXPECT_TRUE(client.Reconnect());
  // Initialize on an open client closes the old connection first.
  ASSERT_TRUE(client.Initialize("127.0.0.1", server.Port()));
  EXPECT_TRUE(client.Write("AGAIN"));
  client.Disconnect();
  server.Join();
  EXPECT_EQ(closedByClient, std::vector<bool>({true, true}));
  EXPECT_EQ(received, "AGAIN\r\n");
  EXPECT_EQ(server.Accepted(), 3);
}

TEST_F(NetworkClient, RefusedConnectionIsReportedAndShown) {
  const unsigned port = ClosedPort();
  ASSERT_NE(port, 0u);
  const std::string expected = "Could not connect to server:127.0.0.1 port:" + std::to_string(port);
  cTestClient client;
  EXPECT_FALSE(client.Initialize("127.0.0.1", port));
  EXPECT_EQ(client.GetErrorString(), expected);
  ASSERT_EQ(notices.Notices().size(), 1u);
  EXPECT_EQ(notices.Notices()[0].text, expected);
  EXPECT_EQ(notices.Notices()[0].caption, "Error");
  EXPECT_EQ(notices.Notices()[0].icon, platform::NOTICE_WARNING);
  EXPECT_TRUE(client.ErrorOccurred());
  EXPECT_FALSE(client.ErrorOccurred());
  EXPECT_STREQ(client.Read(), "Ethernet not initialized");
  EXPECT_FALSE(client.Disconnect());
  // Reconnect tries the same server again.
  EXPECT_FALSE(client.Reconnect());
  EXPECT_EQ(notices.Notices().size(), 2u);
  EXPECT_TRUE(client.ErrorOccurred());
}

TEST_F(NetworkClient, AddressThatIsNoDottedQuadIsRefused) {
  std::string received;
  cLoopbackServer server([&](cPeer& peer) { received = peer.Receive(100, WAIT_MS); });
  cTestClient client;
  // Cut to 15 characters, "127.000.000.0011" would read as 127.0.0.1 on some libraries.
  const char* const refused[] = {"127.000.000.0011",
                                 "127.0.0.1.1234567890",
                                 "localhost",
                                 "1.2.3",
                                 "256.0.0.1",
                                 "1.2.3.4.",
                                 "",
                                 " 127.0.0.1",
                                 "127.0.0.01",
                                 "1..2.3",
                                 "127.0.0.1 ",
                                 "-1.0.0.1",
                                 nullptr};
  for (const char* address : refused) {
    cNoticeRecorder recorder;
    EXPECT_FALSE(client.Initialize(address, server.Port())) << (address ? address : "null");
    EXPECT_TRUE(client.ErrorOccurred());
    EXPECT_EQ(recorder.Notices().size(), 1u);
    EXPECT_FALSE(client.Reconnect());
  }
  client.Initialize("127.000.000.0011", server.Port());
  EXPECT_STREQ(client.GetErrorString(), "Server address too long (at most 15 characters)");
  client.Initialize("localhost", server.Port());
  EXPECT_STREQ(client.GetErrorString(), "Invalid server address:localhost");
  EXPECT_EQ(server.Accepted(), 0);

  // The first connection the server sees is the valid one.
  ASSERT_TRUE(client.Initialize("127.0.0.1", server.Port()));
  EXPECT_TRUE(client.Write("GOOD"));
  client.Disconnect();
  server.Join();
  EXPECT_EQ(received, "GOOD\r\n");
}

}  // namespace
