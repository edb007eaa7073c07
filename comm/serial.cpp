#include "comm/serial.h"

#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/notice.h"

cSerial::cSerial()
    : port(PORT_NONE),
      address('*'),
      baud(BAUD_57600),
      protocol(PROTOCOL_PLAIN),
      bErrorOccurred(false),
      szErrorString{0},
      bConnected(false),
      bLost(false),
      ctReopenTime(0) {}

cSerial::~cSerial() {
  Disconnect();
}

void cSerial::SetError(const char* format) {
  bErrorOccurred = true;
  std::snprintf(szErrorString, sizeof(szErrorString), format, szComport[port]);
}

void cSerial::SetClosedError() {
  SetError(bLost ? "Error: device lost:%s" : "Error: port not initialized:%s");
}

bool cSerial::CheckLost() {
  if (!bConnected || !device.IsLost()) return false;
  // The handle of a removed device stays dead even when the device returns.
  device.Close();
  bConnected = false;
  bLost = true;
  ctReopenTime = platform::GetMonotonicMs();
  SetError("Error: device lost:%s");
  return true;
}

bool cSerial::MarkLost() {
  if (!IsValidPort(port)) return false;
  if (bConnected) device.Close();
  bConnected = false;
  bLost = true;
  ctReopenTime = platform::GetMonotonicMs();
  return true;
}

bool cSerial::Recover() {
  if (!bLost) return bConnected;
  const int64_t ctNow = platform::GetMonotonicMs();
  const int64_t ctDue = ctReopenTime + PORT_REOPEN_INTERVAL_MS;
  if (ctNow < ctDue) {
    const int64_t wait = ctDue - ctNow;
    platform::SleepMs(wait < PORT_WAIT_SLICE_MS ? static_cast<unsigned>(wait) : PORT_WAIT_SLICE_MS);
    return false;
  }
  return Reopen();
}

bool cSerial::Reopen() {
  if (bConnected) return true;
  if (Initialize(port, baud, address, protocol, false)) return true;
  MarkLost();
  return false;
}

bool cSerial::Initialize(ePort newPort, eBaud newBaud, char newAddress, eProtocol newProtocol,
                         bool bShowError) {
  if (bConnected) device.Close();
  bConnected = false;
  if (newPort < 0 || newPort > MAX_PORT) {
    // Never index the name table with it; the error names the number instead.
    bErrorOccurred = true;
    std::snprintf(szErrorString, sizeof(szErrorString), "Error: illegal port number:%d",
                  static_cast<int>(newPort));
    return false;
  }
  port = newPort;
  address = newAddress;
  baud = newBaud;
  protocol = newProtocol;
  if (!device.Open(port)) {
    bErrorOccurred = true;
    if (bShowError) {
      std::snprintf(szErrorString, sizeof(szErrorString), "Could not open:%s serial port",
                    szComport[port]);
      platform::ShowNotice(szErrorString, "Error", platform::NOTICE_WARNING);
    }
    return false;
  }
  if (!device.Configure(GetBaudRate(baud))) {
    device.Close();
    return false;
  }
  bConnected = true;
  bLost = false;
  return true;
}

bool cSerial::Disconnect() {
  bLost = false;
  if (!bConnected) return false;
  device.Close();
  bConnected = false;
  return true;
}

bool cSerial::Reconnect() {
  if (bConnected) return true;
  // A port known to be gone is tried quietly: its loss was reported when it began.
  if (bLost) return Reopen();
  if (Initialize(port, baud, address, protocol, true)) return true;
  MarkLost();
  return false;
}

bool cSerial::Write(const char* text) {
  if (!bConnected) {
    SetClosedError();
    return false;
  }
  char szLine[MAX_BUFF_LEN];
  const int length = protocol == PROTOCOL_ADDRESSED
                         ? std::snprintf(szLine, sizeof(szLine), "#%c %s\r\n", address, text)
                         : std::snprintf(szLine, sizeof(szLine), "%s\r\n", text);
  // A line that does not fit is refused whole: a cut command would reach the instrument
  // without its line end and run together with the next one.
  if (length < 0 || length >= MAX_BUFF_LEN) {
    SetError("Error: write length error:%s");
    return false;
  }
  if (device.Write(szLine, length) != length) {
    if (!CheckLost()) SetError("Error: write length error:%s");
    return false;
  }
  return true;
}

bool cSerial::WriteN(const char* data, int n) {
  if (!bConnected) {
    SetClosedError();
    return false;
  }
  if (n < 0) {
    SetError("Error: illegal write length:%s");
    return false;
  }
  if (n == 0) return true;
  const int written = device.Write(data, n);
  if (written != n) {
    // A lost device is no write fault to show: its loss is reported once, by the owner.
    if (CheckLost()) return false;
    SetError("Error: write length error:%s");
    char szText[32];
    std::snprintf(szText, sizeof(szText), "WriteNErr %d", written < 0 ? 0 : written);
    platform::ShowNotice(szText, "WritePacket1", platform::NOTICE_INFORMATION);
    return false;
  }
  return true;
}

bool cSerial::Flush() {
  if (bConnected && !device.Drain()) CheckLost();
  return true;
}

char* cSerial::Read() {
  static char szResponse[MAX_BUFF_LEN];
  bErrorOccurred = false;
  if (!bConnected) {
    SetClosedError();
    return szErrorString;
  }
  // Received bytes are counted with an index: a NUL byte on the line is data too.
  int count = 0;
  szResponse[0] = '\0';
  for (;;) {
    if (count >= MAX_BUFF_LEN - 1) {
      SetError("Error: input buffer overflow:%s");
      return szErrorString;
    }
    char byte = 0;
    if (device.Read(&byte, 1) != 1) {
      if (!CheckLost()) SetError("Error: read timeout:%s");
      return szErrorString;
    }
    if (count == 0 && (byte == '\r' || byte == '\n')) continue;
    szResponse[count++] = byte;
    szResponse[count] = '\0';
    if (byte == '\n') return szResponse;
  }
}

bool cSerial::ReadN(char* dest, int n, float seconds) {
  bErrorOccurred = false;
  if (!bConnected) {
    SetClosedError();
    return false;
  }
  if (n < 0) {
    SetError("Error: illegal read length:%s");
    return false;
  }
  const int64_t limit = static_cast<int64_t>(seconds * 1000.0 + 0.5);
  int64_t ctStart = platform::GetMonotonicMs();
  while (n > 0) {
    const int count = device.Read(dest, n);
    if (count < 0 && CheckLost()) return false;
    if (count > 0) {
      dest += count;
      n -= count;
      if (n == 0) return true;
    }
    const int64_t ctNow = platform::GetMonotonicMs();
    if (count > 0) ctStart = ctNow;
    if (ctNow >= ctStart + limit) {
      SetError("Error: read timeout:%s");
      return false;
    }
  }
  return true;
}

char* cSerial::ReadStripTerm() {
  char* szLine = Read();
  char* szCr = std::strchr(szLine, '\r');
  if (szCr != nullptr) *szCr = '\0';
  return szLine;
}

bool cSerial::PurgeRx() {
  if (!bConnected) {
    SetClosedError();
    return true;
  }
  if (!device.PurgeRx()) CheckLost();
  return true;
}

bool cSerial::ErrorOccurred() {
  const bool bOccurred = bErrorOccurred;
  bErrorOccurred = false;
  return bOccurred;
}

void cSerial::Dump() const {
  std::fputs("Serial Controller Class\n", stderr);
}
