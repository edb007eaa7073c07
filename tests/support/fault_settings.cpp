#include "support/fault_settings.h"

namespace {

sim::sSimFaults Faults(int nakEvery, int dropAckEvery, bool bGarbage, int delayMs) {
  sim::sSimFaults faults;
  faults.nakEvery = nakEvery;
  faults.dropAckEvery = dropAckEvery;
  faults.bGarbageBeforeAck = bGarbage;
  faults.ackDelayMs = delayMs;
  return faults;
}

// The "A" of the first data packet of every transfer lost after it was stored: the resend is
// recognised as the repeat.
sim::sSimFaults LostAckAfterStore() {
  sim::sSimFaults faults;
  faults.loseAckAfterStore = 1;
  faults.bLoseAckEveryTransfer = true;
  return faults;
}

}  // namespace

const std::vector<sFaultSetting>& RecoverableFaults() {
  using sim::sSimCounts;
  static const std::vector<sFaultSetting> settings = {
      {"none", Faults(0, 0, false, 0), nullptr, false},
      {"nak", Faults(3, 0, false, 0), &sSimCounts::faultNaks, true},
      {"drop", Faults(0, 5, false, 0), &sSimCounts::faultAcksDropped, true},
      {"garbage", Faults(0, 0, true, 0), &sSimCounts::faultGarbageSent, false},
      {"delay", Faults(0, 0, false, 150), &sSimCounts::faultAcksDelayed, false},
      {"combined", Faults(4, 7, true, 30), &sSimCounts::faultAcksDropped, true},
      {"lost_ack", LostAckAfterStore(), &sSimCounts::faultAcksLostAfterStore, true},
  };
  return settings;
}

void PrintTo(const sFaultSetting& setting, std::ostream* os) {
  *os << setting.szName;
}

std::string FaultName(const ::testing::TestParamInfo<sFaultSetting>& info) {
  return info.param.szName;
}
