// The serving loop: the instrument's faces one after the other, on one thread.
#ifndef HALVEX_SIM_SIM_SESSION_H
#define HALVEX_SIM_SIM_SESSION_H

#include "sim/sim_installer.h"
#include "sim/sim_interpreter.h"
#include "sim/sim_line.h"
#include "sim/sim_options.h"
#include "sim/sim_recorder.h"
#include "sim/sim_state.h"
#include "sim/sim_store.h"

namespace sim {

class cSimSession {
 public:
  cSimSession(const sSimOptions& options, cSimRecorder& recorder, cSimLine& line, cSimStore& store);

  // Serves until the line is asked to stop.
  void Run();

  cSimInterpreter& GetInterpreter() { return interpreter; }

 private:
  // Drops all input for ms milliseconds (without limit when negative), then until the line is
  // quiet. False on stop.
  bool Silence(int ms);

  const sSimOptions& options;
  cSimRecorder& recorder;
  cSimLine& line;
  sSimInstrumentState state;
  cSimInterpreter interpreter;
  cSimInstaller installer;
};

}  // namespace sim

#endif
