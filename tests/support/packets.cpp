#include "support/packets.h"

#include <random>

std::string Field(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
  return bytes;
}

uint32_t UnsignedSum(const std::string& data) {
  uint32_t sum = 0;
  for (unsigned char byte : data) sum += byte;
  return sum;
}

uint32_t SignedSum(const std::string& data) {
  uint32_t sum = 0;
  for (unsigned char byte : data) {
    sum += static_cast<uint32_t>(static_cast<int>(byte) - 256 * (byte >= 0x80));
  }
  return sum;
}

std::string Packet(const std::string& data, uint32_t checksum) {
  return Field(static_cast<uint32_t>(data.size())) + Field(checksum) + data;
}

std::string Packet(const std::string& data) {
  return Packet(data, UnsignedSum(data));
}

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(generator() & 0xFFu);
  for (size_t i = 0; i < n && i < 256; ++i) bytes[i] = static_cast<char>(i);
  return bytes;
}

sAnswer Ack() {
  return sAnswer{{{0, "A"}}, 0};
}

sAnswer Nak() {
  return sAnswer{{{0, "N"}}, 0};
}

sAnswer Silence() {
  return sAnswer{};
}

sAnswer Then(sAnswer answer, int delayMs, const std::string& bytes) {
  answer.steps.push_back({delayMs, bytes});
  return answer;
}

sAnswer AckAll(const sPacket& packet, size_t) {
  return packet.length > 0 ? Ack() : Silence();
}
