#include "sim/sim_line.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "sim/sim_line_settings.h"

namespace sim {

namespace {

constexpr int64_t kMs = 1000000;
constexpr int64_t kTickNs = 20 * kMs;
// Bytes read this soon after a settings change may have been written before it.
constexpr int64_t kSettingsRaceNs = 500 * kMs;  // longest wait before the settings are read again
constexpr int64_t kWriteStallNs = 2000 * kMs;   // the program takes no bytes for this long

void SetRaw(int fd, speed_t speed) {
  struct termios settings;
  if (tcgetattr(fd, &settings) != 0) return;
  cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  if (speed != 0) cfsetspeed(&settings, speed);
  tcsetattr(fd, TCSANOW, &settings);
}

}  // namespace

void RemoveSimLink(const std::string& szTarget, const std::string& szLink) {
  std::vector<char> target(4096);
  const ssize_t n = readlink(szLink.c_str(), target.data(), target.size() - 1);
  if (n > 0 && std::string(target.data(), static_cast<size_t>(n)) == szTarget) {
    unlink(szLink.c_str());
  }
}

bool MakeSimLink(const std::string& szTarget, const std::string& szLink, std::string& szError) {
  struct stat info;
  if (lstat(szLink.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    szError = szLink + " exists and is not a link";
    return false;
  }
  // Made under a temporary name and renamed, so the link appears complete or not at all.
  const std::string szTemp = szLink + ".tmp" + std::to_string(getpid());
  unlink(szTemp.c_str());
  if (symlink(szTarget.c_str(), szTemp.c_str()) != 0 ||
      rename(szTemp.c_str(), szLink.c_str()) != 0) {
    szError = "cannot link " + szLink + ": " + strerror(errno);
    unlink(szTemp.c_str());
    return false;
  }
  return true;
}

cSimLine::cSimLine(cSimRecorder& recorderIn, uint32_t lineRateIn, int64_t hangupAfterBytesIn,
                   int64_t unplugAfterBytesIn, int replugAfterMsIn)
    : recorder(recorderIn),
      lineRate(lineRateIn),
      hangupAfterBytes(hangupAfterBytesIn),
      unplugAfterBytes(unplugAfterBytesIn),
      replugAfterMs(replugAfterMsIn),
      byteNs(lineRateIn ? 10LL * 1000000000LL / lineRateIn : 0),
      initialBaud(0),
      bUnplugged(false),
      unplugs(0),
      replugAtNs(0),
      masterFd(-1),
      slaveFd(-1),
      wakeFds{-1, -1},
      bStop(false),
      bHungUp(false),
      bWritable(false),
      received(0),
      rxLineFreeNs(0),
      txLineFreeNs(0),
      lastRx{0, 0, 0, 0},
      lastChangeNs(0) {}

cSimLine::~cSimLine() {
  Close();
}

bool cSimLine::OpenPty(std::string& szError) {
  char szName[256] = {0};
  if (openpty(&masterFd, &slaveFd, szName, nullptr, nullptr) != 0) {
    szError = "openpty failed";
    return false;
  }
  szSlavePath = szName;
  fcntl(masterFd, F_SETFD, FD_CLOEXEC);
  fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
  fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
  SetRaw(masterFd, 0);
  SetRaw(slaveFd, BaudToSpeed(initialBaud) ? BaudToSpeed(initialBaud) : B9600);
  return true;
}

void cSimLine::ClosePty() {
  for (int* fd : {&masterFd, &slaveFd}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

bool cSimLine::Open(uint32_t initialBaudIn, std::string& szError) {
  Close();
  initialBaud = initialBaudIn;
  if (!OpenPty(szError)) return false;
  if (pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    szError = "pipe failed";
    Close();
    return false;
  }
  bStop = false;
  bUnplugged = false;
  snapshots.clear();
  PollSettings();
  if (hangupAfterBytes == 0) HangUp();
  return true;
}

void cSimLine::Close() {
  ClosePty();
  for (int* fd : {&wakeFds[0], &wakeFds[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  rx.clear();
}

void cSimLine::Unplug() {
  bUnplugged = true;
  ++unplugs;
  recorder.Add(&sSimCounts::faultUnplugs);
  recorder.AddBytes(&sSimCounts::bytesLostAtUnplug, static_cast<int64_t>(rx.size()));
  rx.clear();
  // Only our own link goes; the program's open descriptor fails as a removed adapter's does.
  if (!szLink.empty()) RemoveSimLink(szSlavePath, szLink);
  ClosePty();
  replugAtNs = replugAfterMs >= 0 ? SimNowNs() + replugAfterMs * kMs : INT64_MAX;
  recorder.Log("#", "fault: unplugged after " + std::to_string(received) +
                        " bytes: the pty and its link are gone" +
                        (replugAfterMs >= 0 ? " for " + std::to_string(replugAfterMs) + " ms"
                                            : " for good"));
}

void cSimLine::Replug() {
  std::string szError;
  if (!OpenPty(szError) || (!szLink.empty() && !MakeSimLink(szSlavePath, szLink, szError))) {
    ClosePty();
    recorder.Log("#", "the replug failed (" + szError + "); trying again");
    replugAtNs = SimNowNs() + 100 * kMs;
    return;
  }
  bUnplugged = false;
  recorder.Add(&sSimCounts::faultReplugs);
  recorder.Log("#", "fault: replugged: serving " + szSlavePath +
                        (szLink.empty() ? std::string() : " at " + szLink));
  PollSettings();
}

void cSimLine::RequestStop() {
  bStop = true;
  if (wakeFds[1] >= 0) {
    const char c = 1;
    ssize_t ignored = write(wakeFds[1], &c, 1);
    (void)ignored;
  }
}

void cSimLine::PollSettings() {
  struct termios settings;
  if (slaveFd < 0 || tcgetattr(slaveFd, &settings) != 0) return;
  const sSimLineSettings now = ReadLineSettings(settings);
  if (snapshots.empty() || snapshots.back() != now) {
    snapshots.push_back(now);
    lastChangeNs = SimNowNs();
    recorder.SettingsChanged(now);
  }
}

void cSimLine::HangUp() {
  bHungUp = true;
  recorder.Add(&sSimCounts::faultHangups);
  recorder.AddBytes(&sSimCounts::bytesDiscardedAfterHangup, static_cast<int64_t>(rx.size()));
  recorder.Log("#", "fault: the line hangs up after " + std::to_string(received) + " bytes");
  rx.clear();
}

void cSimLine::Pump(int64_t untilNs, bool bWantWrite) {
  if (bUnplugged && SimNowNs() >= replugAtNs) Replug();
  if (bUnplugged) untilNs = std::min(untilNs, replugAtNs);
  PollSettings();
  bWritable = false;
  const int64_t waitNs = std::min(std::max<int64_t>(untilNs - SimNowNs(), 0), kTickNs);
  const int timeoutMs = static_cast<int>((waitNs + kMs - 1) / kMs);
  struct pollfd fds[2] = {
      {masterFd, static_cast<short>(POLLIN | (bWantWrite ? POLLOUT : 0)), 0},
      {wakeFds[0], POLLIN, 0},
  };
  const int ready = poll(fds, 2, timeoutMs);
  if (ready <= 0 || bStop) return;
  if (fds[0].revents & POLLOUT) bWritable = true;
  if (fds[0].revents & POLLIN) {
    // Read the settings again: the program sets the line before it writes to it.
    PollSettings();
    uint8_t buffer[4096];
    for (;;) {
      const ssize_t count = read(masterFd, buffer, sizeof(buffer));
      if (count <= 0) break;
      if (bHungUp) {
        recorder.AddBytes(&sSimCounts::bytesDiscardedAfterHangup, count);
        continue;
      }
      const int64_t now = SimNowNs();
      const uint32_t index = static_cast<uint32_t>(snapshots.size() - 1);
      const uint32_t altIndex =
          (index > 0 && now - lastChangeNs <= kSettingsRaceNs) ? index - 1 : index;
      for (ssize_t i = 0; i < count; ++i) {
        int64_t avail = 0;
        if (lineRate) {
          rxLineFreeNs = std::max(rxLineFreeNs, now) + byteNs;
          avail = rxLineFreeNs;
        }
        rx.push_back({avail, index, altIndex, buffer[i]});
      }
      if (count < static_cast<ssize_t>(sizeof(buffer))) break;
    }
  } else if (fds[0].revents & (POLLHUP | POLLERR)) {
    // Not expected while our own slave is open; do not spin on it.
    usleep(static_cast<useconds_t>(std::max(timeoutMs, 1)) * 1000);
  }
}

eSimRx cSimLine::Receive(uint8_t& byte, int timeoutMs, sSimLineSettings* pSettings) {
  const int64_t deadline = timeoutMs < 0 ? INT64_MAX : SimNowNs() + timeoutMs * kMs;
  for (;;) {
    if (bStop) return RX_STOPPED;
    if (bHungUp) return RX_HUNG_UP;
    const int64_t now = SimNowNs();
    if (!rx.empty() && rx.front().tAvailNs <= now) {
      lastRx = rx.front();
      rx.pop_front();
      byte = lastRx.value;
      if (pSettings) *pSettings = snapshots[lastRx.settingsIndex];
      ++received;
      recorder.AddBytes(&sSimCounts::bytesReceived, 1);
      if (unplugs == 0 && unplugAfterBytes >= 0 && received >= unplugAfterBytes) {
        Unplug();
        return RX_UNPLUGGED;
      }
      if (hangupAfterBytes >= 0 && received >= hangupAfterBytes) HangUp();
      return RX_BYTE;
    }
    if (now >= deadline) return RX_TIMEOUT;
    int64_t next = deadline;
    if (!rx.empty()) next = std::min(next, rx.front().tAvailNs);
    Pump(next);
  }
}

sSimLineSettings cSimLine::LastSettingsFitting(uint32_t expectedBaud) const {
  if (snapshots.empty()) return sSimLineSettings();
  const sSimLineSettings& primary = snapshots[lastRx.settingsIndex];
  const sSimLineSettings& alternative = snapshots[lastRx.altSettingsIndex];
  return (!primary.Fits(expectedBaud) && alternative.Fits(expectedBaud)) ? alternative : primary;
}

void cSimLine::Unreceive() {
  if (bHungUp) return;
  lastRx.tAvailNs = 0;
  rx.push_front(lastRx);
  --received;
  recorder.AddBytes(&sSimCounts::bytesReceived, -1);
}

void cSimLine::DiscardUntilQuiet(int quietMs) {
  uint8_t byte;
  while (Receive(byte, quietMs) == RX_BYTE) {
  }
}

bool cSimLine::WaitUntil(int64_t untilNs) {
  while (!bStop && SimNowNs() < untilNs) Pump(untilNs);
  return !bStop;
}

bool cSimLine::Wait(int ms) {
  return WaitUntil(SimNowNs() + ms * kMs);
}

bool cSimLine::WriteAll(const uint8_t* data, size_t n) {
  size_t written = 0;
  int64_t lastProgress = SimNowNs();
  while (written < n) {
    if (bStop) return false;
    const ssize_t count = write(masterFd, data + written, n - written);
    if (count > 0) {
      written += static_cast<size_t>(count);
      lastProgress = SimNowNs();
      continue;
    }
    if (count < 0 && errno != EAGAIN && errno != EINTR) break;
    if (SimNowNs() - lastProgress >= kWriteStallNs) break;
    // The program is not reading; keep taking its input while waiting for room.
    Pump(lastProgress + kWriteStallNs, true);
  }
  if (written < n) {
    recorder.Log("#", "the pty took only " + std::to_string(written) + " of " + std::to_string(n) +
                          " bytes; the rest is lost");
  }
  recorder.AddBytes(&sSimCounts::bytesSent, static_cast<int64_t>(written));
  return written == n;
}

bool cSimLine::Send(const void* data, size_t n) {
  if (bStop) return false;
  if (bHungUp || bUnplugged) return true;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (!lineRate) return WriteAll(bytes, n);
  // Each piece goes out when a real line would have delivered its last byte.
  const size_t piece = std::max<size_t>(1, lineRate / 10 / 200);
  for (size_t offset = 0; offset < n; offset += piece) {
    const size_t count = std::min(piece, n - offset);
    txLineFreeNs = std::max(txLineFreeNs, SimNowNs()) + static_cast<int64_t>(count) * byteNs;
    if (!WaitUntil(txLineFreeNs)) return false;
    if (!WriteAll(bytes + offset, count)) return false;
  }
  return true;
}

}  // namespace sim
