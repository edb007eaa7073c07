// Framing of the resident installer's packets: 32-bit little-endian signed length, 32-bit
// little-endian byte sum, data. A zero-length packet (the end-of-file marker) is the four zero
// bytes alone.
#ifndef HALVEX_SIM_SIM_PACKET_H
#define HALVEX_SIM_SIM_PACKET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr int32_t SIM_MAX_PACKET_LEN = 16384;
constexpr uint8_t SIM_ACK = 'A';
constexpr uint8_t SIM_NAK = 'N';

// Command words of the resident installer.
enum eSimInstallerWord : uint32_t {
  WORD_EXIT = 0,
  WORD_TRANSFER_FILE = 2,
  WORD_GET_VERSION = 4,
  WORD_EXECUTE_FILE = 5,
};

// Sum of the bytes, each counted 0..255, wrapping modulo 2^32.
uint32_t UnsignedByteSum(const uint8_t* data, size_t n);
// Sum of the bytes, each counted -128..127, wrapping modulo 2^32.
uint32_t SignedByteSum(const uint8_t* data, size_t n);

uint32_t ReadLe32(const uint8_t* bytes);
void AppendLe32(std::vector<uint8_t>& out, uint32_t value);

// A whole packet on the wire: header and data (or the four zero bytes for an empty one).
std::vector<uint8_t> BuildPacket(const uint8_t* data, size_t n, bool bSignedSum);
std::vector<uint8_t> BuildPacket(const std::string& text, bool bSignedSum);

// True when the data is printable text (what names and script names are).
bool IsPrintableText(const uint8_t* data, size_t n);

}  // namespace sim

#endif
