// Packet framing as the tests write and read it, independent of the program's own code: a
// little-endian 32-bit length, a 32-bit checksum and the data; an empty packet (length 0) is
// the end-of-file marker and has no checksum. Also what the installer side answers (sAnswer)
// and seeded random bytes for file contents.
//
//   peer.Write(Packet("data"));          // a good packet
//   peer.Write(Packet("data", 1));       // one with a wrong checksum
//   peer.Write(Field(0));                // the end-of-file marker
#ifndef HALVEX_TESTS_SUPPORT_PACKETS_H
#define HALVEX_TESTS_SUPPORT_PACKETS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Little-endian 32-bit field.
std::string Field(uint32_t value);
// Byte sums modulo 2^32, each byte counted 0 to 255 or -128 to 127.
uint32_t UnsignedSum(const std::string& data);
uint32_t SignedSum(const std::string& data);
// A packet with the given checksum, or with the unsigned sum of its data.
std::string Packet(const std::string& data, uint32_t checksum);
std::string Packet(const std::string& data);
// n bytes from a fixed seed; the first 256 are 0 to 255, so every value occurs.
std::string RandomBytes(size_t n, uint32_t seed);

// One packet as a peer received it.
struct sPacket {
  int32_t length = 0;
  uint32_t checksum = 0;
  std::string data;
  std::string wire;  // the packet's bytes as they came
  bool ChecksumOk() const { return checksum == UnsignedSum(data); }
};

// What a peer playing the installer does after a packet: wait, write, wait, write...; then
// read acksToRead single bytes (the program's answers to reply packets written in the steps).
struct sAnswer {
  struct sStep {
    int delayMs;
    std::string bytes;
  };
  std::vector<sStep> steps;
  int acksToRead = 0;
};
sAnswer Ack();
sAnswer Nak();
sAnswer Silence();
sAnswer Then(sAnswer answer, int delayMs, const std::string& bytes);
// "A" for every packet with data, nothing for the end-of-file marker.
sAnswer AckAll(const sPacket& packet, size_t index);

#endif
