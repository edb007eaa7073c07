// The channel family: ports, rates, line framing and the abstract channel.
#ifndef HALVEX_COMM_COMM_H
#define HALVEX_COMM_COMM_H

#include <string>

#include "comm/port_wait.h"

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
//
// A port that goes away (a USB adapter pulled or reset, a device server that drops the
// connection) is the channel's business alone. The channel tells it from a line that is merely
// silent, closes the dead port itself, fails the operations that meet it with
// "Error: device lost:<port>" and shows no notice for them; it then waits for the port to
// return, paced by cPortWait (comm/port_wait.h), trying quietly with its last settings. Its
// owner asks IsLost() (to report the loss once, and the return once), calls Recover() as the
// first thing of every step it repeats, and keeps no timer of its own.
//
// The waiting is written here once: a channel whose port can go away supplies its own parts
// (HasPort, OpenPort, CloseDeadPort), calls LosePort when an operation finds the port gone and
// ReconnectPort for its Reconnect, and clears portWait when it lets go of the port. The
// defaults are those of a channel whose port never goes away.
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
  // Read() (through the virtual interface) without the line end: the line cut at its first CR.
  // Every channel cuts its lines the same way, so the interface gives it once.
  virtual char* ReadStripTerm();
  virtual bool PurgeRx() = 0;
  virtual bool ErrorOccurred() = 0;
  virtual const char* GetErrorString() = 0;

  // The port went away (or did not open again) and the channel waits for it to return. False
  // again once it is open, or once Disconnect has let go of it.
  bool IsLost() const { return portWait.IsLost(); }
  // Takes the port as gone although nothing has failed on it yet: its owner knows it was there
  // a moment ago (the other connection has just let go of it), yet it did not open. It is then
  // waited for like a lost one. False for a channel that was never given a port.
  bool MarkLost();
  // One step of getting the port back, quietly. Open: true at once. Closed by Disconnect: one
  // attempt now to open it with the last settings. Lost: one attempt when the next is due,
  // otherwise a sleep of at most PORT_WAIT_SLICE_MS. An attempt that fails takes the port as
  // lost. True when the port is open.
  bool Recover();
  // The last attempt to open the port reached it (the device, or the device server), and it
  // refused the line settings (the speed, the character format, the flow control): the port is
  // there, and opening it the same way would fail the same way. Its owner need not wait for
  // it: an Initialize that was refused leaves the port closed, not lost. (A quiet attempt of
  // the wait for a lost port that is refused still counts as a failed attempt.) False again
  // once the port opens.
  virtual bool SettingsRefused() const { return false; }

 protected:
  // The channel's own parts of the wait for a lost port.
  // A port was given (Initialize), so there is one to wait for.
  virtual bool HasPort() const { return false; }
  // Opens the port with the last settings: quietly, or showing a failure as a notice (a quiet
  // attempt may give up sooner). True when it is open.
  virtual bool OpenPort(bool /*bShowError*/) { return false; }
  // Closes the handle of an open port that went away, drops what it held and traces the loss.
  virtual void CloseDeadPort() {}

  // An operation found the open port gone: closed for good, and waited for.
  void LosePort();
  // One quiet attempt to open the port again; one that does not open counts as lost.
  bool Reopen();
  // Reconnect of a channel that waits for its port: open, true at once; known to be gone, one
  // quiet attempt; otherwise an attempt that shows its failure once, after which the port
  // counts as lost and later attempts are quiet until it opens.
  bool ReconnectPort();

  cPortWait portWait;
};

#endif
