#include "instrument/halvex_text.h"

#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace halvex {

void CopyText(char* dest, size_t size, const char* src) {
  CopyTextN(dest, size, src, src == nullptr ? 0 : std::strlen(src));
}

void CopyTextN(char* dest, size_t size, const char* src, size_t count) {
  if (dest == nullptr || size == 0) return;
  size_t length = 0;
  if (src != nullptr) {
    while (length < count && length + 1 < size && src[length] != '\0') ++length;
    std::memmove(dest, src, length);
  }
  dest[length] = '\0';
}

static bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int32_t ParseInt(const char* text) {
  if (text == nullptr) return 0;
  while (IsSpace(*text)) ++text;
  bool bNegative = false;
  if (*text == '+' || *text == '-') bNegative = *text++ == '-';
  int64_t value = 0;
  const int64_t limit = bNegative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > limit) value = limit;
  }
  return static_cast<int32_t>(bNegative ? -value : value);
}

float ParseFloat(const char* text) {
  if (text == nullptr) return 0.0f;
  const double value = std::strtod(text, nullptr);
  if (value > FLT_MAX) return HUGE_VALF;
  if (value < -FLT_MAX) return -HUGE_VALF;
  return static_cast<float>(value);
}

float ParseFloatAt(const char* reply, size_t position, float fallback) {
  if (reply == nullptr || std::strlen(reply) <= position) return fallback;
  return ParseFloat(reply + position);
}

float ParseAfterSign(const char* reply, float fallback) {
  if (reply == nullptr || std::strlen(reply) <= 1) return fallback;
  const float value = ParseFloat(reply + 1);
  return reply[0] == '-' ? -value : value;
}

bool FormatCommand(char* dest, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(dest, MAX_BUFF_LEN, format, arguments);
  va_end(arguments);
  if (length < 0 || static_cast<size_t>(length) > MAX_COMMAND_LEN) {
    dest[0] = '\0';
    return false;
  }
  return true;
}

void FormatExponent(char* dest, size_t size, double value) {
  char szNumber[64];
  std::snprintf(szNumber, sizeof(szNumber), "%.6e", value);
  // The C libraries differ in the exponent's width (glibc two digits, the Windows runtime
  // three); rewrite it with three.
  char* exponent = std::strchr(szNumber, 'e');
  if (exponent != nullptr && (exponent[1] == '+' || exponent[1] == '-')) {
    const char sign = exponent[1];
    const int digits = std::atoi(exponent + 2);
    std::snprintf(exponent, sizeof(szNumber) - static_cast<size_t>(exponent - szNumber), "e%c%03d",
                  sign, digits);
  }
  CopyText(dest, size, szNumber);
}

}  // namespace halvex
