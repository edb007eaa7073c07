// The serial channel's line reader over a line that delivers the fuzz input: Read,
// ReadStripTerm and ReadN in the order and chunk sizes the first bytes choose.
#include <cstring>
#include <vector>

#include "comm/serial.h"
#include "fuzz/fake_line.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceNotices();
  if (size < 2) return 0;
  const uint8_t plan = data[0];
  fuzz::SetLineChunk(data[1] % 64 + 1);
  fuzz::SetLineInput(data + 2, size - 2);

  cSerial serial;
  fuzz::Require(serial.Initialize(COM1, BAUD_57600, '*', PROTOCOL_PLAIN, false),
                "the fake port opens");
  // Every pass takes at least one byte or ends on a silent line.
  for (int pass = 0; pass < 1000 && fuzz::GetLineRemaining() > 0; ++pass) {
    switch ((plan >> (2 * (pass % 4))) & 3) {
      case 0:
      case 1: {
        const char* szLine = serial.Read();
        const size_t length = std::strlen(szLine);
        const bool bError = serial.ErrorOccurred();
        fuzz::Require(length < MAX_BUFF_LEN, "a line fits the line buffer");
        // A NUL byte on the line is data: the text seen ends there, the line continues in the
        // buffer up to its LF.
        fuzz::Require(bError || std::memchr(szLine, '\n', MAX_BUFF_LEN) != nullptr,
                      "a line read without error ends in LF");
        break;
      }
      case 2: {
        const char* szLine = serial.ReadStripTerm();
        fuzz::Require(std::strlen(szLine) < MAX_BUFF_LEN, "a stripped line fits the buffer");
        fuzz::Require(std::strchr(szLine, '\r') == nullptr || serial.ErrorOccurred(),
                      "a stripped line holds no CR");
        break;
      }
      case 3: {
        const int n = static_cast<int>(fuzz::GetLineRemaining() % 300);
        std::vector<char> bytes(static_cast<size_t>(n));
        serial.ReadN(bytes.data(), n, 1.0f);
        break;
      }
    }
  }
  return 0;
}
