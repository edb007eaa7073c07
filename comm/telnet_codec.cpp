#include "comm/telnet_codec.h"

#include <cstring>

using namespace telnet;

namespace {

// Index of an option this client takes part in, on our side or on theirs; -1 for the others.
int OurIndex(unsigned char option) {
  switch (option) {
    case OPTION_BINARY:
      return 0;
    case OPTION_SGA:
      return 1;
    case OPTION_COM_PORT:
      return 2;
    default:
      return -1;
  }
}

int TheirIndex(unsigned char option) {
  // The com port option is the client's to offer; a server that offers it is refused.
  return option == OPTION_COM_PORT ? -1 : OurIndex(option);
}

void Command(unsigned char verb, unsigned char option, std::string& out) {
  out += static_cast<char>(IAC);
  out += static_cast<char>(verb);
  out += static_cast<char>(option);
}

}  // namespace

void cTelnetCodec::Reset() {
  state = STATE_DATA;
  verb = 0;
  subLength = 0;
  for (int i = 0; i < 3; ++i) {
    ours[i] = TELNET_OPTION_OFF;
    theirs[i] = TELNET_OPTION_OFF;
  }
  replies.clear();
  dataDelivered = 0;
}

void cTelnetCodec::Start(std::string& out) {
  Command(WILL, OPTION_BINARY, out);
  Command(DO, OPTION_BINARY, out);
  Command(WILL, OPTION_SGA, out);
  Command(DO, OPTION_SGA, out);
  Command(WILL, OPTION_COM_PORT, out);
  ours[0] = ours[1] = ours[2] = TELNET_OPTION_ASKED;
  theirs[0] = theirs[1] = TELNET_OPTION_ASKED;
}

void cTelnetCodec::Escape(const char* data, size_t n, std::string& out) {
  size_t start = 0;
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(data[i]) != IAC) continue;
    out.append(data + start, i + 1 - start);
    out += static_cast<char>(IAC);
    start = i + 1;
  }
  out.append(data + start, n - start);
}

void cTelnetCodec::ComPortCommand(unsigned char command, const unsigned char* value, size_t n,
                                  std::string& out) {
  out += static_cast<char>(IAC);
  out += static_cast<char>(SB);
  out += static_cast<char>(OPTION_COM_PORT);
  out += static_cast<char>(command);
  Escape(reinterpret_cast<const char*>(value), n, out);
  out += static_cast<char>(IAC);
  out += static_cast<char>(SE);
}

void cTelnetCodec::SetBaudRate(uint32_t bitsPerSecond, std::string& out) {
  const unsigned char value[4] = {static_cast<unsigned char>(bitsPerSecond >> 24),
                                  static_cast<unsigned char>(bitsPerSecond >> 16),
                                  static_cast<unsigned char>(bitsPerSecond >> 8),
                                  static_cast<unsigned char>(bitsPerSecond)};
  ComPortCommand(COM_SET_BAUDRATE, value, sizeof(value), out);
}

eTelnetOption cTelnetCodec::Ours(unsigned char option) const {
  const int index = OurIndex(option);
  return index < 0 ? TELNET_OPTION_OFF : ours[index];
}

eTelnetOption cTelnetCodec::Theirs(unsigned char option) const {
  const int index = TheirIndex(option);
  return index < 0 ? TELNET_OPTION_OFF : theirs[index];
}

void cTelnetCodec::ClearReplies() {
  replies.clear();
  dataDelivered = 0;
}

// The rules of RFC 1143 for options that are asked for once: a request that would change
// nothing is not answered, so two sides never answer each other in a loop.
void cTelnetCodec::Negotiate(unsigned char verbIn, unsigned char option, std::string& answers) {
  // DO and DONT are about our side of an option, WILL and WONT about the server's.
  const bool bOurs = verbIn == DO || verbIn == DONT;
  const bool bOn = verbIn == DO || verbIn == WILL;
  const unsigned char yes = bOurs ? WILL : DO;
  const unsigned char no = bOurs ? WONT : DONT;
  const int index = bOurs ? OurIndex(option) : TheirIndex(option);
  if (index < 0) {
    if (bOn) Command(no, option, answers);
    return;
  }
  eTelnetOption& side = bOurs ? ours[index] : theirs[index];
  if (bOn) {
    if (side == TELNET_OPTION_OFF) Command(yes, option, answers);
    side = TELNET_OPTION_ON;
  } else {
    if (side == TELNET_OPTION_ON) Command(no, option, answers);
    side = TELNET_OPTION_OFF;
  }
}

// A complete subnegotiation: only the server's confirmations of com port commands are kept.
void cTelnetCodec::EndSubnegotiation() {
  if (subLength < 3 || subLength > MAX_SUB_LEN || sub[0] != OPTION_COM_PORT) return;
  const unsigned char code = sub[1];
  if (code <= COM_SERVER_OFFSET) return;
  const unsigned char command = static_cast<unsigned char>(code - COM_SERVER_OFFSET);
  const unsigned char* value = sub + 2;
  const size_t valueLength = subLength - 2;
  stComPortReply reply = {command, 0, dataDelivered};
  if (command == COM_SET_BAUDRATE) {
    if (valueLength != 4) return;
    reply.value = (uint32_t(value[0]) << 24) | (uint32_t(value[1]) << 16) |
                  (uint32_t(value[2]) << 8) | uint32_t(value[3]);
  } else if (command <= COM_SET_CONTROL || command == COM_PURGE_DATA) {
    if (valueLength != 1) return;
    reply.value = value[0];
  } else {
    // Notifications (line and modem state, flow control) and the masks' confirmations.
    return;
  }
  if (replies.size() >= MAX_REPLIES) replies.erase(replies.begin());
  replies.push_back(reply);
}

void cTelnetCodec::Receive(const char* in, size_t n, std::string& data, std::string& answers) {
  size_t i = 0;
  while (i < n) {
    const unsigned char byte = static_cast<unsigned char>(in[i]);
    switch (state) {
      case STATE_DATA: {
        // A run of plain data goes in one piece.
        const void* found = std::memchr(in + i, IAC, n - i);
        const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - in) : n;
        data.append(in + i, end - i);
        dataDelivered += end - i;
        i = end;
        if (found) {
          state = STATE_IAC;
          ++i;
        }
        continue;
      }
      case STATE_IAC:
        if (byte == IAC) {
          data += static_cast<char>(IAC);
          ++dataDelivered;
          state = STATE_DATA;
        } else if (byte >= WILL) {
          verb = byte;
          state = STATE_OPTION;
        } else if (byte == SB) {
          subLength = 0;
          state = STATE_SUB;
        } else {
          // NOP, GA, data mark, break, AYT and the others carry nothing for the line.
          state = STATE_DATA;
        }
        break;
      case STATE_OPTION:
        Negotiate(verb, byte, answers);
        state = STATE_DATA;
        break;
      case STATE_SUB:
        if (byte == IAC) {
          state = STATE_SUB_IAC;
        } else {
          if (subLength < MAX_SUB_LEN) sub[subLength] = byte;
          ++subLength;
        }
        break;
      case STATE_SUB_IAC:
        if (byte == IAC) {
          if (subLength < MAX_SUB_LEN) sub[subLength] = byte;
          ++subLength;
          state = STATE_SUB;
        } else if (byte == SE) {
          EndSubnegotiation();
          state = STATE_DATA;
        } else {
          // A command inside a subnegotiation ends it unfinished; the command itself counts.
          state = STATE_IAC;
          continue;
        }
        break;
    }
    ++i;
  }
}
