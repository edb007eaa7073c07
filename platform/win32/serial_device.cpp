#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/serial_device.h"
#include "platform/win32/system_text.h"

namespace platform {

static HANDLE AsHandle(void* h) {
  return static_cast<HANDLE>(h);
}

bool IsLostDeviceError(unsigned long error) {
  switch (error) {
    case ERROR_BAD_COMMAND:           // the device does not take commands any more
    case ERROR_DEVICE_NOT_CONNECTED:  // usbser.sys after a removal
    case ERROR_ACCESS_DENIED:         // some adapter drivers after a removal
    case ERROR_OPERATION_ABORTED:     // I/O cancelled by the removal
    case ERROR_GEN_FAILURE:           // the device stopped functioning
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NOT_READY:  // also Wine's translation of EIO from a hung-up tty
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_REMOVED:
    case ERROR_BROKEN_PIPE:
      return true;
    default:
      return false;
  }
}

cSerialDevice::cSerialDevice() : hComm(INVALID_HANDLE_VALUE), bLost(false) {}

cSerialDevice::~cSerialDevice() {
  Close();
}

// "<path> (COM<n>): <what>: <the system's message for the error code> (error <code>)", and
// what to do for the usual causes. Without what, the message follows the port at once.
static std::string OpenFailure(int port, const std::string& path, DWORD code,
                               const char* szWhat = nullptr) {
  std::string text = path + " (COM" + std::to_string(port) +
                     "): " + (szWhat != nullptr ? std::string(szWhat) + ": " : std::string()) +
                     SystemText(code) + ".";
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
    text += " There is no such port: halvex-installer -PORTS lists the ports that exist.";
  } else if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) {
    text += " Another program holds the port; close it and try again.";
  }
  return text;
}

std::string SerialPortPath(int port) {
  if (port < 1) return std::string();
  return "\\\\.\\COM" + std::to_string(port);
}

bool cSerialDevice::Open(int port) {
  Close();
  openFailure.clear();
  bSettingsRefused = false;
  if (port < 1) return false;
  const std::string path = SerialPortPath(port);
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
  // A port whose settings cannot be read is no usable port either (Wine opens a COM port
  // whose device is missing and fails only here).
  DCB dcb;
  ZeroMemory(&dcb, sizeof(dcb));
  dcb.DCBlength = sizeof(DCB);
  if (handle == INVALID_HANDLE_VALUE || !GetCommState(handle, &dcb)) {
    const DWORD error = GetLastError();
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    openFailure = OpenFailure(port, path, error);
    return false;
  }
  hComm = handle;
  openedPort = port;
  return true;
}

bool cSerialDevice::ConfigureFailed(const char* szWhat, bool bRefusal) {
  const DWORD error = GetLastError();
  // A device that is gone fails with the errors of a removal, whatever the step.
  bSettingsRefused = bRefusal && !IsLostDeviceError(error);
  openFailure = OpenFailure(openedPort, SerialPortPath(openedPort), error, szWhat);
  return false;
}

bool cSerialDevice::Configure(uint32_t bitsPerSecond) {
  if (!IsOpen()) return false;
  DCB dcb;
  ZeroMemory(&dcb, sizeof(dcb));
  dcb.DCBlength = sizeof(DCB);
  // Settings that cannot be read were not refused: the port does not answer.
  if (!GetCommState(AsHandle(hComm), &dcb)) {
    return ConfigureFailed("its settings could not be read", false);
  }
  dcb.DCBlength = sizeof(DCB);
  if (bitsPerSecond != 0) dcb.BaudRate = bitsPerSecond;
  // Windows supports binary mode only: the member must be TRUE.
  dcb.fBinary = TRUE;
  dcb.fParity = 0;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 0;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = 0;
  dcb.fDummy2 = 0;
  dcb.wReserved = 0;
  dcb.XonLim = 0;
  dcb.XoffLim = 0;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  // SetCommState fails when the two are equal; with XON/XOFF off they are never used, so they
  // keep the usual DC1 and DC3.
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.ErrorChar = 0;
  dcb.EofChar = 0x0A;
  dcb.EvtChar = 0;
  dcb.wReserved1 = 0;
  if (!SetCommState(AsHandle(hComm), &dcb)) {
    return ConfigureFailed("the line settings could not be applied");
  }
  // A read returns at once with what has arrived; with nothing there it waits for the first
  // byte, at most SERIAL_READ_TIMEOUT_MS. Writes have no time limit.
  COMMTIMEOUTS timeouts;
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = SERIAL_READ_TIMEOUT_MS;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  // Without them a read could wait for ever: a port that refuses them is not usable either.
  if (!SetCommTimeouts(AsHandle(hComm), &timeouts)) {
    return ConfigureFailed("the read time limits could not be applied");
  }
  return true;
}

int cSerialDevice::Read(char* dest, int n) {
  if (!IsOpen() || n < 0 || bLost) return -1;
  if (n == 0) return 0;
  // Ask only for what is queued (or 1 byte when nothing is): Wine waits out the whole time
  // limit when fewer bytes than asked for are there, Windows returns at once; this way both
  // behave alike.
  DWORD errors = 0;
  COMSTAT status;
  DWORD wanted = 1;
  if (!ClearCommError(AsHandle(hComm), &errors, &status)) {
    if (IsLostDeviceError(GetLastError())) {
      bLost = true;
      return -1;
    }
  } else if (status.cbInQue > 0) {
    wanted = status.cbInQue < static_cast<DWORD>(n) ? status.cbInQue : static_cast<DWORD>(n);
  }
  DWORD count = 0;
  if (!ReadFile(AsHandle(hComm), dest, wanted, &count, nullptr)) {
    if (IsLostDeviceError(GetLastError())) {
      bLost = true;
      return -1;
    }
    // Any other fault: behave like a silent line so callers that retry don't spin.
    Sleep(SERIAL_READ_TIMEOUT_MS);
    return -1;
  }
  return static_cast<int>(count);
}

int cSerialDevice::Write(const char* data, int n) {
  if (!IsOpen() || n < 0 || bLost) return -1;
  int written = 0;
  while (written < n) {
    DWORD count = 0;
    if (!WriteFile(AsHandle(hComm), data + written, static_cast<DWORD>(n - written), &count,
                   nullptr)) {
      if (IsLostDeviceError(GetLastError())) bLost = true;
      break;
    }
    if (count == 0) break;
    written += static_cast<int>(count);
  }
  return written;
}

bool cSerialDevice::Drain() {
  if (!IsOpen() || bLost) return false;
  if (FlushFileBuffers(AsHandle(hComm))) return true;
  if (IsLostDeviceError(GetLastError())) bLost = true;
  return false;
}

bool cSerialDevice::PurgeRx() {
  if (!IsOpen() || bLost) return false;
  if (PurgeComm(AsHandle(hComm), PURGE_RXABORT | PURGE_RXCLEAR)) return true;
  if (IsLostDeviceError(GetLastError())) bLost = true;
  return false;
}

void cSerialDevice::Close() {
  bLost = false;
  if (!IsOpen()) return;
  CloseHandle(AsHandle(hComm));
  hComm = INVALID_HANDLE_VALUE;
}

bool cSerialDevice::IsOpen() const {
  return hComm != INVALID_HANDLE_VALUE;
}

bool SerialPortExists(int port) {
  if (port < 1) return false;
  char szName[16];
  char szTarget[1024];
  std::snprintf(szName, sizeof(szName), "COM%d", port);
  return QueryDosDeviceA(szName, szTarget, sizeof(szTarget)) != 0;
}

}  // namespace platform
