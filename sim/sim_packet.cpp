#include "sim/sim_packet.h"

namespace sim {

uint32_t UnsignedByteSum(const uint8_t* data, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += data[i];
  return sum;
}

uint32_t SignedByteSum(const uint8_t* data, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += static_cast<uint32_t>(static_cast<int8_t>(data[i]));
  return sum;
}

uint32_t ReadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

std::vector<uint8_t> BuildPacket(const uint8_t* data, size_t n, bool bSignedSum) {
  std::vector<uint8_t> packet;
  AppendLe32(packet, static_cast<uint32_t>(n));
  if (n == 0) return packet;
  AppendLe32(packet, bSignedSum ? SignedByteSum(data, n) : UnsignedByteSum(data, n));
  packet.insert(packet.end(), data, data + n);
  return packet;
}

std::vector<uint8_t> BuildPacket(const std::string& text, bool bSignedSum) {
  return BuildPacket(reinterpret_cast<const uint8_t*>(text.data()), text.size(), bSignedSum);
}

bool IsPrintableText(const uint8_t* data, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (data[i] < 0x20 || data[i] > 0x7E) return false;
  }
  return true;
}

}  // namespace sim
