// A serial device for fuzzing, linked instead of the platform's: every open port serves the
// bytes of the fuzz input, takes every write, and reads past the end as a silent line (the
// fake clock moves on by the read's whole wait).
#include "fuzz/fake_input.h"
#include "fuzz/fake_line.h"
#include "platform/clock.h"
#include "platform/serial_device.h"

namespace fuzz {

namespace {

cFakeInput line;
size_t lineWritten = 0;

}  // namespace

void SetLineInput(const uint8_t* data, size_t size) {
  line.Set(data, size);
  lineWritten = 0;
}

void SetLineChunk(size_t maxChunk) {
  line.SetChunk(maxChunk);
}

size_t GetLineRemaining() {
  return line.Remaining();
}

size_t GetLineWritten() {
  return lineWritten;
}

}  // namespace fuzz

namespace platform {

cSerialDevice::cSerialDevice() : fd(-1), bLost(false) {}

cSerialDevice::~cSerialDevice() {
  Close();
}

bool cSerialDevice::Open(int port) {
  Close();
  if (port < 1) return false;
  fd = port;
  openedPort = port;
  return true;
}

bool cSerialDevice::Configure(uint32_t) {
  return fd >= 0;
}

int cSerialDevice::Read(char* dest, int n) {
  if (fd < 0 || n < 0) return -1;
  if (n == 0) return 0;
  if (fuzz::line.Remaining() == 0) {
    SleepMs(SERIAL_READ_TIMEOUT_MS);
    return 0;
  }
  return static_cast<int>(fuzz::line.Take(dest, static_cast<size_t>(n)));
}

int cSerialDevice::Write(const char*, int n) {
  if (fd < 0 || n < 0) return -1;
  fuzz::lineWritten += static_cast<size_t>(n);
  return n;
}

bool cSerialDevice::Drain() {
  return fd >= 0;
}

bool cSerialDevice::PurgeRx() {
  // A real purge drops only what has arrived so far; the fuzz input is the whole future of the
  // line, so nothing is dropped.
  return fd >= 0;
}

void cSerialDevice::Close() {
  bLost = false;  // the fuzz input never vanishes: reading past its end is a silent line
  fd = -1;
}

bool cSerialDevice::IsOpen() const {
  return fd >= 0;
}

bool SerialPortExists(int port) {
  return port >= 1;
}

}  // namespace platform
