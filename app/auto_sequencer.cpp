#include "app/auto_sequencer.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/connections.h"
#include "app/globals.h"
#include "app/install_check.h"
#include "app/install_report.h"
#include "app/install_steps.h"
#include "app/output.h"
#include "app/package_choice.h"
#include "app/package_store.h"
#include "app/port_choice.h"
#include "app/preflight.h"
#include "app/run_log.h"
#include "app/transfer_cut.h"
#include "platform/clock.h"

namespace {

// How the run is going, besides the state itself.
struct stAutoRun {
  int exitStatus = EXIT_DONE;
  bool bFailed = false;         // the image did not reach the instrument
  bool bTimedOut = false;       // a time limit ran out
  bool bInstrumentBack = true;  // false when the instrument did not come back in time
  int64_t ctStateStart = 0;     // when the current state was entered
  int64_t ctLastAck = 0;        // when the installer last acknowledged a packet
  int exitAttempts = 0;
  std::string model;        // the instrument's model, captured while connected
  std::string packagePath;  // the package chosen while the instrument was connected
  // The images to send, a bit 1 << file type each: MAIN alone, or with "-ALL" every image the
  // package names; and the checks they passed.
  bool bWholePackage = false;
  unsigned typesToSend = 1u << 0;
  stPreflight checks[FILE_TYPE_MAX];
  stPortWatch portWatch;  // whether the port is away, for its lines
};

stAutoRun run;
stAutoLimits limits = DEFAULT_AUTO_LIMITS;

std::string Format(const char* format, const char* text) {
  char szLine[2 * MAX_PATH_LEN];
  std::snprintf(szLine, sizeof(szLine), format, text);
  return szLine;
}

void Fail(int status) {
  run.bFailed = true;
  if (status > run.exitStatus) run.exitStatus = status;
}

// A time limit ran out: the clear line, then the way the window's Cancel would go.
void RunOutOfTime(const char* what, int64_t limitMs, eInstallPackageState next) {
  char szLine[160];
  std::snprintf(szLine, sizeof(szLine), "Time limit: %s within %lld s!  Aborting ...\r\n", what,
                static_cast<long long>(limitMs / 1000));
  WriteOutput(szLine);
  run.bTimedOut = true;
  Fail(EXIT_TIME_LIMIT);
  installPackageState = next;
}

// Chooses the package and checks its MAIN image (with "-ALL" each image it names, in the order
// they are sent) while the instrument is still in its command interpreter: a package that cannot
// be installed never starts the installer. Silent when the package passes; Getting file reports
// the choice as it always did. A refusal is a line for each image that failed.
bool CheckPackage() {
  if (!ChooseRunPackage(path, chosen_pkg_settings, run.model, run.packagePath)) {
    WriteOutput("Unable to find valid package file!  Aborting ...\r\n");
    Fail(EXIT_INSTALL_FAILED);
    return false;
  }
  run.typesToSend = 0;
  bool bPassed = true;
  for (int type = run.bWholePackage ? FILE_TYPE_MAX - 1 : 0; type >= 0; type--) {
    stPreflight& check = run.checks[type];
    const bool bImagePassed = RunPreflight(path, run.packagePath.c_str(), type, check);
    // A GPIB or FPGA image the package does not name is not sent; MAIN always is.
    if (type > 0 && check.reason == PREFLIGHT_NO_IMAGE) continue;
    LogImageChecked(run.packagePath, type, check);
    if (bImagePassed) {
      run.typesToSend |= 1u << type;
    } else {
      WriteOutput(check.szLine + "\r\n");
      bPassed = false;
    }
  }
  if (bPassed) return true;
  Fail(EXIT_INSTALL_FAILED);
  return false;
}

bool IsToBeSent(int type) {
  return type >= 0 && type < FILE_TYPE_MAX && (run.typesToSend & (1u << type)) != 0;
}

// The line of a connection that could not be made at that speed (szFor: what it was for).
std::string UnableToConnect(const std::string& baud, const char* szFor = "") {
  return "Unable to connect to " + GetPortText(chosen_com_settings) + " baud " + baud + szFor +
         "!  Aborting ...\r\n";
}

void Connecting() {
  if (instrument.IsConnected()) instrument.Disconnect();
  if (!chosen_com_settings.bPortSet) {
    WriteOutput("Please set COM Port argument and try again ...");
    run.exitStatus = EXIT_COMMAND_LINE;
    installPackageState = INSTALL_IDLE;
    return;
  }
  const std::string port = GetPortText(chosen_com_settings);
  const std::string baud = GetBaudString(chosen_com_settings.baud);
  // An identification that did not parse leaves the connection unusable: that is no
  // connection either.
  if (instrument.Connect(GetChosenPort(chosen_com_settings), chosen_com_settings.baud, false) &&
      instrument.IsConnected()) {
    WriteOutput("Connected to " + port + " baud " + baud + " successfully ...\r\n");
    instrument.UpdateVersions();
    LogInstrumentIdentified();
    run.model = instrument.GetModel();
    if (CheckPackage()) {
      installPackageState = INSTALL_GETTING_PACKAGE;
    } else {
      // Nothing more is said to the instrument: it stays in its command interpreter.
      instrument.Disconnect();
      installPackageState = INSTALL_IDLE;
    }
  } else {
    WriteOutput(UnableToConnect(baud));
    // When the port did not open: the device and the system's reason.
    if (instrument.GetOpenFailure()[0] != '\0') {
      WriteOutput(std::string(instrument.GetOpenFailure()) + "\r\n");
    }
    instrument.Disconnect();
    run.exitStatus = EXIT_NO_CONNECTION;
    installPackageState = INSTALL_IDLE;
  }
}

void GettingPackage() {
  // The highest file type first.
  fileType = FILE_TYPE_MAX - 1;
  while (fileType > 0 && !IsToBeSent(fileType)) fileType--;
  installPackageState = INSTALL_WAITING_INSTALLER;
  if (instrument.IsConnected()) {
    instrument.StartInstaller();
    instrument.Disconnect();
  }
}

// The instrument connection cannot work at all: the instrument may be there, yet cannot be
// reached. The run's status says so unless a worse one was already set.
void NoConnection() {
  if (EXIT_NO_CONNECTION > run.exitStatus) run.exitStatus = EXIT_NO_CONNECTION;
}

// The installer's port refused its settings right after "INSTALL": the run ends now.
void InstallerPortRefused() {
  WriteOutput(UnableToConnect("115200", " for the installer") +
              DescribeRefusedInstallerPort("\r\n") + "\r\n Installation failed!\r\n");
  run.bFailed = true;
  NoConnection();
  installPackageState = INSTALL_IDLE;
}

void GettingFile() {
  const char* szFormat = "Using file as specified : %s\r\n";
  if (!chosen_pkg_settings.bFound) {
    // The package was chosen before the installer started (CheckPackage); the line that names
    // it comes here, where it always came.
    std::snprintf(last_pkg_path, sizeof(last_pkg_path), "%s", run.packagePath.c_str());
    WriteOutput("Last Package:" + run.packagePath + "\r\n");
    szFormat = "Using latest file : %s\r\n";
  }
  if (IsToBeSent(fileType)) {
    // The image that passed the check.
    const stPreflight& check = run.checks[fileType];
    std::snprintf(filename, sizeof(filename), "%s", check.szFileName.c_str());
    std::snprintf(file_path, sizeof(file_path), "%s", check.szFilePath.c_str());
  } else {
    // A name that is missing, cut or would leave the files folder leaves filename empty.
    ReadPackageImage(path, run.packagePath.c_str(), fileType, filename, file_path);
  }
  WriteOutput(Format(szFormat, file_path));
  installPackageState = INSTALL_SENDING_FILE;
}

void SendingFile() {
  const bool bChecked = IsToBeSent(fileType);
  if (BeginFileTransfer(bChecked ? run.checks[fileType].szSha256 : std::string())) {
    if (bChecked) TraceImageSent(run.checks[fileType]);
    LogPassBegun();
    run.ctLastAck = platform::GetMonotonicMs();
    installPackageState = INSTALL_WAITING_COMPLETION;
  } else {
    if (filename[0] == '\0') {
      WriteOutput(Format("The package names no usable %s file!\r\n", SHORT_FILE_TYPE[fileType]));
    } else {
      WriteOutput(Format("Unable to read file : %s\r\n", file_path));
    }
    Fail(EXIT_INSTALL_FAILED);
    installPackageState = INSTALL_GETTING_NEXT_FILE;
  }
}

void WaitingCompletion() {
  switch (WaitCompletionStep()) {
    case TRANSFER_FAILED:
      WriteOutput(
          Format("Transfer of %s failed!  The file changed or could not be read.\r\n", file_path));
      CutTransfer(CUT_FAILED);
      Fail(EXIT_INSTALL_FAILED);
      break;
    case TRANSFER_AGAIN:
      ReportTransferAgain(GetFilePasses(fileType).passes);
      run.ctLastAck = platform::GetMonotonicMs();
      break;
    case TRANSFER_UNCERTAIN:
      if (GetFilePasses(fileType).passes < MAX_TRANSFER_PASSES) {
        WriteOutput(Format("Unable to read file : %s\r\n", file_path));
      }
      Fail(EXIT_IMAGE_UNCERTAIN);
      break;
    case TRANSFER_COMPLETE:
      break;
    case TRANSFER_RUNNING:
      if (platform::GetMonotonicMs() - run.ctLastAck > limits.packetAckMs) {
        installer.StopTransfer();
        RunOutOfTime("no packet was acknowledged", limits.packetAckMs, INSTALL_REBOOTING);
        CutTransfer(CUT_STOPPED);
      }
      break;
  }
}

// A wait for the installer outside a transfer, with the installer's time limit.
bool InstallerWaitTooLong() {
  if (platform::GetMonotonicMs() - run.ctStateStart <= limits.installerAnswerMs) return false;
  RunOutOfTime("the installer did not answer", limits.installerAnswerMs, INSTALL_REBOOTING);
  return true;
}

// While the port is gone the exit word waits for it, within the installer's limit, instead of
// using up its attempts; after a time limit ran out it only gets its attempts.
void Rebooting() {
  const bool bWaitForPort = !run.bTimedOut;
  if (ExitInstallerStep(run.exitAttempts, bWaitForPort)) return;
  if (bWaitForPort && installer.IsPortLost() &&
      platform::GetMonotonicMs() - run.ctStateStart > limits.installerAnswerMs) {
    RunOutOfTime("the installer did not answer", limits.installerAnswerMs, INSTALL_REBOOTING);
  }
}

// A cut transfer is said at once: the instrument may be stuck in its installer, and the run
// now only waits for it to answer (sending nothing but the reconnection handshake).
void ReportCut() {
  const eTransferCut cut = TakeNewTransferCut();
  if (cut == CUT_NONE) return;
  const char* szWhat =
      cut == CUT_UNCERTAIN
          ? "An answer was lost in every pass: the image on the instrument may hold a packet twice."
          : "The transfer was cut short: the instrument may still be in its installer with an "
            "incomplete image.";
  char szLine[256];
  std::snprintf(
      szLine, sizeof(szLine),
      "%s  Switch the instrument off and on: waiting up to %lld s for it to answer ...\r\n", szWhat,
      static_cast<long long>(limits.instrumentReturnMs / 1000));
  WriteOutput(szLine);
}

// One line when the port goes away and one when it is back; the passes in between only wait.
void ReportPort() {
  // A run that has ended waits for nothing.
  const ePortChange change = WatchPort(run.portWatch, installPackageState != INSTALL_IDLE);
  if (change == PORT_UNCHANGED) return;
  const std::string port = GetPortText(chosen_com_settings);
  if (change == PORT_LOST) {
    WriteOutput("Lost " + port + "!  Waiting for the port to return ...\r\n");
  } else {
    WriteOutput(port + " is back.  Going on ...\r\n");
  }
}

// " (sent 2 times: an answer was lost in the first)" after an image that needed more than one
// pass; empty after one.
std::string PassesNote(int type) {
  const int passes = GetFilePasses(type).passes;
  if (passes <= 1) return "";
  return " (sent " + std::to_string(passes) + " times: an answer was lost in the " +
         (passes == 2 ? "first" : "first two") + ")";
}

// The line of the check of one image sent.
std::string VersionLine(int type, const std::string& szImage, const stVersionCheck& check) {
  const std::string szType = SHORT_FILE_TYPE[type];
  const std::string szReported = check.szReported.empty() ? "none" : check.szReported;
  switch (check.result) {
    case VERSION_VERIFIED:
      return "Verified: the instrument runs " + szType + " version " + check.szExpected + " of " +
             szImage + PassesNote(type) + ".\r\n";
    case VERSION_DIFFERS:
      Fail(EXIT_VERSION_DIFFERS);
      return "The instrument reports " + szType + " version " + szReported + ", not " +
             check.szExpected + " of " + szImage + "!\r\n";
    case VERSION_UNCHECKED:
      break;
  }
  return "The image name " + szImage + " carries no version: the instrument's " + szType +
         " version (" + szReported + ") could not be checked.\r\n";
}

// The instrument is back after a run that delivered its images: is it running them? A line for
// each, in the order they were sent.
void CheckVersions() {
  std::string szImages[FILE_TYPE_MAX];
  for (int type = 0; type < FILE_TYPE_MAX; type++) {
    if (IsToBeSent(type)) szImages[type] = run.checks[type].szFileName;
  }
  stVersionCheck checks[FILE_TYPE_MAX];
  CheckInstrumentVersions(instrument, szImages, checks);
  for (int type = FILE_TYPE_MAX - 1; type >= 0; type--) {
    if (szImages[type].empty()) continue;
    const std::string line = VersionLine(type, szImages[type], checks[type]);
    WriteOutput(line);
    // The line of an image that verified may follow: the record names the one that failed.
    if (checks[type].result == VERSION_DIFFERS) LogReasonLine(line);
  }
}

void Reconnecting() {
  if (instrument.Reconnect()) {
    if (!run.bFailed) CheckVersions();
    installPackageState = INSTALL_IDLE;
  } else if (instrument.IsPortRefused()) {
    // A port (a device server) that now refuses the command speed would refuse it until the
    // time limit: the instrument cannot be checked, and the run ends as when it did not come
    // back, with the reason.
    WriteOutput(UnableToConnect(GetBaudString(chosen_com_settings.baud)) +
                instrument.GetOpenFailure() + "\r\n");
    run.bInstrumentBack = false;
    NoConnection();
    installPackageState = INSTALL_IDLE;
  } else if (platform::GetMonotonicMs() - run.ctStateStart > limits.instrumentReturnMs) {
    run.bInstrumentBack = false;
    RunOutOfTime("the instrument did not come back", limits.instrumentReturnMs, INSTALL_IDLE);
  } else {
    // The connection paces its own attempts: the reconnection handshake every 2 s
    // (RECONNECT_INTERVAL_MS) while the port is there; while it is gone, its channel tries to
    // open it again every 250 ms (PORT_REOPEN_INTERVAL_MS) and sleeps towards that itself.
    // Between them nothing is to be done, so the pass gives the processor away.
    platform::SleepMs(RECONNECT_PASS_SLEEP_MS);
  }
}

}  // namespace

// The state seen at the previous step, for the report lines.
static eInstallPackageState oldinstallPackageState = INSTALL_IDLE;

bool UpdateAuto() {
  static bool bInstallerConnectedInProgress = false;

  const eInstallPackageState state = installPackageState;
  LogRunState(state);
  if (state != INSTALL_WAITING_INSTALLER) bInstallerConnectedInProgress = false;
  // A cut transfer has a known end whether or not the instrument came back: it failed.
  ReportInstallStep(state, oldinstallPackageState,
                    run.bInstrumentBack || GetTransferCut() != CUT_NONE, run.bFailed);
  if (state != oldinstallPackageState) {
    run.ctStateStart = platform::GetMonotonicMs();
    if (state == INSTALL_REBOOTING) run.exitAttempts = 0;
  }
  oldinstallPackageState = state;

  switch (state) {
    case INSTALL_IDLE:
      break;
    case INSTALL_CONNECTING:
      Connecting();
      break;
    case INSTALL_GETTING_PACKAGE:
      GettingPackage();
      break;
    case INSTALL_WAITING_INSTALLER:
      if (!bInstallerConnectedInProgress) {
        installer.Connect(GetChosenPort(chosen_com_settings), BAUD_115200);
        bInstallerConnectedInProgress = true;
        if (installer.IsPortRefused()) InstallerPortRefused();
      } else if (installer.IsRunning()) {
        installPackageState = INSTALL_GETTING_FILE;
      } else {
        InstallerWaitTooLong();
      }
      break;
    case INSTALL_GETTING_FILE:
      GettingFile();
      break;
    case INSTALL_SENDING_FILE:
      SendingFile();
      break;
    case INSTALL_WAITING_COMPLETION:
      WaitingCompletion();
      break;
    case INSTALL_PREPARING_EXECUTE:
      if (!PrepareExecuteStep()) InstallerWaitTooLong();
      break;
    case INSTALL_EXECUTING:
      if (!ExecuteStep()) InstallerWaitTooLong();
      break;
    case INSTALL_GETTING_NEXT_FILE:
      // After an image that failed the rest is not sent.
      if (!NextFileStep(run.bFailed ? 0u : run.typesToSend)) InstallerWaitTooLong();
      break;
    case INSTALL_REBOOTING:
      Rebooting();
      break;
    case INSTALL_RECONNECTING:
      Reconnecting();
      break;
  }

  if (installer.Update()) run.ctLastAck = platform::GetMonotonicMs();
  ReportCut();
  ReportPort();
  return true;
}

void SetAutoLimits(const stAutoLimits& newLimits) {
  limits = newLimits;
}

void SetAutoWholePackage(bool bWholePackage) {
  run.bWholePackage = bWholePackage;
}

bool AutoSequencerAtRest() {
  return installPackageState == INSTALL_IDLE && oldinstallPackageState == INSTALL_IDLE;
}

int GetAutoExitStatus() {
  return run.exitStatus;
}

void SetAutoExitStatus(int status) {
  run.exitStatus = status;
}
