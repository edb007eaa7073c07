#include "comm/port_reader.h"

#include <cstdint>

#include "platform/clock.h"
#include "platform/serial_device.h"
#include "util/trace.h"

bool cPortReader::ReadLine(const std::string& port, char* szLine, int size) {
  int count = 0;
  szLine[0] = '\0';
  for (;;) {
    if (count >= size - 1) {
      trace.LineReceived(port.c_str(), szLine, count);
      SetError("Error: input buffer overflow:%s");
      return false;
    }
    char byte = 0;
    const int got = ReadSome(&byte, 1);
    if (got < 0) return false;
    if (got == 0) {
      trace.Timeout(port + " no line end within " +
                    std::to_string(platform::SERIAL_READ_TIMEOUT_MS) + " ms, received \"" +
                    EscapeTraceText(szLine, count) + "\"");
      SetError("Error: read timeout:%s");
      return false;
    }
    if (count == 0 && (byte == '\r' || byte == '\n')) continue;
    szLine[count++] = byte;
    szLine[count] = '\0';
    if (byte == '\n') {
      trace.LineReceived(port.c_str(), szLine, count);
      return true;
    }
  }
}

bool cPortReader::ReadBytes(const std::string& port, char* dest, int n, float seconds) {
  if (n < 0) {
    SetError("Error: illegal read length:%s");
    return false;
  }
  const int64_t limit = static_cast<int64_t>(seconds * 1000.0 + 0.5);
  int64_t ctStart = platform::GetMonotonicMs();
  while (n > 0) {
    const int count = ReadSome(dest, n);
    if (count < 0) return false;
    if (count > 0) {
      dest += count;
      n -= count;
      if (n == 0) return true;
    }
    const int64_t ctNow = platform::GetMonotonicMs();
    if (count > 0) ctStart = ctNow;
    if (ctNow >= ctStart + limit) {
      trace.Timeout(port + " " + std::to_string(n) + " byte(s) missing after " +
                    std::to_string(ctNow - ctStart) + " ms without a byte");
      SetError("Error: read timeout:%s");
      return false;
    }
  }
  return true;
}
