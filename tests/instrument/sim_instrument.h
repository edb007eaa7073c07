// The instrument simulator serving in-process on a pseudo-terminal that the code under test
// opens as a COM port; what it recorded is read back as exact command lines and violations.
#ifndef HALVEX_TESTS_INSTRUMENT_SIM_INSTRUMENT_H
#define HALVEX_TESTS_INSTRUMENT_SIM_INSTRUMENT_H

#ifndef _WIN32

#include <memory>
#include <string>
#include <vector>

#include "sim/sim_engine.h"
#include "sim/sim_options.h"

class cSimInstrument {
 public:
  // Starts the simulator on a fresh store folder and sets HALVEX_COM<port> to its pty.
  cSimInstrument(int port, sim::sSimOptions options);
  ~cSimInstrument();
  cSimInstrument(const cSimInstrument&) = delete;
  cSimInstrument& operator=(const cSimInstrument&) = delete;

  bool IsUp() const { return bUp; }
  // The command lines received from index `first` on.
  std::vector<std::string> Lines(size_t first = 0) const;
  size_t LineCount() const { return Lines().size(); }
  // The lines from index `first` on, once the line received last is `last`.
  std::vector<std::string> LinesThrough(size_t first, const std::string& last) const;
  // Every violation, one a line; empty when none.
  std::string Violations() const;

 private:
  int port;
  std::string szTemp;
  std::unique_ptr<sim::cSimEngine> engine;
  bool bUp = false;
};

#endif
#endif
