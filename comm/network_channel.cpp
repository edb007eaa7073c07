#include "comm/network_channel.h"

#include <cstdio>
#include <cstring>

#include "platform/clock.h"
#include "platform/serial_device.h"
#include "util/notice.h"
#include "util/trace.h"

using namespace telnet;

namespace {

const char NOT_INITIALIZED[] = "Ethernet not initialized";
// The largest receive: a whole packet of the installer with its header.
const size_t RECEIVE_CHUNK = 16384 + 64;
// PurgeRx takes what is already waiting at the socket in at most this many receives.
const int MAX_PURGE_RECEIVES = 64;

std::string Seconds(int ms) {
  return std::to_string(ms / 1000) + " s";
}

// A line setting the server is asked for and must confirm.
struct sLineSetting {
  unsigned char command;
  uint32_t value;
  std::string szWhat;  // "the speed 57600", "8 data bits", ...
};

}  // namespace

cNetworkChannel::cNetworkChannel()
    : baud(BAUD_57600),
      bUnflushed(false),
      ctLineFree(0),
      bQuestionUnanswered(false),
      bPurgeUnanswered(false),
      bSettingsRefused(false),
      receivedAt(0),
      chunk(RECEIVE_CHUNK) {}

cNetworkChannel::~cNetworkChannel() {
  Disconnect();
}

void cNetworkChannel::SetError(const char* format) {
  bErrorOccurred = true;
  std::snprintf(szErrorString, sizeof(szErrorString), format, szName.c_str());
}

void cNetworkChannel::SetClosedError() {
  if (portWait.IsLost()) {
    SetError("Error: connection lost:%s");
  } else {
    bErrorOccurred = true;
    std::snprintf(szErrorString, sizeof(szErrorString), "%s", NOT_INITIALIZED);
  }
}

void cNetworkChannel::DropReceived() {
  received.clear();
  receivedAt = 0;
}

bool cNetworkChannel::Initialize(const char* host, unsigned portNumber, eNetworkMode mode,
                                 eBaud newBaud, bool bShowError) {
  stNetworkPort newPort;
  newPort.mode = mode;
  newPort.host = host != nullptr ? host : "";
  newPort.port = static_cast<uint16_t>(portNumber);
  if (newPort.host.empty() || portNumber == 0 || portNumber > 65535) {
    if (bConnected) Disconnect();
    bErrorOccurred = true;
    std::snprintf(szErrorString, sizeof(szErrorString), "Error: illegal network port:%s:%u",
                  newPort.host.c_str(), portNumber);
    openFailure = szErrorString;
    return false;
  }
  return Initialize(newPort, newBaud, bShowError);
}

bool cNetworkChannel::Initialize(const stNetworkPort& newPort, eBaud newBaud, bool bShowError) {
  if (bConnected) Disconnect();
  port = newPort;
  szName = FormatNetworkPort(port);
  address.clear();
  knownAddresses.clear();
  baud = newBaud;
  return Open(bShowError, NETWORK_CONNECT_TIMEOUT_MS);
}

bool cNetworkChannel::OpenFailed(const std::string& reason, const char* szError, bool bShowError) {
  bErrorOccurred = true;
  std::snprintf(szErrorString, sizeof(szErrorString), "%s", szError);
  openFailure = szName + ": " + reason;
  // While a lost port is waited for, the same failure again is no news for the trace.
  if (!portWait.IsLost() || reason != tracedFailure) {
    trace.PortNotOpened(szName.c_str(), reason);
    tracedFailure = reason;
  }
  if (bShowError) {
    const std::string text = std::string(szErrorString) + "\n" + openFailure;
    Notify(text.c_str(), "Error", NOTICE_WARNING);
  }
  return false;
}

bool cNetworkChannel::Open(bool bShowError, int connectTimeoutMs) {
  openFailure.clear();
  DropReceived();
  codec.Reset();
  bUnflushed = false;
  bQuestionUnanswered = false;
  bPurgeUnanswered = false;
  bSettingsRefused = false;
  switch (platform::StartSockets()) {
    case platform::SOCKETS_STARTED:
      break;
    case platform::SOCKETS_START_FAILED:
      return OpenFailed("the socket library did not start.", "Could not start winsock2",
                        bShowError);
    case platform::SOCKETS_WRONG_VERSION:
      platform::CleanupSockets();
      return OpenFailed("the socket library does not offer version 2.0.",
                        "This application requires winsock 2.0", bShowError);
  }

  std::string systemText;
  const platform::eConnectResult result =
      sock.ConnectTo(port.host.c_str(), port.port, connectTimeoutMs, systemText, &knownAddresses);
  if (result != platform::CONNECT_DONE) {
    platform::CleanupSockets();
    char szError[MAX_NET_ERROR_LEN];
    std::snprintf(szError, sizeof(szError), "Could not connect to server:%s port:%u",
                  port.host.c_str(), static_cast<unsigned>(port.port));
    std::string reason;
    switch (result) {
      case platform::CONNECT_NAME_UNKNOWN:
        reason = "the name " + port.host + " is not known (" + systemText +
                 "). Check the server's name, or give its address.";
        break;
      case platform::CONNECT_NO_SOCKET:
        return OpenFailed("no network socket (" + systemText + ").",
                          "Could not create network socket", bShowError);
      case platform::CONNECT_REFUSED:
        reason = "the server refused the connection (" + systemText +
                 "). Is the device server running, and does it listen at port " +
                 std::to_string(port.port) + "?";
        break;
      case platform::CONNECT_NO_ANSWER:
        reason = "no answer within " + Seconds(connectTimeoutMs) + " (" + systemText +
                 "). Check the address and the network.";
        break;
      case platform::CONNECT_UNREACHABLE:
        reason = systemText + ". Check the address and the network.";
        break;
      default:
        reason = systemText + ".";
        break;
    }
    return OpenFailed(reason, szError, bShowError);
  }
  address = systemText;
  tracedFailure.clear();
  bConnected = true;
  if (port.mode == NETWORK_RFC2217 && !SetUpLine()) {
    Close();
    DropReceived();
    const std::string reason = openFailure;
    char szError[MAX_NET_ERROR_LEN];
    std::snprintf(szError, sizeof(szError), "Could not set up the line:%s", szName.c_str());
    return OpenFailed(reason, szError, bShowError);
  }
  portWait.Clear();
  if (port.mode == NETWORK_RFC2217) {
    trace.PortOpened(szName.c_str(), address, GetBaudRate(baud));
  } else {
    trace.RawPortOpened(szName.c_str(), address);
  }
  return true;
}

int cNetworkChannel::Take(int waitMs) {
  const int count = sock.ReceiveWithin(chunk.data(), static_cast<int>(chunk.size()), waitMs);
  if (count == platform::SOCKET_GONE) return -1;
  if (count == 0) return 0;
  if (receivedAt == received.size()) DropReceived();
  const size_t before = received.size();
  if (port.mode == NETWORK_RFC2217) {
    codec.Receive(chunk.data(), static_cast<size_t>(count), received, answers);
    if (!SendAnswers()) return -1;
  } else {
    received.append(chunk.data(), static_cast<size_t>(count));
  }
  // An answer from the line: what was written before it has gone out (the instrument answers
  // what it received), so the line's time is counted from here.
  if (received.size() > before) ctLineFree = platform::GetMonotonicMs();
  return count;
}

bool cNetworkChannel::SendAnswers() {
  if (answers.empty()) return true;
  const int length = static_cast<int>(answers.size());
  const bool bSent = sock.Send(answers.data(), length) == length;
  answers.clear();
  return bSent;
}

// The telnet negotiation, then the line settings, each until the server has answered. On
// failure openFailure holds the reason.
bool cNetworkChannel::SetUpLine() {
  std::string request;
  codec.Start(request);
  const int requestLength = static_cast<int>(request.size());
  if (sock.Send(request.data(), requestLength) != requestLength) {
    openFailure = "the server closed the connection at once.";
    return false;
  }
  const std::string speed = "the speed " + GetBaudString(baud);
  int64_t ctDeadline = platform::GetMonotonicMs() + NETWORK_SETTINGS_TIMEOUT_MS;
  for (;;) {
    if (codec.Ours(OPTION_COM_PORT) != TELNET_OPTION_ASKED &&
        codec.Ours(OPTION_BINARY) != TELNET_OPTION_ASKED &&
        codec.Theirs(OPTION_BINARY) != TELNET_OPTION_ASKED) {
      break;
    }
    const int64_t left = ctDeadline - platform::GetMonotonicMs();
    if (left <= 0) {
      const std::string raw = "socket://" + szName.substr(std::strlen("rfc2217://"));
      openFailure = "no answer to the telnet negotiation within " +
                    Seconds(NETWORK_SETTINGS_TIMEOUT_MS) +
                    ": no RFC 2217 server listens there (a plain TCP port is " + raw + ").";
      return false;
    }
    if (Take(static_cast<int>(left)) < 0) {
      openFailure = "the server closed the connection during the telnet negotiation.";
      return false;
    }
  }
  if (codec.Ours(OPTION_COM_PORT) != TELNET_OPTION_ON) {
    const std::string raw = "socket://" + szName.substr(std::strlen("rfc2217://"));
    openFailure = "the server did not accept " + speed +
                  ": it refuses the com port option (RFC 2217). Enable RFC 2217 on the server "
                  "(ser2net: accepter telnet(rfc2217),tcp,...), or set its line to 115200 "
                  "bit/s and use " +
                  raw + " with -BAUD=115200.";
    bSettingsRefused = true;
    return false;
  }
  if (codec.Ours(OPTION_BINARY) != TELNET_OPTION_ON ||
      codec.Theirs(OPTION_BINARY) != TELNET_OPTION_ON) {
    openFailure =
        "the server refused binary transmission (telnet BINARY), which the packets of the "
        "installer need.";
    bSettingsRefused = true;
    return false;
  }

  const sLineSetting settings[] = {
      {COM_SET_BAUDRATE, GetBaudRate(baud), speed},
      {COM_SET_DATASIZE, 8, "8 data bits"},
      {COM_SET_PARITY, COM_PARITY_NONE, "no parity"},
      {COM_SET_STOPSIZE, COM_STOPSIZE_1, "1 stop bit"},
      {COM_SET_CONTROL, COM_CONTROL_NO_FLOW, "no flow control"},
  };
  const size_t count = sizeof(settings) / sizeof(settings[0]);
  codec.ClearReplies();
  request.clear();
  for (const sLineSetting& setting : settings) {
    if (setting.command == COM_SET_BAUDRATE) {
      cTelnetCodec::SetBaudRate(setting.value, request);
    } else {
      const unsigned char value = static_cast<unsigned char>(setting.value);
      cTelnetCodec::ComPortCommand(setting.command, &value, 1, request);
    }
  }
  // Asked for, not waited for: servers on a line without modem control never confirm them.
  const unsigned char dtrOn = COM_CONTROL_DTR_ON;
  const unsigned char rtsOn = COM_CONTROL_RTS_ON;
  cTelnetCodec::ComPortCommand(COM_SET_CONTROL, &dtrOn, 1, request);
  cTelnetCodec::ComPortCommand(COM_SET_CONTROL, &rtsOn, 1, request);
  const int settingsLength = static_cast<int>(request.size());
  if (sock.Send(request.data(), settingsLength) != settingsLength) {
    openFailure = "the server closed the connection while the line was set up.";
    return false;
  }

  ctDeadline = platform::GetMonotonicMs() + NETWORK_SETTINGS_TIMEOUT_MS;
  for (;;) {
    size_t confirmed = 0;
    size_t firstMissing = count;
    for (size_t i = 0; i < count; ++i) {
      const sLineSetting& setting = settings[i];
      bool bConfirmed = false;
      for (const stComPortReply& reply : codec.Replies()) {
        if (reply.command != setting.command) continue;
        if (setting.command == COM_SET_CONTROL) {
          // One command sets flow control and the modem lines: only the flow control
          // answers (values 1 to 3, outbound or both) count for it.
          if (reply.value < 1 || reply.value > 3) continue;
        }
        if (reply.value != setting.value) {
          openFailure =
              "the server did not accept " + setting.szWhat + " (it set " +
              (setting.command == COM_SET_BAUDRATE ? std::to_string(reply.value)
                                                   : "value " + std::to_string(reply.value)) +
              ").";
          bSettingsRefused = true;
          return false;
        }
        bConfirmed = true;
      }
      if (bConfirmed) {
        ++confirmed;
      } else if (firstMissing == count) {
        firstMissing = i;
      }
    }
    if (confirmed == count) return true;
    const int64_t left = ctDeadline - platform::GetMonotonicMs();
    if (left <= 0) {
      openFailure = "the server did not accept " + settings[firstMissing].szWhat +
                    " (no confirmation within " + Seconds(NETWORK_SETTINGS_TIMEOUT_MS) + ").";
      bSettingsRefused = true;
      return false;
    }
    if (Take(static_cast<int>(left)) < 0) {
      openFailure = "the server closed the connection while the line was set up.";
      return false;
    }
  }
}

void cNetworkChannel::LoseConnection() {
  LosePort();
  SetError("Error: connection lost:%s");
}

void cNetworkChannel::CloseDeadPort() {
  Close();
  DropReceived();
  trace.PortLost(szName.c_str());
}

bool cNetworkChannel::OpenPort(bool bShowError) {
  return Open(bShowError,
              bShowError ? NETWORK_CONNECT_TIMEOUT_MS : NETWORK_REOPEN_CONNECT_TIMEOUT_MS);
}

bool cNetworkChannel::Disconnect() {
  portWait.Clear();
  if (!bConnected) return false;
  Flush();
  if (!bConnected) {
    portWait.Clear();
    return true;
  }
  // The server reads the end of the stream and closes its own end, which leaves its port free
  // for the next connection; and with nothing unread the close is no reset, which could drop
  // what was sent last.
  sock.ShutdownSend();
  const int64_t ctDeadline = platform::GetMonotonicMs() + NETWORK_CLOSE_TIMEOUT_MS;
  for (;;) {
    const int64_t left = ctDeadline - platform::GetMonotonicMs();
    if (left <= 0) break;
    if (sock.ReceiveWithin(chunk.data(), static_cast<int>(chunk.size()), static_cast<int>(left)) ==
        platform::SOCKET_GONE) {
      break;
    }
  }
  Close();
  DropReceived();
  trace.PortClosed(szName.c_str());
  return true;
}

bool cNetworkChannel::Reconnect() {
  if (bConnected) return true;
  if (port.host.empty()) {
    SetClosedError();
    return false;
  }
  return ReconnectPort();
}

bool cNetworkChannel::SendData(const char* data, int n) {
  const char* bytes = data;
  int length = n;
  if (port.mode == NETWORK_RFC2217) {
    outgoing.clear();
    cTelnetCodec::Escape(data, static_cast<size_t>(n), outgoing);
    bytes = outgoing.data();
    length = static_cast<int>(outgoing.size());
  }
  if (sock.Send(bytes, length) != length) {
    LoseConnection();
    return false;
  }
  // 10 bits a byte on the line.
  const int64_t ctNow = platform::GetMonotonicMs();
  const unsigned rate = GetBaudRate(baud) > 0 ? GetBaudRate(baud) : 9600;
  ctLineFree = (ctLineFree > ctNow ? ctLineFree : ctNow) + (int64_t(n) * 10000 + rate - 1) / rate;
  bUnflushed = true;
  return true;
}

bool cNetworkChannel::SendRequest(const std::string& request) {
  codec.ClearReplies();
  const int length = static_cast<int>(request.size());
  if (sock.Send(request.data(), length) == length) return true;
  LoseConnection();
  return false;
}

const stComPortReply* cNetworkChannel::AwaitReply(unsigned char command, int timeoutMs,
                                                  bool& bUnanswered) {
  const int64_t ctDeadline = platform::GetMonotonicMs() + timeoutMs;
  for (;;) {
    for (const stComPortReply& reply : codec.Replies()) {
      if (reply.command == command) return &reply;
    }
    const int64_t left = ctDeadline - platform::GetMonotonicMs();
    if (left <= 0) {
      bUnanswered = true;
      return nullptr;
    }
    if (Take(static_cast<int>(left)) < 0) {
      LoseConnection();
      return nullptr;
    }
  }
}

bool cNetworkChannel::Write(const char* text) {
  if (!bConnected) {
    SetClosedError();
    return false;
  }
  char szLine[MAX_NET_BUFF_LEN];
  const int length = std::snprintf(szLine, sizeof(szLine), "%s\r\n", text);
  // A line that does not fit is refused whole: a cut command would reach the instrument
  // without its line end and run together with the next one.
  if (length < 0 || length >= MAX_NET_BUFF_LEN) {
    SetError("Error: write length error:%s");
    return false;
  }
  const bool bSent = SendData(szLine, length);
  trace.LineSent(szName.c_str(), szLine, bSent ? length : 0);
  return bSent;
}

bool cNetworkChannel::WriteN(const char* data, int n) {
  if (!bConnected) {
    SetClosedError();
    return false;
  }
  if (n < 0) {
    SetError("Error: illegal write length:%s");
    return false;
  }
  if (n == 0) return true;
  return SendData(data, n);
}

bool cNetworkChannel::Flush() {
  if (!bConnected || !bUnflushed) return true;
  bUnflushed = false;
  if (port.mode == NETWORK_RFC2217 && !bQuestionUnanswered) {
    // The question for the current speed (SET-BAUDRATE 0) is answered once the server has
    // taken everything sent before it. Data that comes meanwhile stays for the next read. A
    // server that did not answer once is not asked again.
    std::string question;
    cTelnetCodec::SetBaudRate(0, question);
    if (!SendRequest(question)) return true;
    AwaitReply(COM_SET_BAUDRATE, NETWORK_FLUSH_TIMEOUT_MS, bQuestionUnanswered);
    if (!bConnected) return true;
  }
  const int64_t wait = ctLineFree + NETWORK_FLUSH_MARGIN_MS - platform::GetMonotonicMs();
  if (wait > 0) platform::SleepMs(static_cast<unsigned>(wait));
  return true;
}

int cNetworkChannel::ReadSome(char* dest, int n) {
  if (receivedAt == received.size()) {
    const int64_t ctDeadline = platform::GetMonotonicMs() + platform::SERIAL_READ_TIMEOUT_MS;
    for (;;) {
      const int64_t left = ctDeadline - platform::GetMonotonicMs();
      if (Take(left > 0 ? static_cast<int>(left) : 0) < 0) {
        LoseConnection();
        return -1;
      }
      // Telnet commands alone bring no data: the wait goes on.
      if (receivedAt < received.size()) break;
      if (left <= 0) return 0;
    }
  }
  const size_t available = received.size() - receivedAt;
  const size_t count = available < static_cast<size_t>(n) ? available : static_cast<size_t>(n);
  std::memcpy(dest, received.data() + receivedAt, count);
  receivedAt += count;
  return static_cast<int>(count);
}

char* cNetworkChannel::Read() {
  static char szResponse[MAX_NET_BUFF_LEN];
  bErrorOccurred = false;
  if (!bConnected) {
    SetClosedError();
    return szErrorString;
  }
  return ReadLine(szName, szResponse, MAX_NET_BUFF_LEN) ? szResponse : szErrorString;
}

bool cNetworkChannel::ReadN(char* dest, int n, float seconds) {
  bErrorOccurred = false;
  if (!bConnected) {
    SetClosedError();
    return false;
  }
  return ReadBytes(szName, dest, n, seconds);
}

bool cNetworkChannel::PurgeRx() {
  if (!bConnected) {
    SetClosedError();
    return true;
  }
  DropReceived();
  if (port.mode == NETWORK_RFC2217) {
    std::string request;
    const unsigned char purgeReceived = COM_PURGE_RECEIVE;
    cTelnetCodec::ComPortCommand(COM_PURGE_DATA, &purgeReceived, 1, request);
    if (!SendRequest(request)) return true;
    // Everything before the server's confirmation goes; what follows it is new. A server that
    // did not confirm once is not waited for again.
    if (!bPurgeUnanswered) {
      const stComPortReply* reply =
          AwaitReply(COM_PURGE_DATA, NETWORK_PURGE_TIMEOUT_MS, bPurgeUnanswered);
      if (reply != nullptr) {
        received.erase(0, reply->dataOffset);
        return true;
      }
      if (!bConnected) return true;
    }
  }
  // What has already arrived at the socket goes too.
  for (int i = 0; i < MAX_PURGE_RECEIVES; ++i) {
    const int count = Take(0);
    if (count < 0) {
      LoseConnection();
      return true;
    }
    if (count == 0) break;
  }
  DropReceived();
  return true;
}
