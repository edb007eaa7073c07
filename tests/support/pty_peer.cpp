#include "support/pty_peer.h"

#include <chrono>

#include "platform/clock.h"

namespace {

// The longest packet the framing allows.
const int32_t MAX_PACKET = 16384;

// The little-endian 32-bit field at bytes[at].
uint32_t FieldAt(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = at + 4; i-- > at;) value = value << 8 | static_cast<unsigned char>(bytes[i]);
  return value;
}

}  // namespace

void cPtyPeer::StartRaw(ByteResponder responder) {
  StopReader();
  byteResponder = responder;
  Start(MODE_RAW);
}

void cPtyPeer::StartLines() {
  StopReader();
  byteResponder = nullptr;
  Start(MODE_LINES);
}

void cPtyPeer::StartPackets(PacketResponder responder) {
  StopReader();
  byteResponder = nullptr;  // the packet mode falls back to recording only
  packetResponder = responder;
  Start(MODE_PACKETS);
}

void cPtyPeer::Start(eMode newMode) {
  StopReader();
  if (!bOpen) return;
  mode = newMode;
  pending.clear();
  acksToRead = 0;
  bStop = false;
  reader = std::thread([this] { Run(); });
}

void cPtyPeer::StopReader() {
  bStop = true;
  if (reader.joinable()) reader.join();
}

void cPtyPeer::Run() {
  while (!bStop) {
    const std::string bytes = ReadSome(20);
    if (bytes.empty()) continue;
    const int64_t ctNow = platform::GetMonotonicMs();
    {
      std::lock_guard<std::mutex> guard(lock);
      received += bytes;
    }
    arrived.notify_all();
    if (mode == MODE_LINES) {
      TakeLineBytes(bytes, ctNow);
    } else if (mode == MODE_PACKETS) {
      TakePacketBytes(bytes);
    } else if (byteResponder) {
      for (char byte : bytes) Write(byteResponder(byte));
    }
  }
}

void cPtyPeer::TakeLineBytes(const std::string& bytes, int64_t ctNow) {
  for (char byte : bytes) {
    std::string reply;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (partial.empty()) ctPartial = ctNow;
      if (byte != '\n') {
        partial += byte;
        continue;
      }
      if (!partial.empty() && partial.back() == '\r') partial.pop_back();
      const std::string line = partial;
      partial.clear();
      lines.push_back(sPeerLine{line, ctPartial});
      if (!bSilent) reply = ReplyTo(line);
    }
    arrived.notify_all();
    Write(reply);
  }
}

std::string cPtyPeer::ReplyTo(const std::string& line) {
  auto once = onceAnswers.find(line);
  if (once != onceAnswers.end() && !once->second.empty()) {
    const std::string reply = once->second.front();
    once->second.pop_front();
    return reply;
  }
  auto fixed = answers.find(line);
  if (fixed != answers.end()) return fixed->second;
  return lineResponder ? lineResponder(line) : std::string();
}

// Packets as they come: length, then checksum and data; after an answer that carries reply
// packets, the program's single-byte answers to them. A length no packet has means the line
// does not carry packets: from there on the peer only records.
void cPtyPeer::TakePacketBytes(const std::string& bytes) {
  pending += bytes;
  while (!bStop && mode == MODE_PACKETS) {
    if (acksToRead > 0) {
      if (pending.empty()) return;
      {
        std::lock_guard<std::mutex> guard(lock);
        acks += pending[0];
      }
      pending.erase(0, 1);
      --acksToRead;
      arrived.notify_all();
      continue;
    }
    if (pending.size() < 4) return;
    sPacket packet;
    packet.length = static_cast<int32_t>(FieldAt(pending, 0));
    if (packet.length < 0 || packet.length > (1 << 24)) {
      mode = MODE_RAW;
      return;
    }
    const size_t size = packet.length > 0 ? 8 + static_cast<size_t>(packet.length) : 4;
    if (pending.size() < size) return;
    packet.wire = pending.substr(0, size);
    pending.erase(0, size);
    if (packet.length > 0) {
      packet.checksum = FieldAt(packet.wire, 4);
      packet.data = packet.wire.substr(8);
    }
    size_t index = 0;
    {
      std::lock_guard<std::mutex> guard(lock);
      index = packets.size();
      packets.push_back(packet);
    }
    arrived.notify_all();
    Play(packetResponder(packet, index));
  }
}

void cPtyPeer::Play(const sAnswer& answer) {
  for (const sAnswer::sStep& step : answer.steps) {
    for (int waited = 0; waited < step.delayMs && !bStop; waited += 10) platform::SleepMs(10);
    Write(step.bytes);
  }
  acksToRead = answer.acksToRead;
}

bool cPtyPeer::Write(const std::string& bytes) {
  std::lock_guard<std::mutex> guard(writeLock);
  size_t done = 0;
  int64_t ctGiveUp = platform::GetMonotonicMs() + 5000;
  while (done < bytes.size() && bOpen) {
    const int count = WriteSome(bytes.data() + done, bytes.size() - done);
    if (count < 0) return false;
    if (count > 0) {
      done += static_cast<size_t>(count);
      ctGiveUp = platform::GetMonotonicMs() + 5000;
    } else if (platform::GetMonotonicMs() > ctGiveUp) {
      return false;
    }
  }
  return done == bytes.size();
}

bool cPtyPeer::WaitUntil(const std::function<bool()>& condition, int timeoutMs) const {
  std::unique_lock<std::mutex> guard(lock);
  return arrived.wait_for(guard, std::chrono::milliseconds(timeoutMs), condition);
}

std::string cPtyPeer::Received() const {
  std::lock_guard<std::mutex> guard(lock);
  return received;
}

bool cPtyPeer::WaitForReceived(size_t count, int timeoutMs) const {
  return WaitUntil([&] { return received.size() >= count; }, timeoutMs);
}

std::string cPtyPeer::ReceivedAtLeast(size_t count, int timeoutMs) const {
  WaitForReceived(count, timeoutMs);
  return Received();
}

std::string cPtyPeer::Take(size_t n) {
  std::lock_guard<std::mutex> guard(lock);
  std::string bytes = received.substr(readAt, n);
  readAt += bytes.size();
  return bytes;
}

bool cPtyPeer::ReadExactly(size_t n, int timeoutMs, std::string& bytes) {
  if (!WaitUntil([&] { return received.size() - readAt >= n; }, timeoutMs)) return false;
  bytes = Take(n);
  return true;
}

int cPtyPeer::ReadByte(int timeoutMs) {
  std::string byte;
  return ReadExactly(1, timeoutMs, byte) ? static_cast<unsigned char>(byte[0]) : -1;
}

std::string cPtyPeer::ReadLine(int timeoutMs) {
  if (!WaitUntil([&] { return received.find('\n', readAt) != std::string::npos; }, timeoutMs)) {
    Take(std::string::npos);
    return std::string();
  }
  std::string line;
  {
    std::lock_guard<std::mutex> guard(lock);
    const size_t end = received.find('\n', readAt);
    line = received.substr(readAt, end - readAt);
    readAt = end + 1;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string cPtyPeer::Receive(int quietMs) {
  size_t seen = 0;
  do {
    std::lock_guard<std::mutex> guard(lock);
    seen = received.size();
  } while (WaitUntil([&] { return received.size() > seen; }, quietMs));
  return Take(std::string::npos);
}

std::string cPtyPeer::ReceiveN(size_t n, int timeoutMs) {
  WaitUntil([&] { return received.size() - readAt >= n; }, timeoutMs);
  return Take(std::string::npos);
}

void cPtyPeer::Answer(const std::string& line, const std::string& reply) {
  std::lock_guard<std::mutex> guard(lock);
  answers[line] = reply + "\r\n";
}

void cPtyPeer::AnswerOnce(const std::string& line, const std::string& reply) {
  std::lock_guard<std::mutex> guard(lock);
  onceAnswers[line].push_back(reply + "\r\n");
}

void cPtyPeer::SetResponder(LineResponder responder) {
  std::lock_guard<std::mutex> guard(lock);
  lineResponder = responder;
}

void cPtyPeer::SetSilent(bool bNewSilent) {
  std::lock_guard<std::mutex> guard(lock);
  bSilent = bNewSilent;
}

std::vector<sPeerLine> cPtyPeer::Lines() const {
  std::lock_guard<std::mutex> guard(lock);
  return lines;
}

std::vector<std::string> cPtyPeer::Texts(size_t first) const {
  std::lock_guard<std::mutex> guard(lock);
  std::vector<std::string> texts;
  for (size_t i = first; i < lines.size(); ++i) texts.push_back(lines[i].text);
  return texts;
}

void cPtyPeer::Clear() {
  std::lock_guard<std::mutex> guard(lock);
  received.clear();
  readAt = 0;
  lines.clear();
}

bool cPtyPeer::WaitForLine(const std::string& line, size_t count, int timeoutMs) const {
  return WaitUntil(
      [&] {
        size_t seen = 0;
        for (const sPeerLine& each : lines) seen += each.text == line ? 1 : 0;
        return seen >= count;
      },
      timeoutMs);
}

std::vector<sPacket> cPtyPeer::Packets() const {
  std::lock_guard<std::mutex> guard(lock);
  return packets;
}

std::string cPtyPeer::Acks() const {
  std::lock_guard<std::mutex> guard(lock);
  return acks;
}

bool cPtyPeer::WaitForPackets(size_t count, int timeoutMs) const {
  return WaitUntil([&] { return packets.size() >= count; }, timeoutMs);
}

bool cPtyPeer::WaitForAcks(size_t count, int timeoutMs) const {
  return WaitUntil([&] { return acks.size() >= count; }, timeoutMs);
}

bool cPtyPeer::AwaitAck(int timeoutMs) {
  const int64_t ctDeadline = platform::GetMonotonicMs() + timeoutMs;
  for (;;) {
    const int64_t left = ctDeadline - platform::GetMonotonicMs();
    if (left <= 0) return false;
    if (ReadByte(static_cast<int>(left)) == 'A') return true;
  }
}

bool cPtyPeer::SendPacket(const std::string& data, int tries) {
  for (int attempt = 0; attempt < tries; ++attempt) {
    if (attempt > 0) ++resends;
    if (!Write(Packet(data))) return false;
    if (AwaitAck(ackTimeoutMs)) return true;
  }
  return false;
}

bool cPtyPeer::ReadPacket(std::string& data, int timeoutMs, bool bSignedSum) {
  std::string header;
  if (!ReadExactly(4, timeoutMs, header)) return false;
  const int32_t length = static_cast<int32_t>(FieldAt(header, 0));
  if (length <= 0 || length > MAX_PACKET) return false;
  if (!ReadExactly(4, 1000, header) || !ReadExactly(static_cast<size_t>(length), 1000, data)) {
    return false;
  }
  const uint32_t sum = bSignedSum ? SignedSum(data) : UnsignedSum(data);
  const bool bOk = sum == FieldAt(header, 0);
  Write(bOk ? "A" : "N");
  return bOk;
}
