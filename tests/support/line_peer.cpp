#include "tests/support/line_peer.h"

#include <cstdlib>
#include <string>

#include "platform/clock.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

#ifdef _WIN32

// The peer end talks to the port directly, with reads that never wait.
cLinePeer::cLinePeer() : bReady(false), port(0), device(nullptr) {
  const char* loop = std::getenv("HALVEX_TEST_LOOP");
  int peerPort = 0;
  if (loop == nullptr || std::sscanf(loop, "%d,%d", &port, &peerPort) != 2) {
    skipReason = "HALVEX_TEST_LOOP (\"<port>,<peer port>\") is not set";
    return;
  }
  const std::string path = "\\\\.\\COM" + std::to_string(peerPort);
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    skipReason = "the peer port " + path + " does not open";
    return;
  }
  COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, 0, 0};
  SetCommTimeouts(handle, &timeouts);
  PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR);
  device = handle;
  bReady = true;
}

cLinePeer::~cLinePeer() {
  if (device != nullptr) CloseHandle(static_cast<HANDLE>(device));
}

void cLinePeer::Send(const std::string& bytes) {
  DWORD written = 0;
  WriteFile(static_cast<HANDLE>(device), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

std::string cLinePeer::Receive(int waitMs) {
  std::string received;
  int64_t deadline = platform::GetMonotonicMs() + waitMs;
  char buffer[4096];
  while (platform::GetMonotonicMs() < deadline) {
    DWORD count = 0;
    if (ReadFile(static_cast<HANDLE>(device), buffer, sizeof(buffer), &count, nullptr) &&
        count > 0) {
      received.append(buffer, count);
      deadline = platform::GetMonotonicMs() + waitMs;
    } else {
      platform::SleepMs(5);
    }
  }
  return received;
}

void cLinePeer::HangUp() {}

#else

cLinePeer::cLinePeer() : bReady(false), port(0), master(-1), slave(-1) {
  char name[256];
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    skipReason = "openpty failed";
    return;
  }
  struct termios settings;
  tcgetattr(slave, &settings);
  cfmakeraw(&settings);
  tcsetattr(slave, TCSANOW, &settings);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  // A port number of its own per process keeps parallel test processes apart.
  port = 9;
  setenv(("HALVEX_COM" + std::to_string(port)).c_str(), name, 1);
  bReady = true;
}

cLinePeer::~cLinePeer() {
  if (master >= 0) close(master);
  if (slave >= 0) close(slave);
}

void cLinePeer::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t count = write(master, bytes.data() + sent, bytes.size() - sent);
    if (count > 0) {
      sent += static_cast<size_t>(count);
    } else {
      struct pollfd request = {master, POLLOUT, 0};
      poll(&request, 1, 100);
    }
  }
}

std::string cLinePeer::Receive(int waitMs) {
  std::string received;
  char buffer[4096];
  for (;;) {
    struct pollfd request = {master, POLLIN, 0};
    if (poll(&request, 1, waitMs) <= 0) return received;
    ssize_t count = read(master, buffer, sizeof(buffer));
    if (count <= 0) return received;
    received.append(buffer, static_cast<size_t>(count));
  }
}

void cLinePeer::HangUp() {
  if (slave >= 0) close(slave);
  if (master >= 0) close(master);
  slave = master = -1;
}

#endif

std::string cLinePeer::ReceiveN(size_t n, int timeoutMs) {
  std::string received;
  const int64_t deadline = platform::GetMonotonicMs() + timeoutMs;
  while (received.size() < n && platform::GetMonotonicMs() < deadline) {
    received += Receive(20);
  }
  return received;
}
