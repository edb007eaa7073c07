#include "platform/sha256.h"

namespace platform {

std::string ToLowerHex(const unsigned char* bytes, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

bool Sha256Hex(const void* data, size_t n, std::string& hex) {
  cSha256 hash;
  if (hash.Start() && hash.Add(data, n) && hash.Finish(hex)) return true;
  hex.clear();
  return false;
}

}  // namespace platform
