#ifndef _WIN32

#include "tests/installer/packet_peer.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>

namespace peer {

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
  for (unsigned char byte : data)
    sum += static_cast<uint32_t>(static_cast<int>(byte) - 256 * (byte >= 0x80));
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

cPacketPeer::cPacketPeer() : master(-1), slave(-1), bStop(false) {}

cPacketPeer::~cPacketPeer() {
  Stop();
  if (master >= 0) close(master);
  if (slave >= 0) close(slave);
}

bool cPacketPeer::Open(int port) {
  char name[256] = {0};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return false;
  // The slave stays open here too: the pty lives on while the program closes and reopens its
  // port, and it is raw from the start so nothing is echoed before the program configures it.
  struct termios settings;
  tcgetattr(slave, &settings);
  cfmakeraw(&settings);
  tcsetattr(slave, TCSANOW, &settings);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  slavePath = name;
  return setenv(("HALVEX_COM" + std::to_string(port)).c_str(), name, 1) == 0;
}

sAnswer cPacketPeer::AckAll(const sPacket& packet, size_t) {
  return packet.length > 0 ? Ack() : Silence();
}

void cPacketPeer::StartPackets(Responder responder) {
  Stop();
  bStop = false;
  worker = std::thread([this, responder] { RunPackets(responder); });
}

void cPacketPeer::StartRaw(ByteResponder responder) {
  Stop();
  bStop = false;
  worker = std::thread([this, responder] { RunRaw(responder); });
}

void cPacketPeer::Stop() {
  bStop = true;
  if (worker.joinable()) worker.join();
}

void cPacketPeer::Write(const std::string& bytes) {
  std::lock_guard<std::mutex> guard(writeLock);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = ::write(master, bytes.data() + done, bytes.size() - done);
    if (count > 0) {
      done += static_cast<size_t>(count);
    } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
      struct pollfd request = {master, POLLOUT, 0};
      poll(&request, 1, 50);
    } else {
      return;
    }
  }
}

bool cPacketPeer::ReadExact(std::string& out, size_t n) {
  out.clear();
  char buffer[65536];
  while (out.size() < n) {
    if (bStop) return false;
    struct pollfd request = {master, POLLIN, 0};
    if (poll(&request, 1, 20) <= 0) continue;
    const size_t wanted = std::min(sizeof(buffer), n - out.size());
    const ssize_t count = ::read(master, buffer, wanted);
    if (count <= 0) continue;
    out.append(buffer, static_cast<size_t>(count));
    std::lock_guard<std::mutex> guard(lock);
    received.append(buffer, static_cast<size_t>(count));
  }
  return true;
}

void cPacketPeer::RunPackets(Responder responder) {
  for (;;) {
    sPacket packet;
    std::string field;
    if (!ReadExact(field, 4)) return;
    packet.wire = field;
    packet.length = static_cast<int32_t>(
        static_cast<unsigned char>(field[0]) | static_cast<unsigned char>(field[1]) << 8 |
        static_cast<unsigned char>(field[2]) << 16 |
        static_cast<uint32_t>(static_cast<unsigned char>(field[3])) << 24);
    if (packet.length < 0 || packet.length > (1 << 24)) {
      RunRaw(nullptr);  // not a packet stream: keep recording
      return;
    }
    if (packet.length > 0) {
      if (!ReadExact(field, 4)) return;
      packet.wire += field;
      packet.checksum = 0;
      for (int i = 3; i >= 0; --i) {
        packet.checksum = packet.checksum << 8 | static_cast<unsigned char>(field[i]);
      }
      if (!ReadExact(packet.data, static_cast<size_t>(packet.length))) return;
      packet.wire += packet.data;
    }
    size_t index = 0;
    {
      std::lock_guard<std::mutex> guard(lock);
      index = packets.size();
      packets.push_back(packet);
    }
    const sAnswer answer = responder(packet, index);
    for (const sAnswer::sStep& step : answer.steps) {
      for (int waited = 0; waited < step.delayMs && !bStop; waited += 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      Write(step.bytes);
    }
    for (int i = 0; i < answer.acksToRead; ++i) {
      if (!ReadExact(field, 1)) return;
      std::lock_guard<std::mutex> guard(lock);
      acks += field;
    }
  }
}

void cPacketPeer::RunRaw(ByteResponder responder) {
  std::string byte;
  while (ReadExact(byte, 1)) {
    if (responder) {
      const std::string answer = responder(byte[0]);
      if (!answer.empty()) Write(answer);
    }
  }
}

std::string cPacketPeer::Received() const {
  std::lock_guard<std::mutex> guard(lock);
  return received;
}

std::vector<sPacket> cPacketPeer::Packets() const {
  std::lock_guard<std::mutex> guard(lock);
  return packets;
}

std::string cPacketPeer::Acks() const {
  std::lock_guard<std::mutex> guard(lock);
  return acks;
}

bool cPacketPeer::WaitFor(const std::function<bool()>& condition, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool cPacketPeer::WaitForReceived(size_t count, int timeoutMs) const {
  return WaitFor([&] { return Received().size() >= count; }, timeoutMs);
}

std::string cPacketPeer::ReceivedAtLeast(size_t count, int timeoutMs) const {
  WaitForReceived(count, timeoutMs);
  return Received();
}

bool cPacketPeer::WaitForAcks(size_t count, int timeoutMs) const {
  return WaitFor([&] { return Acks().size() >= count; }, timeoutMs);
}

bool cPacketPeer::WaitForPackets(size_t count, int timeoutMs) const {
  return WaitFor([&] { return Packets().size() >= count; }, timeoutMs);
}

}  // namespace peer

#endif
