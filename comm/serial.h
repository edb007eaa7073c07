// The serial-port channel: text lines and raw bytes with time limits.
#ifndef HALVEX_COMM_SERIAL_H
#define HALVEX_COMM_SERIAL_H

#include <string>
#include <utility>

#include "comm/comm.h"
#include "comm/port_reader.h"
#include "comm/port_wait.h"
#include "platform/serial_device.h"
#include "util/no_copy.h"

constexpr int MAX_BUFF_LEN = 256;
constexpr int MAX_ERROR_LEN = 64;

class cSerial : public cComm, private cPortReader, private cNoCopy {
 public:
  cSerial();
  ~cSerial() override;

  // Opens and configures the port (an open port is closed first). With bShowError an open
  // failure is shown in a message box. A port outside 0 to 16 is refused.
  bool Initialize(ePort port, eBaud baud, char address, eProtocol protocol, bool bShowError);

  // Closes the port; a port waiting for its device stops waiting.
  bool Disconnect() override;
  // Open: true at once. Closed: opens it with the last settings. A failure is shown once (when
  // the port was not already known to be gone); then the port counts as gone and later
  // attempts are quiet until it opens.
  bool Reconnect() override;
  bool IsConnected() override { return bConnected; }
  int GetType() override { return 0; }
  bool Write(const char* text) override;
  bool WriteN(const char* data, int n) override;
  bool Flush() override;
  // The next non-empty line with its CR LF, in a buffer shared by all serial channels that
  // the next Read overwrites; on failure the error text itself.
  char* Read() override;
  // n bytes, failing only after `seconds` of silence (a silent read lasts 2000 ms).
  bool ReadN(char* dest, int n, float seconds) override;
  bool PurgeRx() override;
  bool ErrorOccurred() override { return std::exchange(bErrorOccurred, false); }
  const char* GetErrorString() override { return szErrorString; }
  void Dump() const;

  ePort GetPort() const { return port; }
  // Why the last Initialize could not open the port (device and system's reason); empty when
  // it opened.
  const char* GetOpenFailure() const { return device.GetOpenFailure().c_str(); }
  eBaud GetBaud() const { return baud; }

  // A lost port (see cComm): the device went away under an open port, or the port did not
  // open again. The dead handle is closed, the operations fail with "Error: device lost:<port>"
  // and nothing is shown; a merely silent line is never taken for this.
  // The device refused the settings (platform::cSerialDevice::SettingsRefused).
  bool SettingsRefused() const override { return bSettingsRefused; }

 private:
  int ReadSome(char* dest, int n) override;
  void SetError(const char* format) override;
  // Called after every device operation: a device found gone closes the port for good.
  bool CheckLost();
  // The lost-port parts (cComm): a port of the table, Initialize with the last settings, and
  // the dead handle closed.
  bool HasPort() const override { return IsValidPort(port); }
  bool OpenPort(bool bShowError) override;
  void CloseDeadPort() override;
  // The error of an operation on a closed port.
  void SetClosedError();
  // A port that did not open or whose settings did not take: the error, the trace and, with
  // bShowError, the notice with the device and the system's reason.
  void ReportOpenFailure(bool bShowError);

  platform::cSerialDevice device;
  ePort port;
  char address;
  eBaud baud;
  eProtocol protocol;
  bool bErrorOccurred;
  char szErrorString[MAX_ERROR_LEN];
  bool bConnected;
  bool bSettingsRefused;
  std::string szTracedFailure;  // the last open failure in the trace
};

#endif
