#include <gtest/gtest.h>

#include <string>

#include "loopback_server.h"
#include "platform/socket.h"
#include "support/wait.h"

namespace {

const int WAIT_MS = 10000;

// Keeps the socket library started for a test (Winsock; nothing on POSIX).
struct cSockets {
  cSockets() { platform::StartSockets(); }
  ~cSockets() { platform::CleanupSockets(); }
};

std::string ReceiveAll(platform::cTcpSocket& socket, size_t n) {
  std::string data;
  char buffer[64];
  while (data.size() < n) {
    const int count = socket.ReceiveWithin(buffer, sizeof(buffer), WAIT_MS);
    if (count <= 0) break;
    data.append(buffer, static_cast<size_t>(count));
  }
  return data;
}

// By name, by IPv4 and by IPv6 address; then silence, data and the server's end, told apart.
TEST(Socket, ConnectsByNameOrAddressAndTellsSilenceFromTheEnd) {
  cSockets sockets;
  struct {
    const char* host;
    bool bIpv6;
    const char* address;
  } const cases[] = {{"localhost", false, "127.0.0.1:"},
                     {"127.0.0.1", false, "127.0.0.1:"},
                     {"::1", true, "[::1]:"}};
  for (const auto& entry : cases) {
    cSignal silenceSeen;
    std::string fromClient;
    cLoopbackServer server(
        [&](cPeer& peer) {
          fromClient = peer.Receive(4, WAIT_MS);
          silenceSeen.Wait(WAIT_MS);
          peer.Send("pong");
        },
        1, entry.bIpv6);
    if (!server.IsListening()) {
      std::printf("no IPv6 loopback: %s not tried\n", entry.host);
      continue;
    }
    platform::cTcpSocket socket;
    std::string text;
    ASSERT_EQ(socket.ConnectTo(entry.host, static_cast<uint16_t>(server.Port()), 5000, text),
              platform::CONNECT_DONE)
        << entry.host << ": " << text;
    EXPECT_EQ(text, entry.address + std::to_string(server.Port()));
    EXPECT_EQ(socket.Send("ping", 4), 4);
    char buffer[16];
    const int64_t ctStart = platform::GetMonotonicMs();
    EXPECT_EQ(socket.ReceiveWithin(buffer, sizeof(buffer), 300), 0);
    EXPECT_GE(SecondsSince(ctStart), 0.25);
    silenceSeen.Set();
    EXPECT_EQ(ReceiveAll(socket, 4), "pong");
    server.Join();
    EXPECT_EQ(fromClient, "ping");
    // The server has gone: that is no silence, and it is told at once.
    EXPECT_TRUE(WaitFor([&] { return socket.ReceiveWithin(buffer, 1, 100) != 0; }, WAIT_MS));
    EXPECT_EQ(socket.ReceiveWithin(buffer, sizeof(buffer), 2000), platform::SOCKET_GONE);
  }
}

TEST(Socket, AResetIsTheEndToo) {
  cSockets sockets;
  cLoopbackServer server([&](cPeer& peer) {
    peer.Receive(1, WAIT_MS);
    peer.Reset();
  });
  platform::cTcpSocket socket;
  std::string text;
  ASSERT_EQ(socket.ConnectTo("127.0.0.1", static_cast<uint16_t>(server.Port()), 5000, text),
            platform::CONNECT_DONE);
  socket.Send("x", 1);
  server.Join();
  char buffer[4];
  EXPECT_EQ(socket.ReceiveWithin(buffer, sizeof(buffer), WAIT_MS), platform::SOCKET_GONE);
  // Sending into a reset connection fails (and raises no signal).
  EXPECT_TRUE(WaitFor([&] { return socket.Send("y", 1) < 1; }, WAIT_MS));
}

// The addresses of the first connection are used again without asking the name server: a
// name that no longer resolves still connects.
TEST(Socket, ResolvedAddressesAreUsedAgainWithoutTheName) {
  cSockets sockets;
  cLoopbackServer server([](cPeer& peer) { peer.WaitClosed(WAIT_MS); }, 2);
  const uint16_t port = static_cast<uint16_t>(server.Port());
  const std::string address = "127.0.0.1:" + std::to_string(port);
  platform::cTcpSocket socket;
  std::string text;
  platform::tSocketAddresses known;
  ASSERT_EQ(socket.ConnectTo("localhost", port, 5000, text, &known), platform::CONNECT_DONE);
  EXPECT_EQ(text, address);
  ASSERT_FALSE(known.empty());
  socket.Close();
  EXPECT_EQ(socket.ConnectTo("no-such-host.invalid", port, 5000, text, &known),
            platform::CONNECT_DONE)
      << text;
  EXPECT_EQ(text, address) << "the address that answered is tried first";
  socket.Close();
  server.Join();
}

TEST(Socket, FailuresSayWhy) {
  cSockets sockets;
  platform::cTcpSocket socket;
  std::string text;
  EXPECT_EQ(socket.ConnectTo("127.0.0.1", static_cast<uint16_t>(ClosedPort()), 5000, text),
            platform::CONNECT_REFUSED);
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(socket.IsOpen());
  EXPECT_EQ(socket.ConnectTo("no-such-host.invalid", 2217, 5000, text),
            platform::CONNECT_NAME_UNKNOWN);
  EXPECT_FALSE(text.empty());
  char buffer[4];
  EXPECT_EQ(socket.ReceiveWithin(buffer, sizeof(buffer), 10), platform::SOCKET_GONE);
}

}  // namespace
