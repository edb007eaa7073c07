#include <winsock2.h>

#include <cstring>

#include "platform/socket.h"

namespace platform {

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

void cTcpSocket::Close() {
  if (handle != INVALID_SOCKET) ::closesocket(static_cast<SOCKET>(handle));
  handle = INVALID_SOCKET;
}

bool cTcpSocket::IsOpen() const {
  return handle != INVALID_SOCKET;
}

}  // namespace platform
