#include "comm/network_port.h"

#include <cstring>

namespace {

const char RFC2217_SCHEME[] = "rfc2217://";
const char SOCKET_SCHEME[] = "socket://";
const size_t MAX_HOST_NAME_LEN = 253;
const size_t MAX_LABEL_LEN = 63;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A decimal number from 1 digit on, without a leading zero, at most maxValue.
bool ParseDecimal(const std::string& text, unsigned long maxValue, unsigned long* value) {
  if (text.empty() || text.size() > 10) return false;
  if (text.size() > 1 && text[0] == '0') return false;
  unsigned long number = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    number = number * 10 + static_cast<unsigned long>(c - '0');
    if (number > maxValue) return false;
  }
  *value = number;
  return true;
}

// Four numbers 0-255 separated by points. A leading zero is refused: older conversions read
// "010" as octal, so it would name another host.
bool IsIpv4Address(const std::string& text) {
  size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    const size_t end = part < 3 ? text.find('.', start) : text.size();
    if (end == std::string::npos) return false;
    unsigned long value = 0;
    if (!ParseDecimal(text.substr(start, end - start), 255, &value)) return false;
    start = end + 1;
  }
  return true;
}

// Groups of 1 to 4 hex digits separated by colons, eight in all, or fewer with one "::"
// standing for the missing ones; the last two may be written as an IPv4 address.
bool IsIpv6Address(const std::string& text) {
  if (text.size() < 2) return false;
  int groups = 0;
  bool bGap = false;
  size_t i = 0;
  if (text.compare(0, 2, "::") == 0) {
    bGap = true;
    i = 2;
    if (i == text.size()) return true;
  } else if (text[0] == ':') {
    return false;
  }
  for (;;) {
    size_t end = i;
    while (end < text.size() && IsHexDigit(text[end]) && end - i < 5) ++end;
    if (end < text.size() && text[end] == '.') {
      // The IPv4 tail: it takes the place of two groups and ends the address.
      if (!IsIpv4Address(text.substr(i))) return false;
      groups += 2;
      break;
    }
    if (end == i || end - i > 4) return false;
    ++groups;
    if (end == text.size()) break;
    if (text[end] != ':') return false;
    if (end + 1 < text.size() && text[end + 1] == ':') {
      if (bGap) return false;
      bGap = true;
      i = end + 2;
      if (i == text.size()) break;
    } else {
      i = end + 1;
      if (i == text.size()) return false;
    }
  }
  return bGap ? groups <= 7 : groups == 8;
}

// Labels of letters, digits and hyphens (1 to 63 characters, no hyphen at either end)
// separated by points. A name whose last label is all digits must be an IPv4 address: "1.2.3"
// or "10.0.0.256" would otherwise reach the resolver, which reads some of them as addresses.
bool IsHostName(const std::string& text) {
  if (text.empty() || text.size() > MAX_HOST_NAME_LEN) return false;
  size_t start = 0;
  bool bLastNumeric = false;
  for (;;) {
    size_t end = text.find('.', start);
    if (end == std::string::npos) end = text.size();
    const size_t length = end - start;
    if (length == 0 || length > MAX_LABEL_LEN) return false;
    if (text[start] == '-' || text[end - 1] == '-') return false;
    bLastNumeric = true;
    for (size_t i = start; i < end; ++i) {
      const char c = text[i];
      if (!IsLetter(c) && !IsDigit(c) && c != '-') return false;
      if (!IsDigit(c)) bLastNumeric = false;
    }
    if (end == text.size()) break;
    start = end + 1;
  }
  return !bLastNumeric || IsIpv4Address(text);
}

}  // namespace

bool ParseNetworkPort(const char* text, stNetworkPort* out) {
  if (text == nullptr || out == nullptr) return false;
  stNetworkPort parsed;
  const char* rest = nullptr;
  if (std::strncmp(text, RFC2217_SCHEME, sizeof(RFC2217_SCHEME) - 1) == 0) {
    parsed.mode = NETWORK_RFC2217;
    rest = text + sizeof(RFC2217_SCHEME) - 1;
  } else if (std::strncmp(text, SOCKET_SCHEME, sizeof(SOCKET_SCHEME) - 1) == 0) {
    parsed.mode = NETWORK_SOCKET;
    rest = text + sizeof(SOCKET_SCHEME) - 1;
  } else {
    return false;
  }
  const std::string address(rest);
  size_t colon;
  if (!address.empty() && address[0] == '[') {
    const size_t close = address.find(']');
    if (close == std::string::npos) return false;
    parsed.host = address.substr(1, close - 1);
    if (!IsIpv6Address(parsed.host)) return false;
    colon = close + 1;
    if (colon >= address.size() || address[colon] != ':') return false;
  } else {
    colon = address.rfind(':');
    if (colon == std::string::npos) return false;
    parsed.host = address.substr(0, colon);
    if (!IsHostName(parsed.host)) return false;
  }
  unsigned long number = 0;
  if (!ParseDecimal(address.substr(colon + 1), 65535, &number) || number == 0) return false;
  parsed.port = static_cast<uint16_t>(number);
  *out = parsed;
  return true;
}

std::string FormatNetworkPort(const stNetworkPort& port) {
  const bool bIpv6 = port.host.find(':') != std::string::npos;
  return std::string(port.mode == NETWORK_SOCKET ? SOCKET_SCHEME : RFC2217_SCHEME) +
         (bIpv6 ? "[" + port.host + "]" : port.host) + ":" + std::to_string(port.port);
}
