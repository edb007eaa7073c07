// The serial-port channel: text lines and raw bytes with time limits.
#ifndef HALVEX_COMM_SERIAL_H
#define HALVEX_COMM_SERIAL_H

#include "comm/comm.h"
#include "platform/serial_device.h"

constexpr int MAX_BUFF_LEN = 256;
constexpr int MAX_ERROR_LEN = 64;

class cSerial : public cComm {
 public:
  cSerial();
  ~cSerial() override;
  cSerial(const cSerial&) = delete;
  cSerial& operator=(const cSerial&) = delete;

  // Opens and configures the port (an open port is closed first). With bShowError an open
  // failure is shown in a message box. A port outside 0 to 16 is refused.
  bool Initialize(ePort port, eBaud baud, char address, eProtocol protocol, bool bShowError);

  bool Disconnect() override;
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
  char* ReadStripTerm() override;
  bool PurgeRx() override;
  bool ErrorOccurred() override;
  const char* GetErrorString() override { return szErrorString; }
  void Dump() const;

  ePort GetPort() const { return port; }
  // Why the last Initialize could not open the port (device and system's reason); empty when
  // it opened.
  const char* GetOpenFailure() const { return device.GetOpenFailure().c_str(); }
  eBaud GetBaud() const { return baud; }

 private:
  void SetError(const char* format);

  platform::cSerialDevice device;
  ePort port;
  char address;
  eBaud baud;
  eProtocol protocol;
  bool bErrorOccurred;
  char szErrorString[MAX_ERROR_LEN];
  bool bConnected;
};

#endif
