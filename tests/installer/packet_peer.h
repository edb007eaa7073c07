// A scripted installer on the far end of a real pty pair, for tests of the packet engine.
//
// Open() creates the pair and maps COM<port> to its slave (HALVEX_COM<port>). The peer then
// either parses the packets that the program writes and answers each as a responder says
// (StartPackets), or records raw bytes and answers single bytes (StartRaw). Every byte the
// program writes is recorded in order.
#ifndef HALVEX_TESTS_INSTALLER_PACKET_PEER_H
#define HALVEX_TESTS_INSTALLER_PACKET_PEER_H

#ifndef _WIN32

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace peer {

// Little-endian 32-bit field.
std::string Field(uint32_t value);
// Byte sums modulo 2^32, each byte counted 0 to 255 or -128 to 127.
uint32_t UnsignedSum(const std::string& data);
uint32_t SignedSum(const std::string& data);
// A packet with the given checksum, or with the unsigned sum of its data.
std::string Packet(const std::string& data, uint32_t checksum);
std::string Packet(const std::string& data);
// n random bytes from a fixed seed, every value 0 to 255 represented.
std::string RandomBytes(size_t n, uint32_t seed);

struct sPacket {
  int32_t length = 0;
  uint32_t checksum = 0;
  std::string data;
  std::string wire;  // the packet's bytes as they came
  bool ChecksumOk() const { return checksum == UnsignedSum(data); }
};

// What the peer does after a packet: wait, write, wait, write...; then read acksToRead single
// bytes (the program's answers to reply packets written in the steps).
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

class cPacketPeer {
 public:
  // index counts the packets received so far, from 0.
  using Responder = std::function<sAnswer(const sPacket& packet, size_t index)>;
  // Bytes to write in answer to one received byte (empty: nothing).
  using ByteResponder = std::function<std::string(char byte)>;

  cPacketPeer();
  ~cPacketPeer();
  cPacketPeer(const cPacketPeer&) = delete;
  cPacketPeer& operator=(const cPacketPeer&) = delete;

  bool Open(int port);
  // "A" for every packet with data, nothing for the end-of-file marker.
  static sAnswer AckAll(const sPacket& packet, size_t index);
  void StartPackets(Responder responder = AckAll);
  void StartRaw(ByteResponder responder = nullptr);
  void Stop();

  void Write(const std::string& bytes);

  std::string Received() const;
  std::vector<sPacket> Packets() const;
  // Answer bytes the program sent to reply packets (acksToRead).
  std::string Acks() const;
  bool WaitForReceived(size_t count, int timeoutMs) const;
  // Received() once it holds at least count bytes (or after timeoutMs).
  std::string ReceivedAtLeast(size_t count, int timeoutMs = 5000) const;
  bool WaitForAcks(size_t count, int timeoutMs) const;
  bool WaitForPackets(size_t count, int timeoutMs) const;
  const std::string& SlavePath() const { return slavePath; }

 private:
  bool ReadExact(std::string& out, size_t n);
  void RunPackets(Responder responder);
  void RunRaw(ByteResponder responder);
  bool WaitFor(const std::function<bool()>& condition, int timeoutMs) const;

  int master;
  int slave;
  std::string slavePath;
  std::atomic<bool> bStop;
  std::thread worker;
  mutable std::mutex lock;
  std::mutex writeLock;
  std::string received;
  std::vector<sPacket> packets;
  std::string acks;
};

}  // namespace peer

#endif
#endif
