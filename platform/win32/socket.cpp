#include <winsock2.h>
// after winsock2.h, whose types they use
#include <mstcpip.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/socket.h"
#include "platform/win32/system_text.h"

namespace platform {

namespace {

#ifndef TCP_MAXRT
const int TCP_MAXRT = 5;  // ws2ipdef.h of newer SDKs: seconds a segment is retransmitted
#endif

eConnectResult Classify(int error) {
  switch (error) {
    case WSAECONNREFUSED:
      return CONNECT_REFUSED;
    case WSAETIMEDOUT:
      return CONNECT_NO_ANSWER;
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN:
      return CONNECT_UNREACHABLE;
    default:
      return CONNECT_FAILED;
  }
}

bool SetBlocking(SOCKET s, bool bBlocking) {
  u_long nonBlocking = bBlocking ? 0 : 1;
  return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

timeval Timeval(int64_t ms) {
  timeval value;
  value.tv_sec = static_cast<long>(ms / 1000);
  value.tv_usec = static_cast<long>((ms % 1000) * 1000);
  return value;
}

// Waits until a connection begun on a non-blocking socket is made or has failed, at most
// waitMs. Returns its error (0 when made), WSAETIMEDOUT when the time ran out.
int FinishConnect(SOCKET s, int64_t waitMs) {
  if (waitMs <= 0) return WSAETIMEDOUT;
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval limit = Timeval(waitMs);
  const int ready = select(0, nullptr, &writable, &failed, &limit);
  if (ready == SOCKET_ERROR) return WSAGetLastError();
  if (ready == 0) return WSAETIMEDOUT;
  int error = 0;
  int length = sizeof(error);
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return WSAGetLastError();
  }
  if (error == 0 && FD_ISSET(s, &failed)) return WSAECONNREFUSED;
  return error;
}

std::string NumericAddress(const sockaddr* address, int length) {
  char szHost[NI_MAXHOST];
  char szPort[NI_MAXSERV];
  if (getnameinfo(address, length, szHost, sizeof(szHost), szPort, sizeof(szPort),
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
  const int status = getaddrinfo(host, std::to_string(port).c_str(), &hints, &list);
  if (status != 0) {
    systemText = SystemText(status);
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
  freeaddrinfo(list);
  return true;
}

// Keepalive probes after 4 s of silence, then every 600 ms; Windows ends the connection after
// 10 unanswered ones (a number it does not let change): SOCKET_DEAD_PEER_MS. Data unacknowledged
// for as long ends it too. A failure keeps the system's own (longer) limits.
void FindDeadPeer(SOCKET s) {
  tcp_keepalive values;
  values.onoff = 1;
  values.keepalivetime = 4000;
  values.keepaliveinterval = (SOCKET_DEAD_PEER_MS - values.keepalivetime) / 10;
  DWORD returned = 0;
  WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof(values), nullptr, 0, &returned, nullptr, nullptr);
  const DWORD unacknowledgedSeconds = SOCKET_DEAD_PEER_MS / 1000;
  setsockopt(s, IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char*>(&unacknowledgedSeconds),
             sizeof(unacknowledgedSeconds));
}

}  // namespace

eSocketStartup StartSockets() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return SOCKETS_START_FAILED;
  if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 0) return SOCKETS_WRONG_VERSION;
  return SOCKETS_STARTED;
}

void CleanupSockets() {
  WSACleanup();
}

cTcpSocket::cTcpSocket() : handle(INVALID_SOCKET) {}

cTcpSocket::~cTcpSocket() {
  Close();
}

bool cTcpSocket::Create() {
  Close();
  handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return handle != INVALID_SOCKET;
}

bool cTcpSocket::Connect(const uint8_t address[4], uint16_t port) {
  if (handle == INVALID_SOCKET) return false;
  sockaddr_in server;
  std::memset(&server, 0, sizeof(server));
  server.sin_family = AF_INET;
  std::memcpy(&server.sin_addr.s_addr, address, 4);
  server.sin_port = htons(port);
  return ::connect(static_cast<SOCKET>(handle), reinterpret_cast<const sockaddr*>(&server),
                   sizeof(server)) == 0;
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
    const int length = static_cast<int>(entry.bytes.size());
    // The time left is shared among the addresses left, so one that never answers leaves
    // time for the next.
    const int64_t waitMs =
        (ctDeadline - GetMonotonicMs()) / static_cast<int64_t>(addresses.size() - i);
    const SOCKET s = ::socket(entry.family, entry.type, entry.protocol);
    if (s == INVALID_SOCKET) {
      result = CONNECT_NO_SOCKET;
      systemText = SystemText(WSAGetLastError());
      continue;
    }
    int error = 0;
    if (!SetBlocking(s, false)) {
      error = WSAGetLastError();
    } else if (::connect(s, address, length) != 0) {
      error = WSAGetLastError();
      if (error == WSAEWOULDBLOCK) error = FinishConnect(s, waitMs);
    }
    if (error == 0 && SetBlocking(s, true)) {
      BOOL on = TRUE;
      setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
      const DWORD sendLimit = static_cast<DWORD>(timeoutMs);
      setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendLimit),
                 sizeof(sendLimit));
      FindDeadPeer(s);
      handle = s;
      systemText = NumericAddress(address, length);
      if (known != nullptr) {
        std::rotate(addresses.begin(), addresses.begin() + static_cast<std::ptrdiff_t>(i),
                    addresses.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        *known = addresses;
      }
      return CONNECT_DONE;
    }
    if (error == 0) error = WSAGetLastError();
    closesocket(s);
    result = Classify(error);
    systemText = SystemText(error);
  }
  return result;
}

int cTcpSocket::Send(const char* data, int n) {
  if (handle == INVALID_SOCKET) return -1;
  int sent = 0;
  while (sent < n) {
    const int count = ::send(static_cast<SOCKET>(handle), data + sent, n - sent, 0);
    if (count == SOCKET_ERROR) break;
    sent += count;
  }
  return sent;
}

int cTcpSocket::Receive(char* dest, int n) {
  if (handle == INVALID_SOCKET || n < 0) return -1;
  const int count = ::recv(static_cast<SOCKET>(handle), dest, n, 0);
  return count == SOCKET_ERROR ? -1 : count;
}

int cTcpSocket::ReceiveWithin(char* dest, int n, int waitMs) {
  if (handle == INVALID_SOCKET || n < 0) return SOCKET_GONE;
  if (n == 0) return 0;
  const SOCKET s = static_cast<SOCKET>(handle);
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval limit = Timeval(waitMs > 0 ? waitMs : 0);
  const int ready = select(0, &readable, nullptr, nullptr, &limit);
  if (ready == SOCKET_ERROR) return SOCKET_GONE;
  if (ready == 0) return 0;
  // Readable: the bytes, or the end of the connection, are there; recv does not wait.
  const int count = ::recv(s, dest, n, 0);
  if (count > 0) return count;
  return SOCKET_GONE;
}

void cTcpSocket::ShutdownSend() {
  if (handle != INVALID_SOCKET) ::shutdown(static_cast<SOCKET>(handle), SD_SEND);
}

void cTcpSocket::Close() {
  if (handle != INVALID_SOCKET) ::closesocket(static_cast<SOCKET>(handle));
  handle = INVALID_SOCKET;
}

bool cTcpSocket::IsOpen() const {
  return handle != INVALID_SOCKET;
}

}  // namespace platform
