#include "util/trace.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

cTrace trace;

namespace {

// "YYYY-MM-DD HH:MM:SS.mmm" of the local wall clock.
std::string Timestamp() {
  using namespace std::chrono;
  const system_clock::time_point now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const long long ms =
      duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;  // never negative here
  char szTime[32] = "0000-00-00 00:00:00";
  // The program has one thread; localtime's shared result is read at once.
  if (const std::tm* local = std::localtime(&seconds)) {
    std::strftime(szTime, sizeof(szTime), "%Y-%m-%d %H:%M:%S", local);
  }
  char szStamp[40];
  std::snprintf(szStamp, sizeof(szStamp), "%s.%03lld", szTime, ms);
  return szStamp;
}

std::string Hex32(uint32_t value) {
  char szText[16];
  std::snprintf(szText, sizeof(szText), "0x%08x", static_cast<unsigned>(value));
  return szText;
}

std::string Quoted(const char* data, int length) {
  return "\"" + EscapeTraceText(data, length) + "\"";
}

}  // namespace

std::string EscapeTraceText(const char* data, int length) {
  std::string text;
  if (data == nullptr) return text;
  text.reserve(static_cast<size_t>(length > 0 ? length : 0));
  for (int i = 0; i < length; ++i) {
    const unsigned char byte = static_cast<unsigned char>(data[i]);
    switch (byte) {
      case '\r':
        text += "\\r";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\t':
        text += "\\t";
        break;
      case '\\':
        text += "\\\\";
        break;
      case '"':
        text += "\\\"";
        break;
      default:
        if (byte >= 0x20 && byte < 0x7F) {
          text += static_cast<char>(byte);
        } else {
          char szByte[8];
          std::snprintf(szByte, sizeof(szByte), "\\x%02x", byte);
          text += szByte;
        }
    }
  }
  return text;
}

std::string FormatTraceBytes(const char* data, int length, int count) {
  std::string text;
  if (data == nullptr || length <= 0) return text;
  const int shown = length < count ? length : count;
  for (int i = 0; i < shown; ++i) {
    char szByte[4];
    std::snprintf(szByte, sizeof(szByte), "%02x", static_cast<unsigned char>(data[i]));
    if (i > 0) text += ' ';
    text += szByte;
  }
  if (length > shown) text += " ... (+" + std::to_string(length - shown) + " bytes)";
  return text;
}

cTrace::cTrace() : file(nullptr), failureHandler(nullptr) {}

cTrace::~cTrace() {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
}

bool cTrace::Open(const std::string& newPath, const std::string& header) {
  if (file != nullptr) Close(std::string());
  path = newPath;
  errno = 0;
  file = std::fopen(newPath.c_str(), "a");
  if (file == nullptr) {
    Fail("open", errno);
    return false;
  }
  WriteLine("START", header);
  return file != nullptr;
}

void cTrace::Close(const std::string& footer) {
  if (file == nullptr) return;
  if (!footer.empty()) WriteLine("END", footer);
  if (file == nullptr) return;  // the END line could not be written and was reported
  FILE* closing = file;
  file = nullptr;
  if (std::fclose(closing) != 0) Fail("close", errno);
}

void cTrace::Fail(const char* szWhat, int error) {
  if (file != nullptr) {
    std::fclose(file);
    file = nullptr;
  }
  const std::string text = "Trace: cannot " + std::string(szWhat) + " \"" + path + "\" (" +
                           (error != 0 ? std::strerror(error) : "write error") +
                           "); the installation goes on without the trace.\r\n";
  if (failureHandler != nullptr) failureHandler(text);
}

void cTrace::WriteLine(const char* szEvent, const std::string& details) {
  if (file == nullptr) return;
  char szEventColumn[16];
  std::snprintf(szEventColumn, sizeof(szEventColumn), "%-7s", szEvent);
  const std::string line = Timestamp() + " " + szEventColumn + " " + details + "\n";
  errno = 0;
  // Flushed line by line: a program that is stopped still leaves a complete trace.
  if (std::fputs(line.c_str(), file) < 0 || std::fflush(file) != 0) Fail("write", errno);
}

void cTrace::PortOpened(const char* szPort, const std::string& devicePath, unsigned baud) {
  if (file == nullptr) return;
  WriteLine("OPEN", std::string(szPort) + " " + devicePath + " " + std::to_string(baud) +
                        " bit/s 8N1, no flow control");
}

void cTrace::RawPortOpened(const char* szPort, const std::string& address) {
  if (file == nullptr) return;
  WriteLine("OPEN", std::string(szPort) + " " + address + " raw, the server's line settings");
}

void cTrace::PortNotOpened(const char* szPort, const std::string& reason) {
  if (file == nullptr) return;
  WriteLine("OPEN", std::string(szPort) + " failed: " + reason);
}

void cTrace::PortClosed(const char* szPort) {
  if (file == nullptr) return;
  WriteLine("CLOSE", szPort);
}

void cTrace::PortLost(const char* szPort) {
  if (file == nullptr) return;
  WriteLine("CLOSE", std::string(szPort) + " (the device is gone)");
}

void cTrace::LineSent(const char* szPort, const char* data, int length) {
  if (file == nullptr) return;
  WriteLine("TX LINE", std::string(szPort) + " " + Quoted(data, length));
}

void cTrace::LineReceived(const char* szPort, const char* data, int length) {
  if (file == nullptr) return;
  WriteLine("RX LINE", std::string(szPort) + " " + Quoted(data, length));
}

void cTrace::Timeout(const std::string& what) {
  if (file == nullptr) return;
  WriteLine("TIMEOUT", what);
}

void cTrace::PacketSent(const char* data, int length, uint32_t checksum) {
  if (file == nullptr) return;
  if (length == 0) {
    WriteLine("TX PKT", "length 0 (end of file marker)");
    return;
  }
  WriteLine("TX PKT", "length " + std::to_string(length) + " sum " + Hex32(checksum) + " data " +
                          FormatTraceBytes(data, length, TRACE_PACKET_BYTES));
}

void cTrace::PacketReceived(const char* data, int length, uint32_t checksum, bool bMatched) {
  if (file == nullptr) return;
  if (length == 0) {
    WriteLine("RX PKT", "length 0 (end of file marker)");
    return;
  }
  WriteLine("RX PKT", "length " + std::to_string(length) + " sum " + Hex32(checksum) +
                          (bMatched ? " matched" : " MISMATCH") + " data " +
                          FormatTraceBytes(data, length, TRACE_PACKET_BYTES));
}

void cTrace::PacketRefused(int length) {
  if (file == nullptr) return;
  WriteLine("RX PKT", "length " + std::to_string(length) + " refused (no packet is that long)");
}

void cTrace::AnswerSent(char byte) {
  if (file == nullptr) return;
  WriteLine("TX ANS", Quoted(&byte, 1));
}

void cTrace::AnswerReceived(char byte) {
  if (file == nullptr) return;
  WriteLine("RX ANS", Quoted(&byte, 1));
}

void cTrace::ImageSent(const std::string& localPath, uint64_t size, const std::string& sha256) {
  if (file == nullptr) return;
  WriteLine("IMAGE", localPath + ", " + std::to_string(size) + " bytes, sha256 " + sha256);
}

void cTrace::PassSent(const std::string& localPath, uint64_t size, const std::string& sha256,
                      const std::string& checkedSha256) {
  if (file == nullptr) return;
  std::string details = localPath + ", " + std::to_string(size) + " bytes, sha256 " +
                        (sha256.empty() ? "unknown" : sha256);
  if (!checkedSha256.empty() && sha256.empty()) {
    details += ", not comparable with " + checkedSha256 + " as checked: no end-of-file marker";
  } else if (!checkedSha256.empty() && sha256 != checkedSha256) {
    details += ", not " + checkedSha256 + " as checked: the file changed, no end-of-file marker";
  }
  WriteLine("SENT", details);
}

void cTrace::Report(const std::string& text) {
  if (file == nullptr) return;
  size_t start = 0;
  while (start < text.size() && file != nullptr) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    WriteLine("REPORT", Quoted(text.data() + start, static_cast<int>(end - start)));
    start = end;
  }
}

void cTrace::Notice(const std::string& line) {
  if (file == nullptr) return;
  WriteLine("NOTICE", Quoted(line.data(), static_cast<int>(line.size())));
}

void cTrace::Unsure(const std::string& what) {
  if (file == nullptr) return;
  WriteLine("UNSURE", what);
}
