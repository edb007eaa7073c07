#include "sim/sim_recorder.h"

#include <chrono>

namespace sim {

int64_t SimNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string DescribeBytes(const uint8_t* data, size_t n, size_t maxShown) {
  bool bText = true;
  for (size_t i = 0; i < n; ++i) {
    if (data[i] < 0x20 || data[i] > 0x7E) bText = false;
  }
  std::string szOut;
  const size_t shown = n < maxShown ? n : maxShown;
  if (bText) {
    szOut = "\"" + std::string(reinterpret_cast<const char*>(data), shown) + "\"";
  } else {
    char szHex[4];
    for (size_t i = 0; i < shown; ++i) {
      snprintf(szHex, sizeof(szHex), i ? " %02X" : "%02X", data[i]);
      szOut += szHex;
    }
  }
  if (shown < n) szOut += " ...";
  return szOut;
}

const char* GetFaceName(eSimFace face) {
  switch (face) {
    case FACE_INTERPRETER:
      return "interpreter";
    case FACE_STARTING:
      return "starting";
    case FACE_INSTALLER:
      return "installer";
    case FACE_BOOTING:
      return "booting";
    case FACE_SILENT:
      return "silent";
  }
  return "?";
}

cSimRecorder::cSimRecorder() : ctStartNs(SimNowNs()), fpLog(nullptr), face(FACE_INTERPRETER) {}

cSimRecorder::~cSimRecorder() {
  CloseLog();
}

bool cSimRecorder::OpenLog(const std::string& szPath, std::string& szError) {
  std::lock_guard<std::mutex> lock(mutex);
  if (fpLog) fclose(fpLog);
  fpLog = fopen(szPath.c_str(), "w");
  if (!fpLog) {
    szError = "cannot write the log " + szPath;
    return false;
  }
  return true;
}

void cSimRecorder::CloseLog() {
  std::lock_guard<std::mutex> lock(mutex);
  if (fpLog) fclose(fpLog);
  fpLog = nullptr;
}

int64_t cSimRecorder::GetElapsedMs() const {
  return (SimNowNs() - ctStartNs) / 1000000;
}

void cSimRecorder::LogLocked(const char* szMark, const std::string& szText) {
  if (!fpLog) return;
  const double fSeconds = static_cast<double>(SimNowNs() - ctStartNs) / 1e9;
  fprintf(fpLog, "%10.3f %s %s\n", fSeconds, szMark, szText.c_str());
  fflush(fpLog);
}

void cSimRecorder::Log(const char* szMark, const std::string& szText) {
  std::lock_guard<std::mutex> lock(mutex);
  LogLocked(szMark, szText);
}

void cSimRecorder::Violation(const std::string& szText) {
  std::lock_guard<std::mutex> lock(mutex);
  violations.push_back(szText);
  LogLocked("!", "VIOLATION " + szText);
}

void cSimRecorder::Command(const sSimCommandRecord& command) {
  std::lock_guard<std::mutex> lock(mutex);
  commands.push_back(command);
}

void cSimRecorder::Packet(const sSimPacketRecord& packet) {
  std::lock_guard<std::mutex> lock(mutex);
  packets.push_back(packet);
}

void cSimRecorder::File(const sSimReceivedFile& file) {
  std::lock_guard<std::mutex> lock(mutex);
  files.push_back(file);
  LogLocked("=", "stored \"" + file.szName + "\" (" + std::to_string(file.size) + " bytes) at " +
                     file.szPath);
}

void cSimRecorder::Script(const std::string& szName) {
  std::lock_guard<std::mutex> lock(mutex);
  scripts.push_back(szName);
  LogLocked("=", "run script \"" + szName + "\"");
}

void cSimRecorder::SettingsChanged(const sSimLineSettings& settings) {
  std::lock_guard<std::mutex> lock(mutex);
  settingsHistory.push_back({(SimNowNs() - ctStartNs) / 1000000, settings});
  LogLocked("~", "line " + settings.Describe());
}

void cSimRecorder::Add(int sSimCounts::*counter, int n) {
  std::lock_guard<std::mutex> lock(mutex);
  counts.*counter += n;
}

void cSimRecorder::AddBytes(int64_t sSimCounts::*counter, int64_t n) {
  std::lock_guard<std::mutex> lock(mutex);
  counts.*counter += n;
}

void cSimRecorder::SetFace(eSimFace newFace) {
  std::lock_guard<std::mutex> lock(mutex);
  if (face == newFace) return;
  face = newFace;
  LogLocked("=", std::string("face ") + GetFaceName(newFace));
}

void cSimRecorder::SetMainVersion(const std::string& szVersion) {
  std::lock_guard<std::mutex> lock(mutex);
  szMainVersion = szVersion;
}

}  // namespace sim
