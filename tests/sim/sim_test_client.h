// A minimal client of the simulator for tests, independent of the program's serial layer: it
// opens the pty slave in raw mode and speaks lines and packets on it.
#ifndef HALVEX_TESTS_SIM_SIM_TEST_CLIENT_H
#define HALVEX_TESTS_SIM_SIM_TEST_CLIENT_H

#include <termios.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_engine.h"
#include "sim/sim_options.h"

namespace simtest {

class cTestClient {
 public:
  cTestClient() = default;
  ~cTestClient() { Close(); }
  cTestClient(const cTestClient&) = delete;
  cTestClient& operator=(const cTestClient&) = delete;

  // Opens the path in HALVEX_COM<port> raw at baud, 8N1 plus extraCflag (e.g. PARENB).
  bool Open(int port, uint32_t baud, tcflag_t extraCflag = 0);
  bool SetLine(uint32_t baud, tcflag_t extraCflag = 0);
  void Close();

  bool Write(const void* data, size_t n);
  bool WriteLine(const std::string& szText) {
    return Write((szText + "\r\n").data(), szText.size() + 2);
  }
  // The next line without its CR LF; empty after timeoutMs without one.
  std::string ReadLine(int timeoutMs);
  // Every byte that arrives until the line has been quiet for quietMs.
  std::vector<uint8_t> ReadUntilQuiet(int quietMs);
  // One byte, or -1 after timeoutMs.
  int ReadByte(int timeoutMs);

  bool WritePacket(const std::vector<uint8_t>& data, bool bSignedSum = false);
  // Waits like the program does: true when "A" comes within timeoutMs; other bytes are skipped.
  bool AwaitAck(int timeoutMs);
  // Sends the packet until it is accepted, again after "N" or silence, at most tries times.
  bool SendReliably(const std::vector<uint8_t>& data, int tries = 30);
  bool SendWord(uint32_t word) { return SendReliably(Word(word)); }
  bool SendText(const std::string& szText) { return SendReliably(Text(szText)); }
  // The whole transfer conversation: word 2, name, size, 16384-byte chunks, end-of-file marker.
  bool SendFile(const std::string& szName, const std::vector<uint8_t>& data);
  // Word 4 and the name, then the five reply packets, each answered. True when all came.
  bool AskVersions(const std::string& szName);
  // Reads one packet of the installer; answers "A" when its sum is the one expected.
  bool ReadPacket(std::vector<uint8_t>& data, int timeoutMs, bool bSignedSum = false);

  static std::vector<uint8_t> Word(uint32_t word);
  static std::vector<uint8_t> Text(const std::string& szText);

  int resends = 0;  // packets SendReliably had to send again
  int ackTimeoutMs = 1000;

 private:
  bool ReadExact(uint8_t* dest, size_t n, int timeoutMs);
  int fd = -1;
};

// A simulator serving in-process on a fresh store folder, with HALVEX_COM1 set to its slave.
class cTestSim {
 public:
  explicit cTestSim(sim::sSimOptions options = sim::sSimOptions());
  ~cTestSim();
  bool IsUp() const { return bUp; }
  sim::cSimEngine& Engine() { return *engine; }
  const sim::cSimRecorder& Records() { return engine->GetRecords(); }
  const std::string& StoreDir() const { return szStore; }
  const std::string& TempDir() const { return szTemp; }
  // Polls the face until it is `face` or timeoutMs passed.
  bool WaitForFace(sim::eSimFace face, int timeoutMs);
  // Opens the client, says "INSTALL" and waits for the installer; false when it does not come.
  bool EnterInstaller(cTestClient& client);
  std::string Violations();

 private:
  std::string szTemp;
  std::string szStore;
  std::unique_ptr<sim::cSimEngine> engine;
  bool bUp = false;
};

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed);
std::vector<uint8_t> ReadFileBytes(const std::string& szPath);
double SecondsSince(int64_t startNs);

}  // namespace simtest

#endif
