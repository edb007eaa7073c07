// The client's side of telnet (RFC 854, 855) with the options a serial device server needs:
// BINARY (RFC 856) both ways, SUPPRESS-GO-AHEAD (RFC 858) both ways and COM-PORT-OPTION
// (RFC 2217) from the client, through which the client sets the server's serial line.
//
// Pure: bytes in, bytes out, no sockets. Receive() takes what the server sent and splits it
// into line data (a doubled 0xFF undoubled) and the answers the option negotiation needs;
// every other telnet command, and every notification of the server, is read and dropped.
// Escape() doubles every 0xFF of data to be sent.
#ifndef HALVEX_COMM_TELNET_CODEC_H
#define HALVEX_COMM_TELNET_CODEC_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace telnet {

constexpr unsigned char IAC = 255;
constexpr unsigned char DONT = 254;
constexpr unsigned char DO = 253;
constexpr unsigned char WONT = 252;
constexpr unsigned char WILL = 251;
constexpr unsigned char SB = 250;
constexpr unsigned char SE = 240;

constexpr unsigned char OPTION_BINARY = 0;
constexpr unsigned char OPTION_SGA = 3;
constexpr unsigned char OPTION_COM_PORT = 44;

// Com port commands of the client; the server confirms each with the same number plus
// COM_SERVER_OFFSET and the value it set.
constexpr unsigned char COM_SET_BAUDRATE = 1;  // value: 4 bytes, most significant first
constexpr unsigned char COM_SET_DATASIZE = 2;
constexpr unsigned char COM_SET_PARITY = 3;
constexpr unsigned char COM_SET_STOPSIZE = 4;
constexpr unsigned char COM_SET_CONTROL = 5;
constexpr unsigned char COM_PURGE_DATA = 12;
constexpr unsigned char COM_SERVER_OFFSET = 100;

constexpr unsigned char COM_PARITY_NONE = 1;
constexpr unsigned char COM_STOPSIZE_1 = 1;
constexpr unsigned char COM_CONTROL_NO_FLOW = 1;
constexpr unsigned char COM_CONTROL_DTR_ON = 8;
constexpr unsigned char COM_CONTROL_RTS_ON = 11;
constexpr unsigned char COM_PURGE_RECEIVE = 1;  // the server's buffer of bytes from the line

}  // namespace telnet

// Where an option stands on one side of the connection.
enum eTelnetOption { TELNET_OPTION_OFF = 0, TELNET_OPTION_ASKED, TELNET_OPTION_ON };

// The server's confirmation of a com port command.
struct stComPortReply {
  unsigned char command;  // the client's command number (the server's minus 100)
  uint32_t value;         // the value the server set
  size_t dataOffset;      // how many data bytes Receive had delivered before it
};

class cTelnetCodec {
 public:
  cTelnetCodec() { Reset(); }

  // A fresh connection: every option off, nothing pending.
  void Reset();

  // The client's opening requests (WILL and DO BINARY, WILL and DO SUPPRESS-GO-AHEAD, WILL
  // COM-PORT-OPTION), appended to out; those options stand ASKED until the server answers.
  void Start(std::string& out);

  // Appends data to out with every 0xFF doubled.
  static void Escape(const char* data, size_t n, std::string& out);
  // Appends a com port command with its value bytes (escaped) to out.
  static void ComPortCommand(unsigned char command, const unsigned char* value, size_t n,
                             std::string& out);
  static void SetBaudRate(uint32_t bitsPerSecond, std::string& out);

  // Takes bytes the server sent: line data is appended to data, answers to the negotiation to
  // answers, confirmations of com port commands to the replies (see Replies()). A command cut
  // between two calls is continued by the next call.
  void Receive(const char* in, size_t n, std::string& data, std::string& answers);

  // Our side of an option (we send: WILL/WONT) and the server's (DO/DONT from us).
  eTelnetOption Ours(unsigned char option) const;
  eTelnetOption Theirs(unsigned char option) const;

  // The confirmations received since the last ClearReplies (the latest kept when a server
  // sends very many); dataOffset counts from the data appended since that call.
  const std::vector<stComPortReply>& Replies() const { return replies; }
  void ClearReplies();

 private:
  enum eState { STATE_DATA, STATE_IAC, STATE_OPTION, STATE_SUB, STATE_SUB_IAC };
  static const size_t MAX_SUB_LEN = 16;
  static const size_t MAX_REPLIES = 32;

  void Negotiate(unsigned char verb, unsigned char option, std::string& answers);
  void EndSubnegotiation();

  eState state;
  unsigned char verb;  // WILL, WONT, DO or DONT awaiting its option byte
  unsigned char sub[MAX_SUB_LEN];
  size_t subLength;  // bytes of the subnegotiation so far (only the first MAX_SUB_LEN kept)
  eTelnetOption ours[3];
  eTelnetOption theirs[3];
  std::vector<stComPortReply> replies;
  size_t dataDelivered;  // data bytes delivered since the last ClearReplies
};

#endif
