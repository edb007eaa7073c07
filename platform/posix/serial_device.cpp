#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/open_failure.h"
#include "platform/posix/tty_settings.h"
#include "platform/serial_device.h"

namespace platform {

// A write that makes no progress for this long fails: a real line always drains, so only a
// device that stopped taking bytes gets here.
static const int WRITE_STALL_MS = 10000;

// The line that says why path could not be opened; for a permission error it names the group
// that owns the device.
static std::string OpenFailure(int port, const std::string& path, int error) {
  std::string group;
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    if (const struct group* owner = getgrgid(info.st_gid)) group = owner->gr_name;
  }
  return DescribeOpenErrno(port, path, error, group);
}

// How a tty fails once its device is gone: a USB adapter pulled or reset, a pty whose other end
// closed. Its descriptor stays dead even when the device comes back.
static bool IsLostDeviceErrno(int error) {
  return error == EIO || error == ENXIO || error == ENODEV;
}

static speed_t SpeedOf(uint32_t bitsPerSecond) {
  switch (bitsPerSecond) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return 0;
  }
}

struct termios MakeRawSettings(const struct termios& current, uint32_t bitsPerSecond) {
  struct termios settings = current;
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                             ICRNL | IXON | IXOFF | IXANY | INPCK);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOf(bitsPerSecond);
  if (speed != 0) {
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
  }
  return settings;
}

bool ApplyTtySettings(int fd, const struct termios& wanted, std::string& reason) {
  if (tcsetattr(fd, TCSANOW, &wanted) != 0) {
    reason = std::string("the line settings could not be applied: ") + std::strerror(errno);
    return false;
  }
  struct termios taken;
  if (tcgetattr(fd, &taken) != 0) {
    reason = std::string("the line settings could not be read back: ") + std::strerror(errno);
    return false;
  }
  // What the seam sets, field by field; the rest is left as the device has it.
  const tcflag_t iflags =
      IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK;
  const tcflag_t lflags = ECHO | ECHONL | ICANON | ISIG | IEXTEN;
  std::string missing;
  if (cfgetospeed(&taken) != cfgetospeed(&wanted) || cfgetispeed(&taken) != cfgetispeed(&wanted)) {
    missing += ", the speed";
  }
  if ((taken.c_cflag & (CSIZE | PARENB | CSTOPB)) != (wanted.c_cflag & (CSIZE | PARENB | CSTOPB))) {
    missing += ", the character format";
  }
  if ((taken.c_cflag & (CRTSCTS | CLOCAL | CREAD)) !=
          (wanted.c_cflag & (CRTSCTS | CLOCAL | CREAD)) ||
      (taken.c_iflag & iflags) != (wanted.c_iflag & iflags)) {
    missing += ", the flow control";
  }
  if ((taken.c_oflag & OPOST) != (wanted.c_oflag & OPOST) ||
      (taken.c_lflag & lflags) != (wanted.c_lflag & lflags)) {
    missing += ", the raw mode";
  }
  if (missing.empty()) return true;
  reason = "the device did not take the line settings (" + missing.substr(2) + ")";
  return false;
}

cSerialDevice::cSerialDevice() : fd(-1), bLost(false) {}

cSerialDevice::~cSerialDevice() {
  Close();
}

bool cSerialDevice::Open(int port) {
  Close();  // a lost descriptor is dead for good: only a fresh one can work
  openFailure.clear();
  bSettingsRefused = false;
  const std::string path = SerialPortPath(port);
  if (path.empty()) return false;
  int handle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (handle < 0) {
    openFailure = OpenFailure(port, path, errno);
    return false;
  }
  int error = 0;
  if (!isatty(handle)) {
    error = ENOTTY;
  } else if (flock(handle, LOCK_EX | LOCK_NB) != 0) {
    // Another opener holds the lock: the port is in use.
    error = errno == EWOULDBLOCK ? EBUSY : errno;
  }
  if (error != 0) {
    ::close(handle);
    openFailure = OpenFailure(port, path, error);
    return false;
  }
  ioctl(handle, TIOCEXCL);
  fd = handle;
  openedPort = port;
  return true;
}

bool cSerialDevice::Configure(uint32_t bitsPerSecond) {
  if (fd < 0) return false;
  struct termios current;
  std::string reason;
  if (tcgetattr(fd, &current) != 0) {
    reason = std::string("its settings could not be read: ") + std::strerror(errno);
  } else {
    ApplyTtySettings(fd, MakeRawSettings(current, bitsPerSecond), reason);
  }
  if (!reason.empty()) {
    // A device that still answers refused the settings; a gone one fails here too.
    struct termios probe;
    bSettingsRefused = tcgetattr(fd, &probe) == 0;
    openFailure = SerialPortPath(openedPort) + " (COM" + std::to_string(openedPort) +
                  "): " + reason + " at " + std::to_string(bitsPerSecond) + " bit/s 8N1.";
    return false;
  }
  // DTR and RTS on; a pty refuses the modem lines, which is harmless.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &lines);
  return true;
}

int cSerialDevice::Read(char* dest, int n) {
  if (fd < 0 || n < 0 || bLost) return -1;
  if (n == 0) return 0;
  const int64_t deadline = GetMonotonicMs() + SERIAL_READ_TIMEOUT_MS;
  for (;;) {
    const int64_t remaining = deadline - GetMonotonicMs();
    if (remaining <= 0) return 0;
    struct pollfd request = {fd, POLLIN, 0};
    const int ready = poll(&request, 1, static_cast<int>(remaining));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return 0;
    if (ready > 0 && (request.revents & POLLIN)) {
      const ssize_t count = ::read(fd, dest, static_cast<size_t>(n));
      if (count > 0) return static_cast<int>(count);
      if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      // Readable with nothing to read is the end of file of a tty that was hung up.
      if (count == 0 || IsLostDeviceErrno(errno)) {
        bLost = true;
        return -1;
      }
    } else if (ready > 0 && (request.revents & (POLLHUP | POLLERR))) {
      bLost = true;
      return -1;
    }
    // Any other fault: behave like a silent line (no busy loop for the callers that retry),
    // then report the failure.
    const int64_t rest = deadline - GetMonotonicMs();
    if (rest > 0) SleepMs(static_cast<unsigned>(rest));
    return -1;
  }
}

int cSerialDevice::Write(const char* data, int n) {
  if (fd < 0 || n < 0 || bLost) return -1;
  int written = 0;
  int64_t lastProgress = GetMonotonicMs();
  while (written < n) {
    const ssize_t count = ::write(fd, data + written, static_cast<size_t>(n - written));
    if (count > 0) {
      written += static_cast<int>(count);
      lastProgress = GetMonotonicMs();
      continue;
    }
    if (count < 0 && errno != EAGAIN && errno != EINTR) {
      if (IsLostDeviceErrno(errno)) bLost = true;
      break;
    }
    const int64_t waited = GetMonotonicMs() - lastProgress;
    if (waited >= WRITE_STALL_MS) break;
    struct pollfd request = {fd, POLLOUT, 0};
    if (poll(&request, 1, static_cast<int>(WRITE_STALL_MS - waited)) > 0 &&
        (request.revents & (POLLHUP | POLLERR)) && !(request.revents & POLLOUT)) {
      bLost = true;
      break;
    }
  }
  return written;
}

bool cSerialDevice::Drain() {
  if (fd < 0) return false;
  // tcdrain blocks without a limit; a pty whose peer stopped reading would hold it forever,
  // so wait for the output queue to empty with the same stall limit as Write.
  const int64_t deadline = GetMonotonicMs() + WRITE_STALL_MS;
  for (;;) {
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0) {
      if (IsLostDeviceErrno(errno)) bLost = true;
      return !bLost;
    }
    if (queued <= 0) return true;
    if (GetMonotonicMs() >= deadline) return false;
    SleepMs(1);
  }
}

bool cSerialDevice::PurgeRx() {
  if (fd < 0) return false;
  if (tcflush(fd, TCIFLUSH) == 0) return true;
  if (IsLostDeviceErrno(errno)) bLost = true;
  return false;
}

void cSerialDevice::Close() {
  bLost = false;
  if (fd < 0) return;
  ioctl(fd, TIOCNXCL);
  flock(fd, LOCK_UN);
  ::close(fd);
  fd = -1;
}

bool cSerialDevice::IsOpen() const {
  return fd >= 0;
}

bool SerialPortExists(int port) {
  const std::string path = SerialPortPath(port);
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace platform
