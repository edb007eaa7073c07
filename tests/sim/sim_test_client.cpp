#include "tests/sim/sim_test_client.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "sim/sim_line_settings.h"
#include "sim/sim_packet.h"
#include "sim/sim_recorder.h"

namespace simtest {

namespace {

int64_t NowNs() {
  return sim::SimNowNs();
}

}  // namespace

double SecondsSince(int64_t startNs) {
  return static_cast<double>(NowNs() - startNs) / 1e9;
}

bool cTestClient::Open(int port, uint32_t baud, tcflag_t extraCflag) {
  Close();
  const char* szPath = getenv(("HALVEX_COM" + std::to_string(port)).c_str());
  if (!szPath) return false;
  fd = open(szPath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  return fd >= 0 && SetLine(baud, extraCflag);
}

bool cTestClient::SetLine(uint32_t baud, tcflag_t extraCflag) {
  struct termios settings;
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD | extraCflag;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
  cfsetspeed(&settings, sim::BaudToSpeed(baud));
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

void cTestClient::Close() {
  if (fd >= 0) close(fd);
  fd = -1;
}

bool cTestClient::Write(const void* data, size_t n) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  size_t written = 0;
  const int64_t deadline = NowNs() + 5000000000LL;
  while (written < n && NowNs() < deadline) {
    const ssize_t count = write(fd, bytes + written, n - written);
    if (count > 0) {
      written += static_cast<size_t>(count);
    } else {
      struct pollfd request = {fd, POLLOUT, 0};
      poll(&request, 1, 10);
    }
  }
  return written == n;
}

int cTestClient::ReadByte(int timeoutMs) {
  const int64_t deadline = NowNs() + static_cast<int64_t>(timeoutMs) * 1000000;
  for (;;) {
    uint8_t byte;
    if (read(fd, &byte, 1) == 1) return byte;
    const int64_t left = (deadline - NowNs()) / 1000000;
    if (left <= 0) return -1;
    struct pollfd request = {fd, POLLIN, 0};
    poll(&request, 1, static_cast<int>(left) + 1);
  }
}

std::string cTestClient::ReadLine(int timeoutMs) {
  const int64_t deadline = NowNs() + static_cast<int64_t>(timeoutMs) * 1000000;
  std::string szLine;
  for (;;) {
    const int64_t left = (deadline - NowNs()) / 1000000;
    const int byte = ReadByte(left > 0 ? static_cast<int>(left) : 0);
    if (byte < 0) return "";
    if (byte == '\n') {
      if (!szLine.empty() && szLine.back() == '\r') szLine.pop_back();
      return szLine;
    }
    szLine += static_cast<char>(byte);
  }
}

std::vector<uint8_t> cTestClient::ReadUntilQuiet(int quietMs) {
  std::vector<uint8_t> bytes;
  for (int byte; (byte = ReadByte(quietMs)) >= 0;) bytes.push_back(static_cast<uint8_t>(byte));
  return bytes;
}

bool cTestClient::ReadExact(uint8_t* dest, size_t n, int timeoutMs) {
  for (size_t i = 0; i < n; ++i) {
    const int byte = ReadByte(timeoutMs);
    if (byte < 0) return false;
    dest[i] = static_cast<uint8_t>(byte);
  }
  return true;
}

std::vector<uint8_t> cTestClient::Word(uint32_t word) {
  std::vector<uint8_t> data;
  sim::AppendLe32(data, word);
  return data;
}

std::vector<uint8_t> cTestClient::Text(const std::string& szText) {
  return std::vector<uint8_t>(szText.begin(), szText.end());
}

bool cTestClient::WritePacket(const std::vector<uint8_t>& data, bool bSignedSum) {
  const std::vector<uint8_t> packet = sim::BuildPacket(data.data(), data.size(), bSignedSum);
  return Write(packet.data(), packet.size());
}

bool cTestClient::AwaitAck(int timeoutMs) {
  const int64_t deadline = NowNs() + static_cast<int64_t>(timeoutMs) * 1000000;
  for (;;) {
    const int64_t left = (deadline - NowNs()) / 1000000;
    if (left <= 0) return false;
    if (ReadByte(static_cast<int>(left)) == 'A') return true;
  }
}

bool cTestClient::SendReliably(const std::vector<uint8_t>& data, int tries) {
  for (int attempt = 0; attempt < tries; ++attempt) {
    if (attempt > 0) ++resends;
    if (!WritePacket(data)) return false;
    if (AwaitAck(ackTimeoutMs)) return true;
  }
  return false;
}

bool cTestClient::SendFile(const std::string& szName, const std::vector<uint8_t>& data) {
  if (!SendWord(2) || !SendText(szName) || !SendWord(static_cast<uint32_t>(data.size()))) {
    return false;
  }
  for (size_t offset = 0; offset < data.size(); offset += sim::SIM_MAX_PACKET_LEN) {
    const size_t n = std::min<size_t>(sim::SIM_MAX_PACKET_LEN, data.size() - offset);
    if (!SendReliably(std::vector<uint8_t>(data.begin() + offset, data.begin() + offset + n))) {
      return false;
    }
  }
  const uint8_t kEnd[4] = {0, 0, 0, 0};
  return Write(kEnd, sizeof(kEnd));
}

bool cTestClient::AskVersions(const std::string& szName) {
  if (!SendWord(4) || !SendText(szName)) return false;
  std::vector<uint8_t> reply;
  for (int i = 0; i < 5; ++i) {
    if (!ReadPacket(reply, 2000)) return false;
    if (i == 0 && reply != Text(szName)) return false;
  }
  return true;
}

bool cTestClient::ReadPacket(std::vector<uint8_t>& data, int timeoutMs, bool bSignedSum) {
  uint8_t header[8];
  if (!ReadExact(header, 4, timeoutMs)) return false;
  const int32_t length = static_cast<int32_t>(sim::ReadLe32(header));
  if (length <= 0 || length > sim::SIM_MAX_PACKET_LEN) return false;
  data.resize(static_cast<size_t>(length));
  if (!ReadExact(header + 4, 4, 1000) || !ReadExact(data.data(), data.size(), 1000)) return false;
  const uint32_t sum = bSignedSum ? sim::SignedByteSum(data.data(), data.size())
                                  : sim::UnsignedByteSum(data.data(), data.size());
  const bool bOk = sum == sim::ReadLe32(header + 4);
  const uint8_t answer = bOk ? 'A' : 'N';
  Write(&answer, 1);
  return bOk;
}

cTestSim::cTestSim(sim::sSimOptions options) {
  char szTemplate[] = "/tmp/halvex-sim-test-XXXXXX";
  if (!mkdtemp(szTemplate)) return;
  szTemp = szTemplate;
  szStore = szTemp + "/store";
  options.szStoreDir = szStore;
  if (options.szLogPath.empty()) options.szLogPath = szTemp + "/transcript.log";
  engine.reset(new sim::cSimEngine(options));
  bUp = engine->Start();
  if (bUp) setenv("HALVEX_COM1", engine->GetSlavePath().c_str(), 1);
}

cTestSim::~cTestSim() {
  if (engine) engine->Stop();
  unsetenv("HALVEX_COM1");
  std::error_code error;
  if (!szTemp.empty()) std::filesystem::remove_all(szTemp, error);
}

bool cTestSim::WaitForFace(sim::eSimFace face, int timeoutMs) {
  const int64_t deadline = NowNs() + static_cast<int64_t>(timeoutMs) * 1000000;
  while (engine->GetRecords().GetFace() != face) {
    if (NowNs() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool cTestSim::EnterInstaller(cTestClient& client) {
  if (!client.Open(1, 57600) || !client.WriteLine("INSTALL")) return false;
  if (!WaitForFace(sim::FACE_INSTALLER, 10000)) return false;
  return client.SetLine(115200);
}

std::string cTestSim::Violations() {
  std::string szAll;
  for (const std::string& szViolation : engine->GetRecords().GetViolations()) {
    szAll += szViolation + "\n";
  }
  return szAll;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(n);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator() & 0xFF);
  return bytes;
}

std::vector<uint8_t> ReadFileBytes(const std::string& szPath) {
  std::ifstream file(szPath, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>());
}

}  // namespace simtest
