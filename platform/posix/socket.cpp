#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/socket.h"

namespace platform {

// Linux reports a write to a closed connection with EPIPE instead of a SIGPIPE only when
// asked per call.
#ifdef MSG_NOSIGNAL
static const int SEND_FLAGS = MSG_NOSIGNAL;
#else
static const int SEND_FLAGS = 0;
#endif

namespace {

void NoSignalOnSend(int fd) {
#ifdef SO_NOSIGPIPE
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof(on));
#else
  (void)fd;
#endif
}

bool SetBlocking(int fd, bool bBlocking) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  return ::fcntl(fd, F_SETFL, bBlocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}

eConnectResult Classify(int error) {
  switch (error) {
    case ECONNREFUSED:
      return CONNECT_REFUSED;
    case ETIMEDOUT:
      return CONNECT_NO_ANSWER;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
      return CONNECT_UNREACHABLE;
    default:
      return CONNECT_FAILED;
  }
}

// Waits until a connection begun on a non-blocking socket is made or has failed, at most
// waitMs. Returns its error (0 when made), ETIMEDOUT when the time ran out.
int FinishConnect(int fd, int64_t waitMs) {
  const int64_t ctDeadline = GetMonotonicMs() + waitMs;
  for (;;) {
    const int64_t left = ctDeadline - GetMonotonicMs();
    if (left <= 0) return ETIMEDOUT;
    pollfd entry = {fd, POLLOUT, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return errno;
    if (ready == 0) return ETIMEDOUT;
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
  }
}

std::string NumericAddress(const sockaddr* address, socklen_t length) {
  char szHost[NI_MAXHOST];
  char szPort[NI_MAXSERV];
  if (::getnameinfo(address, length, szHost, sizeof(szHost), szPort, sizeof(szPort),
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return std::string();
  }
  return address->sa_family == AF_INET6 ? "[" + std::string(szHost) + "]:" + szPort
                                        : std::string(szHost) + ":" + szPort;
}

// Resolves host into the addresses to try, in the resolver's order; false with the reason.
bool Resolve(const char* host, uint16_t port, tSocketAddresses& addresses,
             std::string& systemText) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const int status = ::getaddrinfo(host, std::to_string(port).c_str(), &hints, &list);
  if (status != 0) {
    systemText = status == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(status);
    return false;
  }
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    stSocketAddress address;
    address.family = entry->ai_family;
    address.type = entry->ai_socktype;
    address.protocol = entry->ai_protocol;
    address.bytes.assign(reinterpret_cast<const char*>(entry->ai_addr), entry->ai_addrlen);
    addresses.push_back(address);
  }
  ::freeaddrinfo(list);
  return true;
}

// Keepalive probes after 4 s of silence, every 2 s, 3 unanswered ones end the connection; data
// unacknowledged for as long ends it too: SOCKET_DEAD_PEER_MS. A system without the options
// keeps its own (longer) limits.
void FindDeadPeer(int fd) {
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof(on));
#if defined(TCP_KEEPIDLE) && defined(TCP_KEEPINTVL) && defined(TCP_KEEPCNT)
  int idleSeconds = 4;
  int intervalSeconds = 2;
  int probes = (SOCKET_DEAD_PEER_MS / 1000 - idleSeconds) / intervalSeconds;
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof(idleSeconds));
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds, sizeof(intervalSeconds));
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof(probes));
#endif
#ifdef TCP_USER_TIMEOUT
  unsigned int unacknowledgedMs = SOCKET_DEAD_PEER_MS;
  ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledgedMs, sizeof(unacknowledgedMs));
#endif
}

}  // namespace

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
  if (fd >= 0) NoSignalOnSend(fd);
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

eConnectResult cTcpSocket::ConnectTo(const char* host, uint16_t port, int timeoutMs,
                                     std::string& systemText, tSocketAddresses* known) {
  Close();
  systemText.clear();
  const int64_t ctDeadline = GetMonotonicMs() + timeoutMs;
  tSocketAddresses addresses;
  if (known != nullptr && !known->empty()) {
    addresses = *known;
  } else if (!Resolve(host, port, addresses, systemText)) {
    return CONNECT_NAME_UNKNOWN;
  }
  eConnectResult result = CONNECT_NAME_UNKNOWN;
  systemText = "no TCP address";
  for (size_t i = 0; i < addresses.size(); ++i) {
    const stSocketAddress& entry = addresses[i];
    const sockaddr* address = reinterpret_cast<const sockaddr*>(entry.bytes.data());
    const socklen_t length = static_cast<socklen_t>(entry.bytes.size());
    // The time left is shared among the addresses left, so one that never answers leaves
    // time for the next.
    const int64_t waitMs =
        (ctDeadline - GetMonotonicMs()) / static_cast<int64_t>(addresses.size() - i);
    const int s = ::socket(entry.family, entry.type | SOCK_CLOEXEC, entry.protocol);
    if (s < 0) {
      result = CONNECT_NO_SOCKET;
      systemText = std::strerror(errno);
      continue;
    }
    NoSignalOnSend(s);
    int error = 0;
    if (!SetBlocking(s, false)) {
      error = errno;
    } else if (::connect(s, address, length) != 0) {
      error = errno == EINPROGRESS ? FinishConnect(s, waitMs) : errno;
    }
    if (error == 0 && SetBlocking(s, true)) {
      int on = 1;
      ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
      timeval sendLimit;
      sendLimit.tv_sec = timeoutMs / 1000;
      sendLimit.tv_usec = (timeoutMs % 1000) * 1000;
      ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof(sendLimit));
      FindDeadPeer(s);
      fd = s;
      systemText = NumericAddress(address, length);
      if (known != nullptr) {
        std::rotate(addresses.begin(), addresses.begin() + static_cast<std::ptrdiff_t>(i),
                    addresses.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        *known = addresses;
      }
      return CONNECT_DONE;
    }
    if (error == 0) error = errno;
    ::close(s);
    result = Classify(error);
    systemText = std::strerror(error);
  }
  return result;
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

int cTcpSocket::ReceiveWithin(char* dest, int n, int waitMs) {
  if (fd < 0 || n < 0) return SOCKET_GONE;
  if (n == 0) return 0;
  const int64_t ctDeadline = GetMonotonicMs() + (waitMs > 0 ? waitMs : 0);
  for (;;) {
    const int64_t left = ctDeadline - GetMonotonicMs();
    pollfd entry = {fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return SOCKET_GONE;
    }
    if (ready == 0) return 0;
    const ssize_t count = ::recv(fd, dest, static_cast<size_t>(n), MSG_DONTWAIT);
    if (count > 0) return static_cast<int>(count);
    if (count == 0) return SOCKET_GONE;
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return SOCKET_GONE;
    if (left <= 0) return 0;
  }
}

void cTcpSocket::ShutdownSend() {
  if (fd >= 0) ::shutdown(fd, SHUT_WR);
}

void cTcpSocket::Close() {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

bool cTcpSocket::IsOpen() const {
  return fd >= 0;
}

}  // namespace platform
