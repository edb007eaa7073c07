// What the simulated instrument knows about itself while it serves.
#ifndef HALVEX_SIM_SIM_STATE_H
#define HALVEX_SIM_SIM_STATE_H

#include <string>

#include "sim/sim_options.h"

namespace sim {

struct sSimInstrumentState {
  std::string szMainVersion;
  std::string szGpibVersion;
  std::string szFpgaVersion;
  // Version carried by the name of the last image received; the MAIN version after restart.
  std::string szPendingMainVersion;

  explicit sSimInstrumentState(const sSimOptions& options)
      : szMainVersion(options.szMainVersion),
        szGpibVersion(options.szGpibVersion),
        szFpgaVersion(options.szFpgaVersion) {}
};

}  // namespace sim

#endif
