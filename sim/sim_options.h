// Options of the instrument simulator: what it reports, how it paces the line and which faults
// it injects.
#ifndef HALVEX_SIM_SIM_OPTIONS_H
#define HALVEX_SIM_SIM_OPTIONS_H

#include <cstdint>
#include <map>
#include <string>

namespace sim {

// Deterministic faults of the resident installer. Packets are counted from 1: every complete
// packet with data that the installer receives on a correctly set line counts.
struct sSimFaults {
  int nakEvery = 0;                   // answer "N" to every Nth packet and discard it; 0: off
  int dropAckEvery = 0;               // discard every Nth packet without an answer; 0: off
  bool bGarbageBeforeAck = false;     // a few bytes that are neither "A" nor "N" before each answer
  bool bBadReplyChecksum = false;     // the first reply packet goes out once with a wrong sum
  int ackDelayMs = 0;                 // wait this long before each answer
  bool bNeverStartInstaller = false;  // "INSTALL" is taken, then the line stays silent
  bool bNeverReboot = false;          // after the exit word's "A" the line stays silent
  int64_t hangupAfterBytes = -1;      // after this many received bytes nothing is answered; -1 off
  // After this many received bytes the pty is closed and its link removed, as a USB adapter
  // that is pulled (the packet or line being received is lost); -1 off.
  int64_t unplugAfterBytes = -1;
  // A new pty appears at the same link this long after the unplug, the instrument's state
  // kept; -1: the port stays gone.
  int replugAfterMs = -1;
  // Data packet K (from 1) of the first file transfer is stored, but its "A" is lost; 0 off.
  int loseAckAfterStore = 0;
  // Data packet K of the first file transfer is stored, then the pty is unplugged before its
  // "A" (as unplugAfterBytes; replugAfterMs applies); 0 off.
  int unplugBeforeAck = 0;
  // The two faults above act in every file transfer, not only in the first.
  bool bLoseAckEveryTransfer = false;
  // A naive installer: the packet that follows a lost "A" byte for byte is stored again as new
  // data (so the file grows beyond its announced size). Off: it is taken as the repeat of the
  // packet stored already, answered and not stored again.
  bool bStoreRepeats = false;
  // Replies replaced: a command line that arrives as a key is handled as usual, but its reply
  // line (if it has one) is this text instead; an empty text leaves it unanswered.
  std::map<std::string, std::string> replies;
};

// The add-on pressure modules the simulator can play.
enum eSimModuleKind {
  SIM_MODULE_NONE,
  SIM_MODULE_REGULATOR,  // PWM pressure regulator (a controller)
  SIM_MODULE_PUMP,       // pressure pump (a controller)
  SIM_MODULE_SENSOR,     // pressure sensor
};

struct sSimModuleOptions {
  eSimModuleKind kind = SIM_MODULE_NONE;
  // False: the simulator is the module itself, answering addressed lines on its own line.
  // True: the simulator is a host instrument with the module on one of its channels.
  bool bHosted = false;
  int hostChannel = 0;  // 0 for channel A, 1 for B
  char address = '0';   // the module's own address character
  std::string szSerial = "4711";
  std::string szVersion = "2.3.1";
  std::string szId;  // the whole identification reply; empty: built from kind, serial, version
};

struct sSimOptions {
  std::string szStoreDir;  // where received files are stored; required
  std::string szModel = "VSR450";
  std::string szSerial = "123456";
  std::string szId;  // the whole "ID?" reply; empty: "HALVEX,<model>,<serial>,<main version>"
  std::string szMainVersion = "1.0.0";
  std::string szGpibVersion = "1.0.0";
  std::string szFpgaVersion = "1.0.0";
  int installerStartMs = 1000;  // silence between "INSTALL" and the installer's first answer
  int bootMs = 3000;            // silence between the exit word and the command interpreter
  std::string szLogPath;        // transcript file; empty: none
  uint32_t lineRate = 0;        // paces both directions at this bit rate (10 bits a byte); 0: off
  uint32_t interpreterBaud = 57600;  // rate the command interpreter expects the line to be set to
  bool bSignedChecksums = false;     // the installer's own packets carry the signed byte sum
  // Time constant of the pressure's approach to its target in control and vent mode.
  int controlTimeConstantMs = 500;
  sSimModuleOptions module;
  sSimFaults faults;
};

// The rate the resident installer expects.
constexpr uint32_t SIM_INSTALLER_BAUD = 115200;

}  // namespace sim

#endif
