// A socket for fuzzing, linked instead of the platform's: every connection succeeds and serves
// the fuzz input (fuzz/fake_socket.h); a wait on a silent server moves the fake clock on by
// the whole wait.
#include "fuzz/fake_socket.h"

#include "fuzz/fake_input.h"
#include "platform/clock.h"
#include "platform/socket.h"

namespace fuzz {

namespace {

cFakeInput server;
bool bServerClosesAtEnd = false;
int serverConnections = 0;

}  // namespace

void SetServerInput(const uint8_t* data, size_t size, bool bClosesAtEnd) {
  server.Set(data, size);
  bServerClosesAtEnd = bClosesAtEnd;
  serverConnections = 0;
}

void SetServerChunk(size_t maxChunk) {
  server.SetChunk(maxChunk);
}

size_t GetServerRemaining() {
  return server.Remaining();
}

int GetServerConnections() {
  return serverConnections;
}

}  // namespace fuzz

namespace platform {

eSocketStartup StartSockets() {
  return SOCKETS_STARTED;
}

void CleanupSockets() {}

cTcpSocket::cTcpSocket() : fd(-1) {}

cTcpSocket::~cTcpSocket() {
  Close();
}

bool cTcpSocket::Create() {
  fd = 1;
  return true;
}

bool cTcpSocket::Connect(const uint8_t*, uint16_t) {
  ++fuzz::serverConnections;
  return fd >= 0;
}

eConnectResult cTcpSocket::ConnectTo(const char*, uint16_t, int, std::string& systemText,
                                     tSocketAddresses*) {
  fd = 1;
  ++fuzz::serverConnections;
  systemText = "192.0.2.1:2217";
  return CONNECT_DONE;
}

int cTcpSocket::Send(const char*, int n) {
  return fd >= 0 ? n : -1;
}

int cTcpSocket::Receive(char* dest, int n) {
  return ReceiveWithin(dest, n, 2000);
}

int cTcpSocket::ReceiveWithin(char* dest, int n, int waitMs) {
  if (fd < 0 || n < 0) return SOCKET_GONE;
  if (n == 0) return 0;
  if (fuzz::server.Remaining() == 0) {
    if (fuzz::bServerClosesAtEnd) return SOCKET_GONE;
    SleepMs(waitMs > 0 ? static_cast<unsigned>(waitMs) : 0);
    return 0;
  }
  return static_cast<int>(fuzz::server.Take(dest, static_cast<size_t>(n)));
}

void cTcpSocket::ShutdownSend() {}

void cTcpSocket::Close() {
  fd = -1;
}

bool cTcpSocket::IsOpen() const {
  return fd >= 0;
}

}  // namespace platform
