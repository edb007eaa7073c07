// The channel family: ports, rates, line framing and the abstract channel.
#ifndef HALVEX_COMM_COMM_H
#define HALVEX_COMM_COMM_H

#include <string>

// Serial port number n designates COMn; 0 names no real port.
enum ePort : int {
  PORT_NONE = 0,
  COM1,
  COM2,
  COM3,
  COM4,
  COM5,
  COM6,
  COM7,
  COM8,
  COM9,
  COM10,
  COM11,
  COM12,
  COM13,
  COM14,
  COM15,
  COM16
};
constexpr int MAX_PORT = 16;

// Port names indexed by ePort: "COM0" to "COM16".
extern const char* const szComport[MAX_PORT + 1];

enum eBaud : int { BAUD_9600 = 0, BAUD_19200, BAUD_38400, BAUD_57600, BAUD_115200 };
constexpr int MAX_BAUD = BAUD_115200;

// Framing of the lines that Write sends.
enum eProtocol : int {
  PROTOCOL_PLAIN = 0,      // text CR LF
  PROTOCOL_ADDRESSED = 1,  // "#", address, blank, text, CR LF
};

// Text of a rate ("9600" ... "115200"), in one function-static string that each call
// overwrites; a value outside the table leaves it as the previous call left it.
const std::string& GetBaudString(eBaud baud);

// Bits per second of a rate; 0 for a value outside the table.
unsigned GetBaudRate(eBaud baud);

// True for a real port number, 1 to MAX_PORT.
inline bool IsValidPort(int port) {
  return port >= 1 && port <= MAX_PORT;
}

// Abstract channel. Results are bools; nothing throws. A channel keeps the text of its last
// error; ErrorOccurred reports an error once and clears it.
class cComm {
 public:
  virtual ~cComm() {}
  virtual bool Disconnect() = 0;
  virtual bool Reconnect() = 0;
  virtual bool IsConnected() = 0;
  virtual int GetType() = 0;
  virtual bool Write(const char* text) = 0;
  virtual bool WriteN(const char* data, int n) = 0;
  virtual bool Flush() = 0;
  virtual char* Read() = 0;
  virtual bool ReadN(char* dest, int n, float seconds) = 0;
  virtual char* ReadStripTerm() = 0;
  virtual bool PurgeRx() = 0;
  virtual bool ErrorOccurred() = 0;
  virtual const char* GetErrorString() = 0;
};

#endif
