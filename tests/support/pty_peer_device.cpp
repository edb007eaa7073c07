// The platform's part of the peer: opening the line and moving bytes.
#include "support/pty_peer.h"

#include <cstdio>
#include <cstdlib>

#include "platform/clock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

cPtyPeer::cPtyPeer() = default;

cPtyPeer::cPtyPeer(int portIn) {
  Open(portIn);
}

cPtyPeer::~cPtyPeer() {
  Close();
}

#ifdef _WIN32

// The peer end talks to the port directly, with reads that never wait.
bool cPtyPeer::Open(int) {
  Close();
  const char* loop = std::getenv("HALVEX_TEST_LOOP");
  int peerPort = 0;
  if (loop == nullptr || std::sscanf(loop, "%d,%d", &port, &peerPort) != 2) {
    szSkipReason = "HALVEX_TEST_LOOP (\"<port>,<peer port>\") is not set";
    return false;
  }
  szPath = "\\\\.\\COM" + std::to_string(peerPort);
  HANDLE handle = CreateFileA(szPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    szSkipReason = "the peer port " + szPath + " does not open";
    return false;
  }
  COMMTIMEOUTS timeouts = {MAXDWORD, 0, 0, 0, 0};
  SetCommTimeouts(handle, &timeouts);
  PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR);
  device = handle;
  bOpen = true;
  Start(MODE_RAW);
  return true;
}

void cPtyPeer::Close() {
  StopReader();
  if (device != nullptr) CloseHandle(static_cast<HANDLE>(device));
  device = nullptr;
  bOpen = false;
}

std::string cPtyPeer::ReadSome(int waitMs) {
  char buffer[4096];
  DWORD count = 0;
  if (ReadFile(static_cast<HANDLE>(device), buffer, sizeof(buffer), &count, nullptr) && count > 0) {
    return std::string(buffer, count);
  }
  platform::SleepMs(static_cast<unsigned>(waitMs < 5 ? waitMs : 5));
  return std::string();
}

int cPtyPeer::WriteSome(const char* data, size_t size) {
  DWORD written = 0;
  if (!WriteFile(static_cast<HANDLE>(device), data, static_cast<DWORD>(size), &written, nullptr)) {
    return -1;
  }
  return static_cast<int>(written);
}

#else

namespace {

speed_t SpeedOf(uint32_t baud) {
  const struct {
    uint32_t baud;
    speed_t speed;
  } speeds[] = {{2400, B2400},   {4800, B4800},   {9600, B9600},    {19200, B19200},
                {38400, B38400}, {57600, B57600}, {115200, B115200}};
  for (const auto& each : speeds) {
    if (each.baud == baud) return each.speed;
  }
  return B115200;
}

}  // namespace

bool cPtyPeer::Open(int portIn) {
  Close();
  char name[256] = {0};
  if (openpty(&fd, &slave, name, nullptr, nullptr) != 0) {
    szSkipReason = "openpty failed";
    return false;
  }
  // Raw from the start: nothing echoed or translated before the code under test configures
  // the line.
  struct termios settings;
  tcgetattr(slave, &settings);
  cfmakeraw(&settings);
  tcsetattr(slave, TCSANOW, &settings);
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  port = portIn;
  szPath = name;
  setenv(("HALVEX_COM" + std::to_string(port)).c_str(), name, 1);
  bOpen = true;
  Start(MODE_RAW);
  return true;
}

bool cPtyPeer::OpenTty(const std::string& path, uint32_t baud, unsigned extraCflags) {
  Close();
  fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 || !SetLine(baud, extraCflags)) {
    szSkipReason = path + " does not open";
    Close();
    return false;
  }
  szPath = path;
  bOpen = true;
  Start(MODE_RAW);
  return true;
}

bool cPtyPeer::SetLine(uint32_t baud, unsigned extraCflags) {
  struct termios settings;
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD | static_cast<tcflag_t>(extraCflags);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
  cfsetspeed(&settings, SpeedOf(baud));
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

void cPtyPeer::Close() {
  StopReader();
  if (fd >= 0) close(fd);
  if (slave >= 0) close(slave);
  fd = slave = -1;
  bOpen = false;
}

std::string cPtyPeer::ReadSome(int waitMs) {
  struct pollfd request = {fd, POLLIN, 0};
  if (poll(&request, 1, waitMs) <= 0) return std::string();
  char buffer[65536];
  const ssize_t count = read(fd, buffer, sizeof(buffer));
  if (count > 0) return std::string(buffer, static_cast<size_t>(count));
  // A line whose other end has gone: nothing to wait for, but no reason to spin either.
  platform::SleepMs(static_cast<unsigned>(waitMs));
  return std::string();
}

int cPtyPeer::WriteSome(const char* data, size_t size) {
  const ssize_t count = write(fd, data, size);
  if (count >= 0) return static_cast<int>(count);
  if (errno != EAGAIN && errno != EINTR) return -1;
  struct pollfd request = {fd, POLLOUT, 0};
  poll(&request, 1, 50);
  return 0;
}

#endif
