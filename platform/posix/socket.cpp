#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/socket.h"

namespace platform {

// Linux reports a write to a closed connection with EPIPE instead of a SIGPIPE only when
// asked per call.
#ifdef MSG_NOSIGNAL
static const int SEND_FLAGS = MSG_NOSIGNAL;
#else
static const int SEND_FLAGS = 0;
#endif

eSocketStartup StartSockets() {
  return SOCKETS_STARTED;
}

void CleanupSockets() {}

cTcpSocket::cTcpSocket() : fd(-1) {}

cTcpSocket::~cTcpSocket() {
  Close();
}

bool cTcpSocket::Create() {
  Close();
  fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
#ifdef SO_NOSIGPIPE
  if (fd >= 0) {
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof(on));
  }
#endif
  return fd >= 0;
}

bool cTcpSocket::Connect(const uint8_t address[4], uint16_t port) {
  if (fd < 0) return false;
  sockaddr_in server;
  std::memset(&server, 0, sizeof(server));
  server.sin_family = AF_INET;
  std::memcpy(&server.sin_addr.s_addr, address, 4);
  server.sin_port = htons(port);
  return ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof(server)) == 0;
}

int cTcpSocket::Send(const char* data, int n) {
  if (fd < 0) return -1;
  int sent = 0;
  while (sent < n) {
    const ssize_t count = ::send(fd, data + sent, static_cast<size_t>(n - sent), SEND_FLAGS);
    if (count < 0) {
      if (errno == EINTR) continue;
      break;
    }
    sent += static_cast<int>(count);
  }
  return sent;
}

int cTcpSocket::Receive(char* dest, int n) {
  if (fd < 0 || n < 0) return -1;
  for (;;) {
    const ssize_t count = ::recv(fd, dest, static_cast<size_t>(n), 0);
    if (count < 0 && errno == EINTR) continue;
    return count < 0 ? -1 : static_cast<int>(count);
  }
}

void cTcpSocket::Close() {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

bool cTcpSocket::IsOpen() const {
  return fd >= 0;
}

}  // namespace platform
