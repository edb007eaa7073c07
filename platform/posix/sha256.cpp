#include <openssl/evp.h>

#include "platform/sha256.h"

namespace platform {

struct cSha256::sState {
  EVP_MD_CTX* context = nullptr;
};

cSha256::cSha256() = default;

cSha256::~cSha256() {
  Drop();
}

void cSha256::Drop() {
  if (state && state->context) EVP_MD_CTX_free(state->context);
  state.reset();
}

bool cSha256::Start() {
  Drop();
  std::unique_ptr<sState> fresh(new sState);
  fresh->context = EVP_MD_CTX_new();
  if (fresh->context == nullptr) return false;
  if (EVP_DigestInit_ex(fresh->context, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(fresh->context);
    return false;
  }
  state = std::move(fresh);
  return true;
}

bool cSha256::Add(const void* data, size_t n) {
  if (!state) return false;
  if (n == 0) return true;
  if (EVP_DigestUpdate(state->context, data, n) == 1) return true;
  Drop();
  return false;
}

bool cSha256::Finish(std::string& hex) {
  hex.clear();
  if (!state) return false;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const bool bOk = EVP_DigestFinal_ex(state->context, digest, &length) == 1 && length == 32;
  Drop();
  if (bOk) hex = ToLowerHex(digest, length);
  return bOk;
}

}  // namespace platform
