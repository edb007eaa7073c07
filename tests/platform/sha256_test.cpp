// The SHA-256 seam against the example vectors of FIPS 180-4, whole and in uneven pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/sha256.h"

namespace {

struct sVector {
  std::string message;
  const char* szHash;
};

TEST(Sha256, ExampleVectorsWholeAndInPieces) {
  const sVector kVectors[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
  };
  platform::cSha256 hash;  // one object for every hash: Start begins the next
  for (const sVector& vector : kVectors) {
    const std::string& message = vector.message;
    std::string hex;
    EXPECT_TRUE(platform::Sha256Hex(message.data(), message.size(), hex));
    EXPECT_EQ(hex, vector.szHash);

    // Pieces of 1, 2, 3, ... bytes, and an empty one.
    ASSERT_TRUE(hash.Start());
    EXPECT_TRUE(hash.Add(message.data(), 0));
    size_t offset = 0;
    for (size_t piece = 1; offset < message.size(); ++piece) {
      const size_t n = std::min(piece * 7, message.size() - offset);
      ASSERT_TRUE(hash.Add(message.data() + offset, n));
      offset += n;
    }
    EXPECT_TRUE(hash.Finish(hex));
    EXPECT_EQ(hex, vector.szHash) << message.size() << " bytes in pieces";
  }
  // Nothing running: neither adding nor finishing works.
  std::string hex = "x";
  EXPECT_FALSE(hash.Add("a", 1));
  EXPECT_FALSE(hash.Finish(hex));
  EXPECT_EQ(hex, "");
}

}  // namespace
