#include "support/speed_relay.h"

#ifndef _WIN32

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

const int POLL_MS = 50;

sockaddr_in Loopback(unsigned port) {
  sockaddr_in address;
  std::memset(&address, 0, sizeof(address));
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

// IAC SB COM-PORT-OPTION SET-BAUDRATE and the speed, most significant byte first.
std::string SpeedRequest(uint32_t speed) {
  std::string request("\xff\xfa\x2c\x01", 4);
  for (int shift = 24; shift >= 0; shift -= 8) request += static_cast<char>(speed >> shift);
  return request;
}

}  // namespace

bool cSpeedRelay::Start(unsigned serverPort, uint32_t refused, uint32_t instead) {
  Stop();
  target = serverPort;
  Refuse(refused, instead);
  listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof(address);
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener, 4) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Stop();
    return false;
  }
  port = ntohs(address.sin_port);
  bStop = false;
  thread = std::thread([this] { Serve(); });
  return true;
}

void cSpeedRelay::Refuse(uint32_t refused, uint32_t instead) {
  insteadSpeed = instead;
  refusedSpeed = refused;
}

void cSpeedRelay::Stop() {
  bStop = true;
  if (thread.joinable()) thread.join();
  if (listener >= 0) ::close(listener);
  listener = -1;
}

void cSpeedRelay::Serve() {
  while (!bStop) {
    pollfd entry = {listener, POLLIN, 0};
    if (::poll(&entry, 1, POLL_MS) <= 0) continue;
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Relay(client);
    ::close(client);
  }
}

// Both directions until each has ended (an end is passed on as one) or the relay stops.
void cSpeedRelay::Relay(int client) {
  const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(target);
  if (server < 0 ||
      ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    if (server >= 0) ::close(server);
    return;
  }
  int from[2] = {client, server};
  bool bOpen[2] = {true, true};
  char buffer[65536];
  while (!bStop && (bOpen[0] || bOpen[1])) {
    pollfd entries[2] = {{bOpen[0] ? from[0] : -1, POLLIN, 0},
                         {bOpen[1] ? from[1] : -1, POLLIN, 0}};
    if (::poll(entries, 2, POLL_MS) <= 0) continue;
    for (int side = 0; side < 2; ++side) {
      if (!bOpen[side] || entries[side].revents == 0) continue;
      const ssize_t count = ::recv(from[side], buffer, sizeof(buffer), 0);
      const int to = from[1 - side];
      if (count <= 0) {
        bOpen[side] = false;
        ::shutdown(to, SHUT_WR);
        continue;
      }
      std::string data(buffer, static_cast<size_t>(count));
      const std::string refused = SpeedRequest(refusedSpeed);
      const std::string instead = SpeedRequest(insteadSpeed);
      size_t at = 0;
      while (side == 0 && (at = data.find(refused, at)) != std::string::npos) {
        data.replace(at, refused.size(), instead);
        at += instead.size();
      }
      if (::send(to, data.data(), data.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(data.size())) {
        bOpen[0] = bOpen[1] = false;
      }
    }
  }
  ::close(server);
}

#endif
