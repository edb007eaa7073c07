// What the simulated instrument knows about itself while it serves.
#ifndef HALVEX_SIM_SIM_STATE_H
#define HALVEX_SIM_SIM_STATE_H

#include <cstdint>
#include <memory>
#include <string>

#include "sim/sim_channel.h"
#include "sim/sim_module.h"
#include "sim/sim_options.h"

namespace sim {

// Internal volume of each channel in cubic centimetres.
constexpr double SIM_VOLUME_A = 50.0;
constexpr double SIM_VOLUME_B = 150.0;

struct sSimInstrumentState {
  std::string szMainVersion;
  std::string szGpibVersion;
  std::string szFpgaVersion;
  // Versions carried by the names of the images received, reported after the restart: a file
  // followed by the script "ainst.fpga" is the FPGA image, one followed by "ainst.gpib" the
  // GPIB image, any other the MAIN image. Empty: unchanged.
  std::string szPendingMainVersion;
  std::string szPendingGpibVersion;
  std::string szPendingFpgaVersion;

  // Channel A measures absolute pressure, channel B gauge pressure.
  cSimChannel channels[2];
  int channel = 0;  // the current channel: 0 for A, 1 for B
  std::string szUnits = "PSI";
  bool bAutorange = false;
  // Values the instrument refused (a setpoint outside the limits); "CERR" clears them.
  int errors = 0;
  // The module the simulator plays or hosts; null when none.
  std::unique_ptr<cSimModule> module;

  explicit sSimInstrumentState(const sSimOptions& options)
      : szMainVersion(options.szMainVersion),
        szGpibVersion(options.szGpibVersion),
        szFpgaVersion(options.szFpgaVersion),
        channels{cSimChannel(false, SIM_VOLUME_A, options.controlTimeConstantMs),
                 cSimChannel(true, SIM_VOLUME_B, options.controlTimeConstantMs)} {
    if (options.module.kind != SIM_MODULE_NONE) {
      const int index = options.module.bHosted ? options.module.hostChannel : 0;
      module.reset(new cSimModule(options.module, channels[index == 1 ? 1 : 0]));
    }
  }

  cSimChannel& Current() { return channels[channel]; }
  double PerPsi() const {
    const sSimUnits* units = FindSimUnits(szUnits);
    return units ? units->perPsi : 1.0;
  }
  void Advance(int64_t nowNs) {
    for (cSimChannel& each : channels) each.Advance(nowNs);
  }
};

}  // namespace sim

#endif
