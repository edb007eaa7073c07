// The unattended installation: one step per call, driven by the program's loop.
#ifndef HALVEX_APP_AUTO_SEQUENCER_H
#define HALVEX_APP_AUTO_SEQUENCER_H

#include <cstdint>

// Exit status of the automatic mode.
enum eAutoExitStatus : int {
  EXIT_DONE = 0,            // " Done!": the image was sent and the instrument is back
  EXIT_COMMAND_LINE = 2,    // no usable "-PORT=", the named package was not found
  EXIT_NO_CONNECTION = 3,   // the instrument did not answer on the port
  EXIT_INSTALL_FAILED = 4,  // failed after the instrument entered its installer
  EXIT_TIME_LIMIT = 5,      // a time limit ran out
  EXIT_VERSION_DIFFERS = 6  // the instrument came back with another MAIN version than the image's
};

// Time limits of the automatic mode, far above normal start and reboot times. The window
// has its Cancel buttons instead.
struct stAutoLimits {
  int64_t installerAnswerMs;   // the installer to answer
  int64_t packetAckMs;         // without an acknowledged packet
  int64_t instrumentReturnMs;  // the instrument to come back
};
// The limits of the program: 2 min, 2 min, 5 min. (The test tree builds a program that takes
// shorter ones; see tests/program/.)
constexpr stAutoLimits DEFAULT_AUTO_LIMITS = {2 * 60 * 1000, 2 * 60 * 1000, 5 * 60 * 1000};

// The limits of the run that follows; the run starts with DEFAULT_AUTO_LIMITS.
void SetAutoLimits(const stAutoLimits& limits);

// One step of the automatic installation; always true.
bool UpdateAuto();

// True when the state is Idle and the step that reports the return to Idle (" Done!") has
// run: the loop ends only then, so the last line of a run is never lost.
bool AutoSequencerAtRest();

// Exit status of the run so far.
int GetAutoExitStatus();
void SetAutoExitStatus(int status);

#endif
