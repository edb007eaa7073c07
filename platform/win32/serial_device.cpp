#include <windows.h>

#include <cstdio>

#include "platform/serial_device.h"

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

bool cSerialDevice::Open(int port) {
  Close();
  if (port < 1) return false;
  char szPath[80];
  std::snprintf(szPath, sizeof(szPath), "\\\\.\\COM%d", port);
  HANDLE handle =
      CreateFileA(szPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  hComm = handle;
  return true;
}

bool cSerialDevice::Configure(uint32_t bitsPerSecond) {
  if (!IsOpen()) return false;
  DCB dcb;
  ZeroMemory(&dcb, sizeof(dcb));
  dcb.DCBlength = sizeof(DCB);
  if (!GetCommState(AsHandle(hComm), &dcb)) return false;
  dcb.DCBlength = sizeof(DCB);
  if (bitsPerSecond != 0) dcb.BaudRate = bitsPerSecond;
  dcb.fBinary = 0;
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
  dcb.XonChar = 0;
  dcb.XoffChar = 0;
  dcb.ErrorChar = 0;
  dcb.EofChar = 0x0A;
  dcb.EvtChar = 0;
  dcb.wReserved1 = 0;
  SetCommState(AsHandle(hComm), &dcb);
  // A read returns at once with what has arrived; with nothing there it waits for the first
  // byte, at most SERIAL_READ_TIMEOUT_MS. Writes have no time limit.
  COMMTIMEOUTS timeouts;
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = SERIAL_READ_TIMEOUT_MS;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  SetCommTimeouts(AsHandle(hComm), &timeouts);
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
