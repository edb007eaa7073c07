#include "loopback_server.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
typedef int socklen_t;
static const intptr_t NO_SOCKET = static_cast<intptr_t>(INVALID_SOCKET);
static void CloseSocket(intptr_t s) {
  closesocket(static_cast<SOCKET>(s));
}
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
static const intptr_t NO_SOCKET = -1;
static void CloseSocket(intptr_t s) {
  ::close(static_cast<int>(s));
}
#endif

namespace {

#ifdef _WIN32
typedef SOCKET tSocket;
#else
typedef int tSocket;
#endif

// True when s is readable (data, a connection, or the peer's close) within timeoutMs.
bool Readable(intptr_t s, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<tSocket>(s), &set);
  timeval timeout;
  timeout.tv_sec = timeoutMs / 1000;
  timeout.tv_usec = (timeoutMs % 1000) * 1000;
  return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &timeout) > 0;
}

intptr_t ListenOnLoopback(unsigned* port, bool bIpv6 = false) {
  const intptr_t s =
      static_cast<intptr_t>(socket(bIpv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (s == NO_SOCKET) return NO_SOCKET;
  sockaddr_in address;
  sockaddr_in6 address6;
  std::memset(&address, 0, sizeof(address));
  std::memset(&address6, 0, sizeof(address6));
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address6.sin6_family = AF_INET6;
  address6.sin6_addr = in6addr_loopback;
  sockaddr* bound =
      bIpv6 ? reinterpret_cast<sockaddr*>(&address6) : reinterpret_cast<sockaddr*>(&address);
  socklen_t length = bIpv6 ? sizeof(address6) : sizeof(address);
  if (bind(static_cast<tSocket>(s), bound, length) != 0 ||
      listen(static_cast<tSocket>(s), 4) != 0 ||
      getsockname(static_cast<tSocket>(s), bound, &length) != 0) {
    CloseSocket(s);
    return NO_SOCKET;
  }
  *port = ntohs(bIpv6 ? address6.sin6_port : address.sin_port);
  return s;
}

// Keeps the socket library started while the test server exists.
struct cSocketLibrary {
  cSocketLibrary() {
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
  }
  ~cSocketLibrary() {
#ifdef _WIN32
    WSACleanup();
#endif
  }
};

}  // namespace

void cPeer::Send(const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const int count = send(static_cast<tSocket>(handle), data.data() + sent,
                           static_cast<int>(data.size() - sent), 0);
    if (count <= 0) return;
    sent += static_cast<size_t>(count);
  }
}

std::string cPeer::Receive(size_t n, int timeoutMs) {
  std::string data;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (data.size() < n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0 || !Readable(handle, static_cast<int>(left))) break;
    char buffer[512];
    const size_t want = n - data.size() < sizeof(buffer) ? n - data.size() : sizeof(buffer);
    const int count = recv(static_cast<tSocket>(handle), buffer, static_cast<int>(want), 0);
    if (count <= 0) break;
    data.append(buffer, static_cast<size_t>(count));
  }
  return data;
}

bool cPeer::WaitClosed(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0 || !Readable(handle, static_cast<int>(left))) return false;
    char buffer[512];
    if (recv(static_cast<tSocket>(handle), buffer, sizeof(buffer), 0) <= 0) return true;
  }
}

void cPeer::Reset() {
  linger option;
  option.l_onoff = 1;
  option.l_linger = 0;
  setsockopt(static_cast<tSocket>(handle), SOL_SOCKET, SO_LINGER,
             reinterpret_cast<const char*>(&option), sizeof(option));
  Close();
}

void cPeer::Close() {
  if (handle != NO_SOCKET) CloseSocket(handle);
  handle = NO_SOCKET;
}

cLoopbackServer::cLoopbackServer(Session session, int connections, bool bIpv6)
    : listener(NO_SOCKET), port(0), accepted(0) {
  static cSocketLibrary library;
  listener = ListenOnLoopback(&port, bIpv6);
  if (listener == NO_SOCKET) {
    // A machine without IPv6 on its loopback: IsListening() tells the test.
    if (bIpv6) return;
    std::fprintf(stderr, "test server: cannot listen on 127.0.0.1\n");
    std::abort();
  }
  thread = std::thread(&cLoopbackServer::Serve, this, session, connections);
}

cLoopbackServer::~cLoopbackServer() {
  Join();
  if (listener != NO_SOCKET) CloseSocket(listener);
}

void cLoopbackServer::Join() {
  if (thread.joinable()) thread.join();
}

bool cLoopbackServer::IsListening() const {
  return listener != NO_SOCKET;
}

int cLoopbackServer::Accepted() {
  std::lock_guard<std::mutex> lock(mutex);
  return accepted;
}

void cLoopbackServer::Serve(Session session, int connections) {
  for (int i = 0; i < connections; ++i) {
    if (!Readable(listener, 10000)) return;
    const intptr_t s =
        static_cast<intptr_t>(accept(static_cast<tSocket>(listener), nullptr, nullptr));
    if (s == NO_SOCKET) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++accepted;
    }
    cPeer peer(s);
    session(peer);
  }
}

unsigned ClosedPort() {
  static cSocketLibrary library;
  unsigned port = 0;
  const intptr_t s = ListenOnLoopback(&port);
  if (s != NO_SOCKET) CloseSocket(s);
  return port;
}

void cSignal::Set() {
  std::lock_guard<std::mutex> lock(mutex);
  bSet = true;
  condition.notify_all();
}

bool cSignal::Wait(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex);
  return condition.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return bSet; });
}

cWatchdog::cWatchdog(int seconds, const char* what) {
  thread = std::thread([this, seconds, what] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!condition.wait_for(lock, std::chrono::seconds(seconds), [this] { return bDone; })) {
      std::fprintf(stderr, "FAILED: %s did not return within %d s\n", what, seconds);
      std::fflush(stderr);
      std::_Exit(1);
    }
  });
}

cWatchdog::~cWatchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    bDone = true;
  }
  condition.notify_all();
  thread.join();
}
