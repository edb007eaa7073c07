#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include "platform/sha256.h"

namespace platform {

namespace {

constexpr ULONG kDigestLength = 32;

bool Succeeded(NTSTATUS status) {
  return status >= 0;
}

}  // namespace

struct cSha256::sState {
  BCRYPT_ALG_HANDLE hAlgorithm = nullptr;
  BCRYPT_HASH_HANDLE hHash = nullptr;
};

cSha256::cSha256() = default;

cSha256::~cSha256() {
  Drop();
}

void cSha256::Drop() {
  if (!state) return;
  if (state->hHash) BCryptDestroyHash(state->hHash);
  if (state->hAlgorithm) BCryptCloseAlgorithmProvider(state->hAlgorithm, 0);
  state.reset();
}

bool cSha256::Start() {
  Drop();
  state.reset(new sState);
  // The provider keeps the hash object itself (a null buffer of length 0), Windows 7 and up.
  if (!Succeeded(
          BCryptOpenAlgorithmProvider(&state->hAlgorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !Succeeded(BCryptCreateHash(state->hAlgorithm, &state->hHash, nullptr, 0, nullptr, 0, 0))) {
    Drop();
    return false;
  }
  return true;
}

bool cSha256::Add(const void* data, size_t n) {
  if (!state) return false;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  // BCryptHashData takes at most a ULONG of bytes a call.
  while (n > 0) {
    const ULONG piece = n > 0x40000000u ? 0x40000000u : static_cast<ULONG>(n);
    if (!Succeeded(BCryptHashData(state->hHash, const_cast<PUCHAR>(bytes), piece, 0))) {
      Drop();
      return false;
    }
    bytes += piece;
    n -= piece;
  }
  return true;
}

bool cSha256::Finish(std::string& hex) {
  hex.clear();
  if (!state) return false;
  unsigned char digest[kDigestLength];
  const bool bOk = Succeeded(BCryptFinishHash(state->hHash, digest, kDigestLength, 0));
  Drop();
  if (bOk) hex = ToLowerHex(digest, kDigestLength);
  return bOk;
}

}  // namespace platform
