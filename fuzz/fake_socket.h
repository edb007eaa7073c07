// The server that the fuzz-only socket serves: every connection made receives the bytes of the
// fuzz input, every send is taken, and time passes only when the program waits.
#ifndef HALVEX_FUZZ_FAKE_SOCKET_H
#define HALVEX_FUZZ_FAKE_SOCKET_H

#include <cstddef>
#include <cstdint>

namespace fuzz {

// What the next receives of any connection get, in order (not copied: the bytes must stay
// valid while they are read). Past the end the server is silent, or with bClosesAtEnd it
// closes the connection.
void SetServerInput(const uint8_t* data, size_t size, bool bClosesAtEnd);
// Bytes a receive hands out at most (at least 1).
void SetServerChunk(size_t maxChunk);
size_t GetServerRemaining();
// Connections made since the last SetServerInput.
int GetServerConnections();

}  // namespace fuzz

#endif
