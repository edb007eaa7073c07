// The network channel: a port of a serial device server reached over TCP, "rfc2217://HOST:PORT"
// or "socket://HOST:PORT" (comm/network_port.h), used exactly as the serial channel is.
//
// rfc2217: telnet with the com port option (comm/telnet_codec.h). Opening sets the server's
// line to the rate asked for, 8 data bits, no parity, 1 stop bit and no flow control, and
// waits until the server has confirmed each of these; DTR and RTS on are asked for as well,
// but servers that cannot set them (ser2net on a pty) never confirm them, so they are not
// waited for. Every 0xFF of the data is doubled on its way out and undoubled on its way in;
// telnet commands and the server's notifications never reach the data. PurgeRx also has the
// server drop what it received from its line.
// socket: the bytes as they are, the line as the server has it set: the channel cannot set
// the rate (CanSetBaud() is false), so the server's must be the one the caller uses.
//
// Read contract and line rules as the serial channel's: a read returns at once with what has
// arrived, else waits up to platform::SERIAL_READ_TIMEOUT_MS for the first byte; Read() gives
// the next non-empty line with its line end.
//
// A connection that is closed or reset (the server restarted, the network went) is a lost
// port (cComm), as a pulled adapter is for the serial channel: the channel closes it, fails the
// operations with "Error: connection lost:<port>", shows no notice, and is opened again
// quietly by Recover(), paced by cPortWait. A merely silent line is never taken for this.
#ifndef HALVEX_COMM_NETWORK_CHANNEL_H
#define HALVEX_COMM_NETWORK_CHANNEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "comm/network.h"
#include "comm/network_port.h"
#include "comm/port_reader.h"
#include "comm/port_wait.h"
#include "comm/telnet_codec.h"

// Time to make the TCP connection, at the first opening and at quiet reopenings.
constexpr int NETWORK_CONNECT_TIMEOUT_MS = 5000;
constexpr int NETWORK_REOPEN_CONNECT_TIMEOUT_MS = 2000;
// Time for the server's answers to the telnet negotiation, and then to the line settings.
constexpr int NETWORK_SETTINGS_TIMEOUT_MS = 3000;
// Time for the server's confirmation that it dropped what it had received from its line.
constexpr int NETWORK_PURGE_TIMEOUT_MS = 1000;
// Time Disconnect waits for the server to close its end after the program closed its own.
constexpr int NETWORK_CLOSE_TIMEOUT_MS = 1000;
// Flush: time for the server's answer that shows it has everything sent before, and the time
// its line is given beyond the bytes' own line time.
constexpr int NETWORK_FLUSH_TIMEOUT_MS = 1000;
constexpr int NETWORK_FLUSH_MARGIN_MS = 100;

class cNetworkChannel : public cNetworkClient, private cPortReader {
 public:
  cNetworkChannel();
  ~cNetworkChannel() override;

  // Connects to the server and sets up its line (see above); an open connection is closed
  // first. False when the server cannot be reached or did not accept a setting: then
  // GetOpenFailure() says why, the error text is set, and with bShowError the failure is
  // shown in a notice.
  bool Initialize(const stNetworkPort& port, eBaud baud, bool bShowError);
  bool Initialize(const char* host, unsigned port, eNetworkMode mode, eBaud baud, bool bShowError);

  // Closes the connection, after a Flush when something was written since the last one (the
  // server reads the end of the connection first); a lost one stops waiting.
  bool Disconnect() override;
  // Open: true at once. Closed: opens it with the last settings, the failure shown once; then
  // the port counts as lost and later attempts are quiet until it opens.
  bool Reconnect() override;
  bool IsConnected() override { return bConnected; }
  // Sends the text and CR LF; a line of more than 255 characters is refused whole.
  bool Write(const char* text) override;
  bool WriteN(const char* data, int n) override;
  // Waits until what was written has left the server's line: the server has received it
  // (rfc2217: it answers a question sent behind it) and the line has had the time the bytes
  // written since the last data received need at the rate, and a margin. A server closes its
  // line when the connection ends and drops what it has not sent yet. Always true.
  bool Flush() override;
  // The next non-empty line with its CR LF, in a buffer that the next Read overwrites; on
  // failure the error text itself ("Ethernet not initialized" on a closed channel).
  char* Read() override;
  // n bytes, failing only after `seconds` of silence (a silent read lasts 2000 ms).
  bool ReadN(char* dest, int n, float seconds) override;
  // Drops what has arrived; rfc2217 also has the server drop what it holds (PURGE-DATA).
  bool PurgeRx() override;

  // The port as the user names it: "rfc2217://bench3:2217".
  const char* GetName() const { return szName.c_str(); }
  const stNetworkPort& GetPort() const { return port; }
  eBaud GetBaud() const { return baud; }
  // False for socket://: the rate is the server's.
  bool CanSetBaud() const { return port.mode == NETWORK_RFC2217; }
  // Why the last Initialize failed, one line; empty when it opened.
  const char* GetOpenFailure() const { return openFailure.c_str(); }
  // The numeric address the port was last connected to ("192.0.2.7:2217", "[::1]:2217");
  // empty while it has never been open.
  const std::string& GetAddress() const { return address; }

  // Lost-port operations, as the serial channel's (cComm). A quiet attempt to open the
  // connection again waits NETWORK_REOPEN_CONNECT_TIMEOUT_MS at most for the server, at the
  // addresses the first opening resolved (no name lookup).
  // The server was reached and refused the com port option, binary transmission or a line
  // setting, or did not confirm a setting in time. A server that closed the connection, or did
  // not negotiate at all, refused nothing.
  bool SettingsRefused() const override { return bSettingsRefused; }

 private:
  bool Open(bool bShowError, int connectTimeoutMs);
  // The lost-port parts (cComm): a port given, Open with the last settings (a quiet attempt
  // with the shorter time limit), and the dead connection closed.
  bool HasPort() const override { return !port.host.empty(); }
  bool OpenPort(bool bShowError) override;
  void CloseDeadPort() override;
  // On failure openFailure holds the reason, and bSettingsRefused is set when the server
  // refused.
  bool SetUpLine();
  bool OpenFailed(const std::string& reason, const char* szError, bool bShowError);
  void SetError(const char* format) override;
  void SetClosedError();
  // The connection was found closed or reset: closed for good, lost.
  void LoseConnection();
  // Sends bytes (escaped for rfc2217); false (lost) when they did not all go.
  bool SendData(const char* data, int n);
  // Sends a com port request (its confirmations are then looked for from scratch); false (lost)
  // when it did not all go.
  bool SendRequest(const std::string& request);
  // Waits up to timeoutMs for the server's confirmation of command: it, or nullptr when none
  // came in time (bUnanswered is then set) or the connection was lost.
  const stComPortReply* AwaitReply(unsigned char command, int timeoutMs, bool& bUnanswered);
  // Sends the negotiation's answers, if any.
  bool SendAnswers();
  // Takes what the server sent within waitMs into the received data: the bytes taken from
  // the socket, 0 after waitMs of silence, -1 when the connection is gone.
  int Take(int waitMs);
  // Up to n received bytes under the read contract: 0 after the silence limit, -1 lost.
  int ReadSome(char* dest, int n) override;
  void DropReceived();

  stNetworkPort port;
  std::string szName;
  eBaud baud;
  bool bUnflushed;           // written since the last Flush
  int64_t ctLineFree;        // when the server's line will have sent everything written
  bool bQuestionUnanswered;  // the server did not answer Flush's question once
  bool bPurgeUnanswered;     // the server did not confirm PURGE-DATA once: it is not waited for
  bool bSettingsRefused;
  std::string openFailure;
  std::string tracedFailure;  // the last open failure in the trace
  std::string address;        // numeric address connected to
  // The addresses the name resolved to at the first opening after Initialize: every later
  // opening (a quiet one above all) connects to them without asking the name server again.
  platform::tSocketAddresses knownAddresses;
  cTelnetCodec codec;
  std::string received;  // line data not yet read, from receivedAt on
  size_t receivedAt;
  std::string answers;
  std::string outgoing;
  std::vector<char> chunk;  // one receive from the socket
};

#endif
