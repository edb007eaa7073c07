// The unattended installation: one step per call, driven by the program's loop.
#ifndef HALVEX_APP_AUTO_SEQUENCER_H
#define HALVEX_APP_AUTO_SEQUENCER_H

#include <cstdint>

#include "app/exit_status.h"

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
