// The traffic trace ("-TRACE=<file>"): a timestamped transcript of everything that goes over
// the line and of the report lines, appended to a text file for the service technician.
//
// Every line: "YYYY-MM-DD HH:MM:SS.mmm EVENT   details", EVENT one of
//   START, END        the program's run (written by the program)
//   OPEN, CLOSE       a port with its settings, or why it could not be opened
//   TX LINE, RX LINE  a text line, quoted, control bytes escaped (\r \n \t \xNN)
//   TX PKT, RX PKT    a packet: length, checksum, for a received one whether it matched, the
//                     first bytes in hex
//   TX ANS, RX ANS    one answer byte of the packet handshake
//   TIMEOUT           a wait that ended without what it waited for
//   IMAGE             the image a transfer starts to send: local path, size and SHA-256, as
//                     the check before the installer's start read it
//   SENT              a pass read the whole announced size: local path, size and the SHA-256
//                     of the bytes it read for the line; when they differ from the checked
//                     ones, that hash too and that no end-of-file marker follows
//   REPORT            a line the program wrote on standard output
//   NOTICE            a notice for the user (a message box in the window, a line on standard
//                     error in the automatic mode)
//   UNSURE            a packet of a transfer that got neither "A" nor "N": the installer may
//                     have stored it
// While no file is open every call returns at once, so the hooks cost nothing.
#ifndef HALVEX_UTIL_TRACE_H
#define HALVEX_UTIL_TRACE_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "util/no_copy.h"

// Bytes of a packet shown in hex.
constexpr int TRACE_PACKET_BYTES = 16;

class cTrace : private cNoCopy {
 public:
  // Called once with a clear text when the trace cannot be written; tracing then stops.
  typedef void (*FailureHandler)(const std::string& text);

  cTrace();
  ~cTrace();

  // Opens the file for appending (it is created when missing) and writes a START line with
  // header. False, reported through the failure handler, when it cannot be opened or written.
  bool Open(const std::string& path, const std::string& header);
  // Writes an END line with footer (when not empty) and closes the file.
  void Close(const std::string& footer);
  bool IsOn() const { return file != nullptr; }
  void SetFailureHandler(FailureHandler handler) { failureHandler = handler; }

  void PortOpened(const char* szPort, const std::string& devicePath, unsigned baud);
  // A network port that passes bytes as they are: the line is set by the server, not here.
  void RawPortOpened(const char* szPort, const std::string& address);
  void PortNotOpened(const char* szPort, const std::string& reason);
  void PortClosed(const char* szPort);
  // Closed because the device is gone (unplugged, powered off).
  void PortLost(const char* szPort);
  void LineSent(const char* szPort, const char* data, int length);
  void LineReceived(const char* szPort, const char* data, int length);
  // A wait that ended without what it waited for; what says which.
  void Timeout(const std::string& what);
  // A packet written: its length and sum. Length 0 is the end-of-file marker.
  void PacketSent(const char* data, int length, uint32_t checksum);
  void PacketReceived(const char* data, int length, uint32_t checksum, bool bMatched);
  // A received length field that no packet can have.
  void PacketRefused(int length);
  void AnswerSent(char byte);
  void AnswerReceived(char byte);
  // A transfer starts: the image's local path, its size and SHA-256 (hex).
  void ImageSent(const std::string& localPath, uint64_t size, const std::string& sha256);
  // A pass of the transfer has read the whole announced size: the SHA-256 (hex) of what it
  // read for the line ("" when it could not be computed) and the checked one ("": none).
  void PassSent(const std::string& localPath, uint64_t size, const std::string& sha256,
                const std::string& checkedSha256);
  // Text written on standard output: one REPORT line per line of it.
  void Report(const std::string& text);
  // A notice for the user, as one line.
  void Notice(const std::string& line);
  // A packet of a transfer was written whole and answered neither "A" nor "N"; what says which.
  void Unsure(const std::string& what);

 private:
  void WriteLine(const char* szEvent, const std::string& details);
  void Fail(const char* szWhat, int error);

  FILE* file;
  std::string path;
  FailureHandler failureHandler;
};

// The program's one trace; off until "-TRACE=" opens it.
extern cTrace trace;

// The bytes as text: printable ASCII as it is, backslash and quote escaped, CR LF tab as \r
// \n \t, everything else as \xNN.
std::string EscapeTraceText(const char* data, int length);
// The first count bytes in hex, "02 00 00 00"; longer data adds " ... (+N bytes)".
std::string FormatTraceBytes(const char* data, int length, int count);

#endif
