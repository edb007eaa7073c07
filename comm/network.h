// A partial TCP channel: connects to an IPv4 server given as dotted-quad text and a port,
// sends text lines and reads text replies. IsConnected, WriteN, Flush, ReadN(char*, int,
// float) and PurgeRx stay pure: the complete TCP channel, cNetworkChannel
// (comm/network_channel.h), is derived from this class.
#ifndef HALVEX_COMM_NETWORK_H
#define HALVEX_COMM_NETWORK_H

#include <utility>

#include "comm/comm.h"
#include "platform/socket.h"
#include "util/no_copy.h"

// Dotted-quad text "255.255.255.255" and its NUL.
constexpr int MAX_DQUAD_LEN = 16;
constexpr int MAX_NET_BUFF_LEN = 256;
constexpr int MAX_NET_ERROR_LEN = 64;

class cNetworkClient : public cComm, private cNoCopy {
 public:
  cNetworkClient();
  ~cNetworkClient() override;

  // Connects to address (four decimal numbers 0-255 separated by points, at most 15
  // characters) at port (its low 16 bits); an open connection is closed first. An address
  // that is longer or not a dotted quad is refused: nothing connects. Every failure sets the
  // error, keeps its text and shows it in a message box.
  bool Initialize(const char* address, unsigned int port);

  bool Disconnect() override;
  bool Reconnect() override;
  int GetType() override { return 1; }
  // Sends the text, then CR LF; false only on a closed client.
  bool Write(const char* text) override;
  // The reply: everything received until a receive brings a LF (bytes behind the LF in that
  // receive included), in a buffer that the next Read overwrites. A reply that would pass
  // 255 characters ends with the part collected before it. " Receive Error" when a receive
  // fails or the server closed the connection; "Ethernet not initialized" on a closed client.
  char* Read() override;
  using cComm::ReadN;
  // Exactly n bytes as text (n at most 255), in a buffer that the next ReadN(int) overwrites;
  // " Receive Error", "Ethernet not initialized" or "too many bytes to read" otherwise.
  const char* ReadN(int n);
  bool ErrorOccurred() override { return std::exchange(bErrorOccurred, false); }
  const char* GetErrorString() override { return szErrorString; }
  void Dump() const;

 protected:
  // Closes the socket and releases the socket library; the client is closed.
  void Close();

  platform::cTcpSocket sock;
  bool bErrorOccurred;
  char szErrorString[MAX_NET_ERROR_LEN];
  bool bConnected;

 private:
  bool Fail(const char* text, bool bCleanup);

  char szAddress[MAX_DQUAD_LEN];
  unsigned int nPort;
};

#endif
