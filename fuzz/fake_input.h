// The fuzz input as a fake device or server hands it out: in order, a chunk of at most a chosen
// size at a time.
#ifndef HALVEX_FUZZ_FAKE_INPUT_H
#define HALVEX_FUZZ_FAKE_INPUT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace fuzz {

class cFakeInput {
 public:
  // The bytes are not copied: they must stay valid while they are read.
  void Set(const uint8_t* data, size_t size) {
    bytes = data;
    length = data == nullptr ? 0 : size;
    offset = 0;
  }
  // At least 1.
  void SetChunk(size_t maxChunk) { chunk = std::max<size_t>(1, maxChunk); }
  size_t Remaining() const { return length - offset; }
  // The next bytes, at most n and one chunk, into dest: their count (0 once all are read).
  size_t Take(char* dest, size_t n) {
    const size_t count = std::min({Remaining(), chunk, n});
    std::copy(bytes + offset, bytes + offset + count, dest);
    offset += count;
    return count;
  }

 private:
  const uint8_t* bytes = nullptr;
  size_t length = 0;
  size_t offset = 0;
  size_t chunk = 4096;
};

}  // namespace fuzz

#endif
