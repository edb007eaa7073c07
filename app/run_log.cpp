#include "app/run_log.h"

#include <cstdint>

#include "app/connections.h"
#include "app/exit_status.h"
#include "app/globals.h"
#include "app/package_store.h"
#include "app/port_choice.h"
#include "app/run_record.h"
#include "app/transfer_cut.h"
#include "halvex_version.h"
#include "platform/clock.h"
#include "platform/serial_device.h"
#include "util/notice.h"

namespace {

enum eRunPhase : int {
  PHASE_NONE = -1,
  PHASE_CONNECT = 0,
  PHASE_INSTALLER_START,
  PHASE_TRANSFER,
  PHASE_RETURN,
  PHASE_COUNT
};

// A pass that began and has not ended yet; at the run's end it was cut short.
const char* const RESULT_SENDING = "sending";

struct stRunLog {
  bool bOpen = false;
  bool bAutomatic = false;
  bool bNetworkPort = false;  // the port is a device server's: its device is known once reached
  stRunRecord record;
  eInstallPackageState lastState = INSTALL_IDLE;
  eRunPhase phase = PHASE_NONE;
  int64_t ctPhaseStart = 0;
  int64_t phaseMs[PHASE_COUNT] = {};  // milliseconds, so that the sums print as read
  bool bPhaseReached[PHASE_COUNT] = {};
  bool bPortAway = false;
  int64_t ctPortLost = 0;
  int64_t awayMs = 0;
  std::string szReason;                     // the run's first reason
  std::string szLastLine;                   // the last line that says something
  std::string szReasonLine;                 // the line that gave the reason, if it was marked
  stRunInstrument afterVersions;            // the versions read after the return, if they were
  ePreflightReason refusal = PREFLIGHT_OK;  // a checked image that failed
};

std::string reportFile;
stRunLog runLog;

int64_t MsSince(int64_t ctStart) {
  return platform::GetMonotonicMs() - ctStart;
}

double Seconds(int64_t ms) {
  return static_cast<double>(ms) / 1000.0;
}

eRunPhase PhaseOf(eInstallPackageState state) {
  switch (state) {
    case INSTALL_CONNECTING:
      return PHASE_CONNECT;
    case INSTALL_GETTING_PACKAGE:
    case INSTALL_WAITING_INSTALLER:
      return PHASE_INSTALLER_START;
    case INSTALL_GETTING_FILE:
    case INSTALL_SENDING_FILE:
    case INSTALL_WAITING_COMPLETION:
    case INSTALL_PREPARING_EXECUTE:
    case INSTALL_EXECUTING:
    case INSTALL_GETTING_NEXT_FILE:
      return PHASE_TRANSFER;
    case INSTALL_REBOOTING:
    case INSTALL_RECONNECTING:
      return PHASE_RETURN;
    case INSTALL_IDLE:
      break;
  }
  return PHASE_NONE;
}

void EnterPhase(eRunPhase phase) {
  if (phase == runLog.phase) return;
  if (runLog.phase != PHASE_NONE) {
    runLog.phaseMs[runLog.phase] += MsSince(runLog.ctPhaseStart);
  }
  runLog.phase = phase;
  runLog.ctPhaseStart = platform::GetMonotonicMs();
  if (phase != PHASE_NONE) runLog.bPhaseReached[phase] = true;
}

void SetReason(const char* szReason) {
  if (runLog.szReason.empty()) runLog.szReason = szReason;
}

// The identification "manufacturer,model,serial,version[,...]" of the connection's last
// handshake, as the instrument sent it (the model without leading blanks, as the connection
// reads it); the versions are left unknown.
stRunInstrument ReadIdentification() {
  const std::string reply = instrument.GetHandshakeReply();
  stRunInstrument known;
  known.bKnown = true;
  std::string* const fields[] = {&known.szManufacturer, &known.szModel, &known.szSerial,
                                 &known.szVersion};
  size_t start = 0;
  for (std::string* field : fields) {
    if (start > reply.size()) break;
    size_t comma = reply.find(',', start);
    if (comma == std::string::npos) comma = reply.size();
    *field = reply.substr(start, comma - start);
    start = comma + 1;
  }
  const size_t first = known.szModel.find_first_not_of(" \t");
  known.szModel.erase(0, first == std::string::npos ? known.szModel.size() : first);
  return known;
}

// The versions the connection read last; none when its "VERSIONS?" reply held no MAIN version
// (the connection then shows "NOT REQ.").
void ReadVersions(stRunInstrument& known) {
  const std::string main = instrument.GetMainVersion();
  if (main.empty() || main == "NOT REQ.") return;
  known.szVersions[0] = main;
  known.szVersions[1] = instrument.GetGPIBVersion();
  known.szVersions[2] = instrument.GetFPGAVersion();
}

// The image of file type iFileType in the record, added when it is not there yet.
stRunImage& ImageOf(int iFileType, const std::string& szName) {
  const char* szType =
      iFileType >= 0 && iFileType < FILE_TYPE_MAX ? SHORT_FILE_TYPE[iFileType] : "?";
  for (stRunImage& image : runLog.record.images) {
    if (image.szType == szType) return image;
  }
  stRunImage image;
  image.szType = szType;
  image.szName = szName;
  image.szResult = "not-sent";
  runLog.record.images.push_back(image);
  return runLog.record.images.back();
}

// The reason that follows from the exit status when no event gave one.
std::string ReasonOfStatus(int status) {
  switch (status) {
    case EXIT_DONE:
      return "done";
    case EXIT_COMMAND_LINE:
      return "command-line";
    case EXIT_NO_CONNECTION:
      return "no-connection";
    case EXIT_INSTALL_FAILED:
      // Refused before the installer's start, or the image could not be read when its transfer
      // was to begin.
      if (runLog.record.images.empty()) return "no-package";
      if (runLog.refusal != PREFLIGHT_OK) return GetPreflightRunReason(runLog.refusal);
      return "image-unreadable";
    case EXIT_TIME_LIMIT:
      return "time-limit";
    case EXIT_VERSION_DIFFERS:
      return "version-mismatch";
    case EXIT_TRACE_FILE:
      return "trace-file";
    case EXIT_OPTIONS_CONFLICT:
      return "options-conflict";
    case EXIT_IMAGE_UNCERTAIN:  // a transfer that stayed uncertain in every pass
      return "uncertain";
    default:
      return "failed";
  }
}

// The reason of a window's installation, which has no exit status, when no event gave one.
std::string ReasonOfWindowRun() {
  for (const stRunImage& image : runLog.record.images) {
    if (image.passes == 0) return "image-unreadable";
    if (image.szResult == "uncertain") return "uncertain";
  }
  // Only a Cancel ends a window's wait for the instrument.
  return runLog.record.after.bKnown ? "done" : "cancelled";
}

}  // namespace

void SetRunReportFile(const std::string& szFile) {
  reportFile = szFile;
}

std::string CheckReportOption(const stCommandLine& options) {
  return options.bReportNamed ? CheckReportFile(options.reportFile) : std::string();
}

void BeginRunLog(const stCommandLineCom& com, bool bAutomatic) {
  runLog = stRunLog();
  if (reportFile.empty()) return;
  runLog.bOpen = true;
  runLog.bAutomatic = bAutomatic;
  stRunRecord& record = runLog.record;
  record.szVersion = HALVEX_VERSION_TEXT;
  record.startedMs = GetUtcMs();
  if (com.bPortSet) {
    record.szPortName = GetPortText(com);
    runLog.bNetworkPort = com.bNetwork;
    record.szPortDevice = com.bNetwork ? record.szPortName : platform::SerialPortPath(com.port);
  }
  record.baud = GetBaudRate(com.baud);
}

bool IsRunLogOpen() {
  return runLog.bOpen;
}

void LogRunState(eInstallPackageState state) {
  if (!runLog.bOpen) return;
  // The instrument is back: its identification now; the versions only when they were asked
  // for after the return (the version check), else they would be the ones before.
  if (runLog.lastState == INSTALL_RECONNECTING && state != INSTALL_RECONNECTING &&
      instrument.IsConnected()) {
    runLog.record.after = ReadIdentification();
    for (int i = 0; i < FILE_TYPE_MAX; i++) {
      runLog.record.after.szVersions[i] = runLog.afterVersions.szVersions[i];
    }
  }
  runLog.lastState = state;
  EnterPhase(PhaseOf(state));
}

void LogInstrumentIdentified() {
  if (!runLog.bOpen) return;
  runLog.record.before = ReadIdentification();
  ReadVersions(runLog.record.before);
}

void LogImageChecked(const std::string& szPackagePath, int iFileType, const stPreflight& check) {
  if (!runLog.bOpen) return;
  runLog.record.szPackage = szPackagePath;
  stRunImage& image = ImageOf(iFileType, check.szFileName);
  image.szName = check.szFileName;
  if (!check.szSha256.empty()) {
    image.size = check.size;
    image.szSha256 = check.szSha256;
  }
  if (check.reason != PREFLIGHT_OK && runLog.refusal == PREFLIGHT_OK) runLog.refusal = check.reason;
}

void LogPassBegun() {
  if (!runLog.bOpen) return;
  stRunImage& image = ImageOf(fileType, filename);
  image.passes++;
  image.szResult = RESULT_SENDING;
}

void LogPassEnded(eTransferOutcome outcome) {
  if (!runLog.bOpen || outcome == TRANSFER_RUNNING) return;
  stRunImage& image = ImageOf(fileType, filename);
  if (outcome == TRANSFER_FAILED) {
    image.szResult = "failed";
    SetReason("transfer-cut");
  } else {
    image.szResult = installer.TransferUncertain() ? "uncertain" : "sent";
    // What went on the line, which the check's hash only foretold.
    if (installer.GetSentSha256()[0] != '\0') {
      image.size = installer.GetTransferSize();
      image.szSha256 = installer.GetSentSha256();
    }
  }
}

void LogPortChange(ePortChange change) {
  if (!runLog.bOpen) return;
  if (change == PORT_LOST) {
    runLog.record.portsLost++;
    runLog.bPortAway = true;
    runLog.ctPortLost = platform::GetMonotonicMs();
  } else if (change == PORT_BACK && runLog.bPortAway) {
    runLog.bPortAway = false;
    runLog.awayMs += MsSince(runLog.ctPortLost);
  }
}

void LogVersionCheck(const stVersionCheck& check) {
  if (!runLog.bOpen) return;
  ReadVersions(runLog.afterVersions);
  // After a cut transfer the version is only shown, not judged.
  if (check.result == VERSION_DIFFERS && GetTransferCut() == CUT_NONE) {
    SetReason("version-mismatch");
  }
}

void LogRunReason(const char* szReason) {
  if (runLog.bOpen) SetReason(szReason);
}

void LogOutput(const std::string& text) {
  if (!runLog.bOpen) return;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != ' ') runLog.szLastLine = line;
    start = end + 1;
  }
}

void LogReasonLine(const std::string& line) {
  if (!runLog.bOpen || !runLog.szReasonLine.empty()) return;
  runLog.szReasonLine = line.substr(0, line.find_first_of("\r\n"));
}

bool EndRunLog(std::optional<int> exitStatus, const std::string& szMessage) {
  if (!runLog.bOpen) return true;
  EnterPhase(PHASE_NONE);
  stRunRecord& record = runLog.record;
  record.endedMs = GetUtcMs();
  // A network port leads to the address the instrument connection reached, if it did.
  if (runLog.bNetworkPort && !instrument.GetPortDevice().empty()) {
    record.szPortDevice = instrument.GetPortDevice();
  }
  if (runLog.bPortAway) runLog.awayMs += MsSince(runLog.ctPortLost);
  record.secondsAway = Seconds(runLog.awayMs);
  std::optional<double>* const phases[PHASE_COUNT] = {&record.phases.connect,
                                                      &record.phases.installerStart,
                                                      &record.phases.transfer, &record.phases.back};
  for (int i = 0; i < PHASE_COUNT; i++) {
    if (runLog.bPhaseReached[i]) *phases[i] = Seconds(runLog.phaseMs[i]);
  }
  for (stRunImage& image : record.images) {
    if (image.szResult == RESULT_SENDING) image.szResult = "cut";
  }
  if (!runLog.bAutomatic) exitStatus.reset();
  record.exitStatus = exitStatus;
  // A last pass that was uncertain too: the image may hold a packet twice.
  if (GetTransferCut() == CUT_UNCERTAIN) SetReason("uncertain");
  record.szReason = runLog.szReason;
  if (record.szReason.empty()) {
    record.szReason = exitStatus ? ReasonOfStatus(*exitStatus) : ReasonOfWindowRun();
  }
  if (!szMessage.empty()) {
    record.szMessage = szMessage;
  } else {
    record.szMessage = runLog.szReasonLine.empty() ? runLog.szLastLine : runLog.szReasonLine;
  }
  runLog.bOpen = false;
  std::string szError;
  if (WriteRunRecord(record, reportFile, szError)) return true;
  Notify(("The run record was not written: " + szError).c_str(), "Report", NOTICE_ERROR);
  return false;
}
