// The simulator's line faults that a transfer recovers from, one table for every suite that
// runs a transfer through them (native: the simulator engine):
//   class X : public ::testing::TestWithParam<sFaultSetting> {};
//   INSTANTIATE_TEST_SUITE_P(Faults, X, ::testing::ValuesIn(RecoverableFaults()), FaultName);
//   options.faults = GetParam().faults;
#ifndef HALVEX_TESTS_SUPPORT_FAULT_SETTINGS_H
#define HALVEX_TESTS_SUPPORT_FAULT_SETTINGS_H

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "sim/sim_options.h"
#include "sim/sim_records.h"

struct sFaultSetting {
  const char* szName;
  sim::sSimFaults faults;
  int sim::sSimCounts::*shows;  // the count that shows the fault acted; nullptr for none
  bool bResends;                // the sender has to send packets again
};

// None, each fault alone, and the first four together.
const std::vector<sFaultSetting>& RecoverableFaults();

// Names a case by its setting in test listings.
void PrintTo(const sFaultSetting& setting, std::ostream* os);
std::string FaultName(const ::testing::TestParamInfo<sFaultSetting>& info);

#endif
