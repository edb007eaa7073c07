// What the simulator records while it serves: line settings, command lines, received files,
// fault counts and the instrument's current face.
#ifndef HALVEX_SIM_SIM_RECORDS_H
#define HALVEX_SIM_SIM_RECORDS_H

#include <cstdint>
#include <string>

namespace sim {

enum eSimFace {
  FACE_INTERPRETER,  // the command interpreter takes text lines
  FACE_STARTING,     // "INSTALL" was taken; the resident installer is starting (silent)
  FACE_INSTALLER,    // the resident installer takes packets
  FACE_BOOTING,      // the installer exited; the instrument restarts (silent)
  FACE_SILENT,       // silent for good (a fault option)
};

const char* GetFaceName(eSimFace face);

// Line settings the program applied to the port, as read back from the pty.
struct sSimLineSettings {
  uint32_t baud = 0;       // output speed in bit/s; 0 when the speed is not a known rate
  uint32_t inputBaud = 0;  // input speed in bit/s, recorded only
  int dataBits = 8;
  char parity = 'N';  // 'N', 'E', 'O', 'M' (mark) or 'S' (space)
  int stopBits = 1;
  bool bRtsCts = false;
  bool bXonXoff = false;   // IXON or IXOFF
  std::string szAltering;  // names of set flags that alter the bytes (ICANON, ECHO, ...)

  bool operator==(const sSimLineSettings& other) const;
  bool operator!=(const sSimLineSettings& other) const { return !(*this == other); }
  // True when the line is at `expectedBaud`, 8N1, without flow control and raw.
  bool Fits(uint32_t expectedBaud) const;
  // For example "57600 8N1" or "9600 7E2 RTS/CTS altering: ICANON ECHO".
  std::string Describe() const;
};

struct sSimSettingsChange {
  int64_t msSinceStart = 0;
  sSimLineSettings settings;
};

// One text line the command interpreter received, with the settings it arrived under.
struct sSimCommandRecord {
  std::string szLine;
  sSimLineSettings settings;
};

// One packet with data (or end-of-file marker) the resident installer received.
struct sSimPacketRecord {
  int32_t length = 0;
  bool bChecksumOk = false;
  sSimLineSettings settings;
};

struct sSimReceivedFile {
  std::string szName;  // the remote name as the program sent it
  std::string szPath;  // where it lies in the store
  uint32_t size = 0;   // the bytes stored (beyond the announced size only with stored repeats)
};

struct sSimCounts {
  int64_t bytesReceived = 0;
  int64_t bytesSent = 0;
  int packetsReceived = 0;  // packets with data, as the faults count them
  int acksSent = 0;
  int naksSent = 0;
  int replyPacketsSent = 0;   // packets the installer sent, resends included
  int replyNaksReceived = 0;  // "N" answers to them
  int replySilences = 0;      // replies the program left unanswered
  int reboots = 0;
  // What the fault options did.
  int faultNaks = 0;
  int faultAcksDropped = 0;
  int faultGarbageSent = 0;
  int faultAcksDelayed = 0;
  int faultInstallerNeverStarted = 0;
  int faultRebootsWithheld = 0;
  int faultHangups = 0;
  int64_t bytesDiscardedAfterHangup = 0;
  int faultUnplugs = 0;
  int faultReplugs = 0;
  int64_t bytesLostAtUnplug = 0;    // received but not yet taken when the pty went
  int faultAcksLostAfterStore = 0;  // data packets stored whose "A" was lost (unplugs included)
  int faultUnplugsBeforeAck = 0;    // of those, the ones whose "A" went with an unplug
  int repeatsRecognised = 0;        // repeats of such a packet answered and not stored again
  int faultRepeatsStored = 0;       // repeats stored as new data (bStoreRepeats)
  int64_t bytesStoredTwice = 0;     // their bytes, stored beyond the announced size
};

}  // namespace sim

#endif
