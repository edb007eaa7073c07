// Packet framing of the resident installer: writing a packet and waiting for its "A",
// receiving and verifying a packet, and the reports of reception faults.
#include <climits>
#include <cstring>
#include <string>

#include "instrument/halvex_installer.h"
#include "platform/clock.h"
#include "util/notice.h"
#include "util/trace.h"

namespace {

void PutLittleEndian(uint32_t value, char* bytes) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>(static_cast<unsigned char>(value & 0xFFu));
    value >>= 8;
  }
}

uint32_t GetLittleEndian(const char* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  }
  return value;
}

// Two's complement reading of a 32-bit field, without relying on the conversion of an
// out-of-range unsigned value.
int32_t ToSigned(uint32_t value) {
  if (value <= 0x7FFFFFFFu) return static_cast<int32_t>(value);
  return -static_cast<int32_t>(~value) - 1;
}

// Sum of the bytes modulo 2^32, each byte counted from 0 to 255.
uint32_t UnsignedSum(const char* data, int length) {
  uint32_t sum = 0;
  for (int i = 0; i < length; ++i) sum += static_cast<unsigned char>(data[i]);
  return sum;
}

// Sum of the bytes modulo 2^32, each byte counted from -128 to 127.
uint32_t SignedSum(const char* data, int length) {
  uint32_t sum = 0;
  for (int i = 0; i < length; ++i) {
    const unsigned byte = static_cast<unsigned char>(data[i]);
    sum += byte >= 0x80u ? byte - 0x100u : byte;  // wraps like adding a negative number
  }
  return sum;
}

}  // namespace

// The console's fixed name of the fault, which a console line shows as "ReadPacket : <name>",
// and the notice's words for the user.
struct stReplyFault {
  const char* szConsole;
  const char* szNotice;
  bool bToStandardError;  // the console line goes to standard error, not standard output
};

namespace {

const stReplyFault REPLY_BAD_LENGTH = {
    "length error",
    "A reply from the instrument announced a length that no reply can have; it is asked for again.",
    true};
const stReplyFault REPLY_NO_CHECKSUM = {
    "read error get checksum",
    "A reply from the instrument broke off before its checksum; it is asked for again.", false};
const stReplyFault REPLY_NO_DATA = {
    "read error get data",
    "A reply from the instrument broke off before all of its data; it is asked for again.", false};
const stReplyFault REPLY_BAD_CHECKSUM = {
    "checksum error",
    "A reply from the instrument arrived with a wrong checksum; it is asked for again.", false};
const stReplyFault REPLY_GIVEN_UP = {
    "max attempts exceeded",
    "The instrument's replies kept arriving damaged; the program stopped waiting for this one.",
    false};

}  // namespace

bool cHalvexInstaller::WritePacket(const char* data, int length) {
  bPacketUnanswered = false;
  if (!PortReady()) return false;
  // A negative length is refused before anything reaches the line: the installer would read
  // it as a huge count and wait for data that never comes.
  if (length < 0) return false;
  char field[4];
  PutLittleEndian(static_cast<uint32_t>(length), field);
  if (!comm->WriteN(field, 4)) return false;
  // Length 0 is the end-of-file marker: those 4 bytes are the whole packet and nothing
  // answers it.
  if (length == 0) {
    trace.PacketSent(data, 0, 0);
    return false;
  }
  const uint32_t sum = UnsignedSum(data, length);
  PutLittleEndian(sum, field);
  if (!comm->WriteN(field, 4)) return false;
  if (!comm->WriteN(data, length)) return false;
  trace.PacketSent(data, length, sum);
  return CheckHandshake();
}

bool cHalvexInstaller::CheckHandshake() {
  if (!bConnected) return false;
  ctHandshakeStart = platform::GetMonotonicMs();
  fHandshakeElapsed = 0.0f;
  bool bRefused = false;  // a real "N" came, not a read that ran into its timeout
  while (fHandshakeElapsed < HANDSHAKE_TIMEOUT) {
    szHandshake[0] = 0;
    comm->ReadN(szHandshake, 1, HANDSHAKE_BYTE_TIMEOUT);
    if (comm->ErrorOccurred()) {
      szHandshake[0] = NAK_CHAR;
    } else {
      trace.AnswerReceived(szHandshake[0]);
      if (szHandshake[0] == NAK_CHAR) bRefused = true;
    }
    if (szHandshake[0] == ACK_CHAR) {
      bMarkerUnconfirmed = false;
      return true;
    }
    // A port that went away answers nothing more: the packet is sent again once it is back.
    if (PortLost()) break;
    // "N" and every other byte are skipped: a refusal does not end the wait.
    fHandshakeElapsed = static_cast<float>(platform::GetMonotonicMs() - ctHandshakeStart) / 1000.0f;
  }
  // Without an "N" the installer may have taken the packet and its "A" was lost.
  bPacketUnanswered = !bRefused;
  if (!PortLost()) trace.Timeout("no \"A\" for the packet within 2 s");
  return false;
}

void cHalvexInstaller::Report(const stReplyFault& fault) {
  if (bConsoleOutput) {
    const std::string line = std::string("ReadPacket : ") + fault.szConsole + "\r\n";
    FILE* stream = fault.bToStandardError ? stderr : stdout;
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fflush(stream);
    trace.Notice(line);
  } else {
    Notify(fault.szNotice, REPLY_NOTICE_CAPTION, NOTICE_INFORMATION);
  }
}

void cHalvexInstaller::Answer(char byte) {
  comm->WriteN(&byte, 1);
  trace.AnswerSent(byte);
}

bool cHalvexInstaller::ReadPacket(char* data, int* length) {
  if (!PortReady()) return false;
  int attempts = 0;  // checksum failures
  int errors = 0;    // length and read errors
  for (;;) {
    // After a length or read error: give up once a whole run of them has come.
    if (errors >= MAX_READ_ERRORS) {
      Report(REPLY_GIVEN_UP);
      return false;
    }
    char field[4];
    // Silence before a packet ends the reception quietly.
    if (!comm->ReadN(field, 4, PACKET_READ_TIMEOUT)) return false;
    *length = ToSigned(GetLittleEndian(field));
    if (*length < 0 || *length > MAX_PACKET_LEN) {
      trace.PacketRefused(*length);
      Report(REPLY_BAD_LENGTH);
      comm->PurgeRx();
      Answer(NAK_CHAR);
      ++errors;
      continue;
    }
    if (*length == 0) {
      trace.PacketReceived(data, 0, 0, true);
      Answer(ACK_CHAR);
      return false;
    }
    if (!comm->ReadN(field, 4, PACKET_READ_TIMEOUT)) {
      if (PortLost()) return false;  // the packet went with the port; nothing to report
      Report(REPLY_NO_CHECKSUM);
      Answer(NAK_CHAR);
      ++errors;
      continue;
    }
    const uint32_t checksum = GetLittleEndian(field);
    if (!comm->ReadN(data, *length, PACKET_READ_TIMEOUT)) {
      if (PortLost()) return false;
      Report(REPLY_NO_DATA);
      Answer(NAK_CHAR);
      ++errors;
      continue;
    }
    // Instruments sum the bytes either as signed or as unsigned values; both are accepted.
    const bool bMatched =
        checksum == SignedSum(data, *length) || checksum == UnsignedSum(data, *length);
    trace.PacketReceived(data, *length, checksum, bMatched);
    if (bMatched) {
      Answer(ACK_CHAR);
      return true;
    }
    Report(REPLY_BAD_CHECKSUM);
    Answer(NAK_CHAR);
    if (++attempts > MAX_READ_ATTEMPTS) {
      Report(REPLY_GIVEN_UP);
      return false;
    }
  }
}

bool cHalvexInstaller::Send(unsigned int word) {
  char bytes[4];
  PutLittleEndian(static_cast<uint32_t>(word), bytes);
  return WritePacket(bytes, 4);
}

bool cHalvexInstaller::Send(const char* text) {
  if (text == nullptr) return false;
  const size_t length = std::strlen(text);
  if (length > static_cast<size_t>(INT_MAX)) return false;
  return WritePacket(text, static_cast<int>(length));
}
