// Thread-safe store of everything the simulator saw and did, and its transcript file. The
// serving thread writes; tests and the command-line tool read copies at any time.
#ifndef HALVEX_SIM_SIM_RECORDER_H
#define HALVEX_SIM_SIM_RECORDER_H

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_records.h"

namespace sim {

class cSimRecorder {
 public:
  cSimRecorder();
  ~cSimRecorder();
  cSimRecorder(const cSimRecorder&) = delete;
  cSimRecorder& operator=(const cSimRecorder&) = delete;

  // Opens the transcript (truncated). False with a reason when it cannot be written.
  bool OpenLog(const std::string& szPath, std::string& szError);
  void CloseLog();

  // Milliseconds since the recorder was made (the transcript's time base).
  int64_t GetElapsedMs() const;

  // One transcript line: elapsed seconds, a direction or kind mark, the text.
  void Log(const char* szMark, const std::string& szText);

  void Violation(const std::string& szText);
  void Command(const sSimCommandRecord& command);
  void Packet(const sSimPacketRecord& packet);
  void File(const sSimReceivedFile& file);
  void Script(const std::string& szName);
  void SettingsChanged(const sSimLineSettings& settings);
  void Add(int sSimCounts::*counter, int n = 1);
  void AddBytes(int64_t sSimCounts::*counter, int64_t n);
  void SetFace(eSimFace face);
  void SetMainVersion(const std::string& szVersion);

  std::vector<std::string> GetViolations() const;
  std::vector<sSimCommandRecord> GetCommands() const;
  std::vector<sSimPacketRecord> GetPackets() const;
  std::vector<sSimReceivedFile> GetFiles() const;
  std::vector<std::string> GetScripts() const;
  std::vector<sSimSettingsChange> GetSettingsHistory() const;
  sSimCounts GetCounts() const;
  eSimFace GetFace() const;
  std::string GetMainVersion() const;

 private:
  void LogLocked(const char* szMark, const std::string& szText);

  mutable std::mutex mutex;
  int64_t ctStartNs;
  FILE* fpLog;
  std::vector<std::string> violations;
  std::vector<sSimCommandRecord> commands;
  std::vector<sSimPacketRecord> packets;
  std::vector<sSimReceivedFile> files;
  std::vector<std::string> scripts;
  std::vector<sSimSettingsChange> settingsHistory;
  sSimCounts counts;
  eSimFace face;
  std::string szMainVersion;
};

// Monotonic clock in nanoseconds.
int64_t SimNowNs();

// Printable form of received bytes for messages: text as it is, other bytes as hex.
std::string DescribeBytes(const uint8_t* data, size_t n, size_t maxShown = 24);

}  // namespace sim

#endif
