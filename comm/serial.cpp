#include "comm/serial.h"

#include <cstdio>

#include "util/notice.h"
#include "util/trace.h"

cSerial::cSerial()
    : port(PORT_NONE),
      address('*'),
      baud(BAUD_57600),
      protocol(PROTOCOL_PLAIN),
      bErrorOccurred(false),
      szErrorString{0},
      bConnected(false),
      bSettingsRefused(false) {}

cSerial::~cSerial() {
  Disconnect();
}

void cSerial::SetError(const char* format) {
  bErrorOccurred = true;
  std::snprintf(szErrorString, sizeof(szErrorString), format, szComport[port]);
}

void cSerial::SetClosedError() {
  SetError(portWait.IsLost() ? "Error: device lost:%s" : "Error: port not initialized:%s");
}

bool cSerial::CheckLost() {
  if (!bConnected || !device.IsLost()) return false;
  LosePort();
  SetError("Error: device lost:%s");
  return true;
}

void cSerial::CloseDeadPort() {
  // The handle of a removed device stays dead even when the device returns.
  device.Close();
  trace.PortLost(szComport[port]);
  bConnected = false;
}

bool cSerial::OpenPort(bool bShowError) {
  return Initialize(port, baud, address, protocol, bShowError);
}

bool cSerial::Initialize(ePort newPort, eBaud newBaud, char newAddress, eProtocol newProtocol,
                         bool bShowError) {
  if (bConnected) {
    device.Close();
    trace.PortClosed(szComport[port]);
  }
  bConnected = false;
  bSettingsRefused = false;
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
  // A port whose settings do not take is no open port either: the same report, with the
  // system's reason.
  if (!device.Open(port) || !device.Configure(GetBaudRate(baud))) {
    bSettingsRefused = device.SettingsRefused();
    device.Close();
    ReportOpenFailure(bShowError);
    return false;
  }
  bConnected = true;
  portWait.Clear();
  szTracedFailure.clear();
  trace.PortOpened(szComport[port], platform::SerialPortPath(port), GetBaudRate(baud));
  return true;
}

void cSerial::ReportOpenFailure(bool bShowError) {
  bErrorOccurred = true;
  const std::string& reason = device.GetOpenFailure();
  // While a lost port is waited for, the same failure again is no news for the trace.
  if (!portWait.IsLost() || reason != szTracedFailure) {
    trace.PortNotOpened(szComport[port], reason);
    szTracedFailure = reason;
  }
  if (!bShowError) return;
  std::snprintf(szErrorString, sizeof(szErrorString), "Could not open:%s serial port",
                szComport[port]);
  // The device and the system's reason follow on a line of their own.
  const std::string text =
      reason.empty() ? std::string(szErrorString) : std::string(szErrorString) + "\n" + reason;
  Notify(text.c_str(), "Error", NOTICE_WARNING);
}

bool cSerial::Disconnect() {
  portWait.Clear();
  if (!bConnected) return false;
  device.Close();
  bConnected = false;
  trace.PortClosed(szComport[port]);
  return true;
}

bool cSerial::Reconnect() {
  return ReconnectPort();
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
  const int written = device.Write(szLine, length);
  trace.LineSent(szComport[port], szLine, written < 0 ? 0 : written);
  if (written != length) {
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
    char szText[96];
    std::snprintf(szText, sizeof(szText), "Only %d of %d bytes could be written to %s.",
                  written < 0 ? 0 : written, n, szComport[port]);
    Notify(szText, "Sending failed", NOTICE_INFORMATION);
    return false;
  }
  return true;
}

bool cSerial::Flush() {
  if (bConnected && !device.Drain()) CheckLost();
  return true;
}

int cSerial::ReadSome(char* dest, int n) {
  const int count = device.Read(dest, n);
  if (count < 0 && CheckLost()) return -1;
  return count < 0 ? 0 : count;
}

char* cSerial::Read() {
  static char szResponse[MAX_BUFF_LEN];
  bErrorOccurred = false;
  if (!bConnected) {
    SetClosedError();
    return szErrorString;
  }
  return ReadLine(szComport[port], szResponse, MAX_BUFF_LEN) ? szResponse : szErrorString;
}

bool cSerial::ReadN(char* dest, int n, float seconds) {
  bErrorOccurred = false;
  if (!bConnected) {
    SetClosedError();
    return false;
  }
  return ReadBytes(szComport[port], dest, n, seconds);
}

bool cSerial::PurgeRx() {
  if (!bConnected) {
    SetClosedError();
    return true;
  }
  if (!device.PurgeRx()) CheckLost();
  return true;
}

void cSerial::Dump() const {
  std::fputs("Serial Controller Class\n", stderr);
}
