// The TCP socket seam: the socket library, and one IPv4 stream socket that connects to a
// server and exchanges raw bytes. Blocking calls throughout.
#ifndef HALVEX_PLATFORM_SOCKET_H
#define HALVEX_PLATFORM_SOCKET_H

#include <cstdint>

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

class cTcpSocket {
 public:
  cTcpSocket();
  ~cTcpSocket();
  cTcpSocket(const cTcpSocket&) = delete;
  cTcpSocket& operator=(const cTcpSocket&) = delete;

  // Creates an IPv4 stream socket with the TCP protocol (an open one is closed first).
  bool Create();

  // Connects to address[0].address[1].address[2].address[3] at port.
  bool Connect(const uint8_t address[4], uint16_t port);

  // Sends n bytes, looping over partial sends. Returns the count sent; less than n only on an
  // error. A peer that has gone never raises a signal.
  int Send(const char* data, int n);

  // Receives up to n bytes, waiting for at least one. Returns the count, 0 when the peer
  // closed the connection, -1 on an error.
  int Receive(char* dest, int n);

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
