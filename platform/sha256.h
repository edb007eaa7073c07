// The SHA-256 seam: the hash of a byte stream, computed by the system's own library (Win32:
// CNG, BCryptHashData; POSIX: libcrypto).
//
//   platform::cSha256 hash;
//   bool bOk = hash.Start() && hash.Add(data, n) && hash.Add(more, m);
//   std::string hex;
//   bOk = bOk && hash.Finish(hex);  // 64 lower-case hexadecimal digits
#ifndef HALVEX_PLATFORM_SHA256_H
#define HALVEX_PLATFORM_SHA256_H

#include <cstddef>
#include <memory>
#include <string>

#include "util/no_copy.h"

namespace platform {

// Length of the hash as hexadecimal text.
constexpr size_t SHA256_HEX_LENGTH = 64;

class cSha256 : private cNoCopy {
 public:
  cSha256();
  ~cSha256();

  // Begins a new hash; one that was running is dropped. False when the library fails.
  bool Start();
  // Adds n bytes (none is fine). False when no hash is running or the library fails; the
  // hash is then dropped.
  bool Add(const void* data, size_t n);
  // Ends the hash: hex receives 64 lower-case hexadecimal digits. False (hex empty) when no
  // hash is running or the library fails. Start begins the next one.
  bool Finish(std::string& hex);

 private:
  struct sState;
  void Drop();
  std::unique_ptr<sState> state;  // null when no hash is running
};

// The SHA-256 of n bytes in one call; false (hex empty) when the library fails.
bool Sha256Hex(const void* data, size_t n, std::string& hex);

// Lower-case hexadecimal text of n bytes.
std::string ToLowerHex(const unsigned char* bytes, size_t n);

}  // namespace platform

#endif
