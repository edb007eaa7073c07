// The TCP socket seam: the socket library, and one stream socket that connects to a server and
// exchanges raw bytes.
//
// Two ways to use it. The TCP client connects to an IPv4 address with Create and Connect and
// uses the blocking Send and Receive. A network channel connects to a host by name or
// address (IPv4 or IPv6) with ConnectTo, which sets a time limit for the connection and for
// every send, and reads with ReceiveWithin, which waits at most a given time and tells a
// connection that was closed or reset (SOCKET_GONE) from silence (0).
#ifndef HALVEX_PLATFORM_SOCKET_H
#define HALVEX_PLATFORM_SOCKET_H

#include <cstdint>
#include <string>
#include <vector>

#include "util/no_copy.h"

namespace platform {

enum eSocketStartup {
  SOCKETS_STARTED = 0,    // ready; balance with CleanupSockets
  SOCKETS_START_FAILED,   // the library did not start; nothing to clean up
  SOCKETS_WRONG_VERSION,  // started, but not version 2.0; still balance with CleanupSockets
};

// Win32: WSAStartup asking for version 2.0 and checking that exactly 2.0 was granted.
// POSIX: nothing to start.
eSocketStartup StartSockets();

// Win32: WSACleanup. POSIX: nothing.
void CleanupSockets();

// Why ConnectTo failed.
enum eConnectResult {
  CONNECT_DONE = 0,
  CONNECT_NAME_UNKNOWN,  // the name does not resolve (or resolves to no TCP address)
  CONNECT_NO_SOCKET,     // no socket could be created
  CONNECT_REFUSED,       // the host answered that nothing listens at the port
  CONNECT_NO_ANSWER,     // no answer within the time limit
  CONNECT_UNREACHABLE,   // no route to the host or its network
  CONNECT_FAILED,        // another error of the system
};

// Result of ReceiveWithin for a connection that the server closed or reset, or that failed.
constexpr int SOCKET_GONE = -1;

// A peer that stops answering without closing or resetting the connection (a server that lost
// its power, a network that went) fails the connection after about this long: keepalive probes
// begin after a few seconds of silence, and data it does not acknowledge is given up after the
// same time. The connection is then gone (SOCKET_GONE, a failed Send).
constexpr int SOCKET_DEAD_PEER_MS = 10000;

// An address a host resolved to (the system's socket address, as bytes), kept so that the
// connection can be made again without asking the name server.
struct stSocketAddress {
  int family = 0;
  int type = 0;
  int protocol = 0;
  std::string bytes;
};
typedef std::vector<stSocketAddress> tSocketAddresses;

class cTcpSocket : private cNoCopy {
 public:
  cTcpSocket();
  ~cTcpSocket();

  // Creates an IPv4 stream socket with the TCP protocol (an open one is closed first).
  bool Create();

  // Connects to address[0].address[1].address[2].address[3] at port.
  bool Connect(const uint8_t address[4], uint16_t port);

  // Resolves host (a name, an IPv4 address, or an IPv6 address without brackets) and connects
  // to the first of its addresses that accepts, all within timeoutMs (an open socket is closed
  // first). The connection sends at once (no Nagle delay), a send that cannot go on for
  // timeoutMs fails, and a peer that stops answering is found out (SOCKET_DEAD_PEER_MS). On
  // failure systemText holds the system's reason; on success the numeric address connected to
  // ("127.0.0.1:2217", "[::1]:2217"). The resolution itself may take longer than timeoutMs
  // when the name server does not answer. With known: when it holds addresses, they are tried
  // instead of resolving host again (port included); after a connection it holds the
  // addresses, the one connected to first.
  eConnectResult ConnectTo(const char* host, uint16_t port, int timeoutMs, std::string& systemText,
                           tSocketAddresses* known = nullptr);

  // Sends n bytes, looping over partial sends. Returns the count sent; less than n only on an
  // error. A peer that has gone never raises a signal.
  int Send(const char* data, int n);

  // Receives up to n bytes, waiting for at least one. Returns the count, 0 when the peer
  // closed the connection, -1 on an error.
  int Receive(char* dest, int n);

  // Receives up to n bytes: at once what has arrived, else waits up to waitMs for the first
  // byte. Returns the count, 0 after waitMs of silence, SOCKET_GONE when the peer closed or
  // reset the connection or the socket failed.
  int ReceiveWithin(char* dest, int n, int waitMs);

  // Ends the sending direction (the peer reads the end of the stream); receiving goes on.
  void ShutdownSend();

  void Close();
  bool IsOpen() const;

 private:
#ifdef _WIN32
  uintptr_t handle;  // SOCKET
#else
  int fd;
#endif
};

}  // namespace platform

#endif
