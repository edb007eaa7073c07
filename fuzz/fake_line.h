// The line that the fuzz-only serial device and clock serve: bytes from the fuzz input come in,
// bytes written go nowhere, and time passes only when the program waits.
#ifndef HALVEX_FUZZ_FAKE_LINE_H
#define HALVEX_FUZZ_FAKE_LINE_H

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Everything the next reads of any open fake device receive, in order. The bytes are not
// copied: they must stay valid while the device reads them.
void SetLineInput(const uint8_t* data, size_t size);

// Chunks the device hands out per read at most (at least 1): small values make every read
// loop of the program run many times.
void SetLineChunk(size_t maxChunk);

// Bytes of the input not read yet.
size_t GetLineRemaining();

// Bytes the program wrote since the last SetLineInput.
size_t GetLineWritten();

// The fake clock, milliseconds; SleepMs and a silent read advance it.
int64_t GetFakeNowMs();

}  // namespace fuzz

#endif
