// The module identification and replies: a module found on a line that delivers the fuzz
// input, directly or behind a host instrument, then asked everything it answers.
#include <cstring>

#include "fuzz/fake_line.h"
#include "fuzz/fuzz_support.h"
#include "instrument_control/halvex_module.h"

namespace {

void RequireTextsFit(const cHalvexModule& module) {
  fuzz::Require(std::strlen(module.GetManufacturer()) < MAX_MANUF_LEN, "maker fits");
  fuzz::Require(std::strlen(module.GetModel()) < MAX_MODEL_LEN, "model fits");
  fuzz::Require(std::strlen(module.GetVersion()) < MAX_VERSION_LEN, "version fits");
}

// Finds the module on the line and asks it what every module answers; true when it was found.
template <class tModule>
bool FindAndAskCommon(tModule& module, eModule kind, unsigned char address) {
  if (!module.Connect(kind, COM1, address)) return false;
  RequireTextsFit(module);
  module.Initialize();
  RequireTextsFit(module);
  module.GetID();
  module.GetMinRange();
  module.GetMaxRange();
  module.GetSensorType();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceNotices();
  if (size < 1) return 0;
  const uint8_t plan = data[0];
  fuzz::SetLineChunk(plan % 2 ? 1 : 4096);
  fuzz::SetLineInput(data + 1, size - 1);
  const unsigned char address = static_cast<unsigned char>('0' + (plan >> 4) % 10);

  if ((plan >> 1) % 3 == 2) {
    cHalvexSensorModule module;
    if (FindAndAskCommon(module, MODULE_PRESSURE_SENSOR, address)) {
      module.UnitsPsi();
      module.GetPsi();
    }
    return 0;
  }
  cHalvexControllerModule module;
  const eModule kind = (plan >> 1) % 3 == 0 ? MODULE_PWM_REGULATOR : MODULE_PRESSURE_PUMP;
  if (FindAndAskCommon(module, kind, address)) {
    module.GetChannel();
    module.GetStable();
    module.GetCoefficient(3);
    module.GetControlDataLabel();
    module.GetControlData();
    module.GetPsi();
  }
  return 0;
}
