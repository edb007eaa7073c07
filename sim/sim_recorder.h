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
#include "util/no_copy.h"

namespace sim {

class cSimRecorder : private cNoCopy {
 public:
  cSimRecorder();
  ~cSimRecorder();

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

  // Copies, taken under the lock.
  std::vector<std::string> GetViolations() const { return Copy(violations); }
  std::vector<sSimCommandRecord> GetCommands() const { return Copy(commands); }
  std::vector<sSimPacketRecord> GetPackets() const { return Copy(packets); }
  std::vector<sSimReceivedFile> GetFiles() const { return Copy(files); }
  std::vector<std::string> GetScripts() const { return Copy(scripts); }
  std::vector<sSimSettingsChange> GetSettingsHistory() const { return Copy(settingsHistory); }
  sSimCounts GetCounts() const { return Copy(counts); }
  eSimFace GetFace() const { return Copy(face); }
  std::string GetMainVersion() const { return Copy(szMainVersion); }

 private:
  void LogLocked(const char* szMark, const std::string& szText);
  template <typename T>
  T Copy(const T& member) const {
    std::lock_guard<std::mutex> lock(mutex);
    return member;
  }

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
