// The module layer against the simulator playing a module on its own line, or a host
// instrument with the module on one of its channels: the search, the identification, and the
// controller and sensor commands, with no protocol violation on record.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "instrument_control/halvex_module.h"
#include "support/notices.h"
#include "support/simulator.h"
#include "support/wait.h"

namespace {

const int PORT = 8;
const float ATMOSPHERE = 14.6959f;
// Stable: within 0.01 % of the span of the default range (-14.6959 to 100 psi on channel B).
const float STABLE_BAND = 0.0116f;

sim::sSimOptions Direct(sim::eSimModuleKind kind, char address) {
  sim::sSimOptions options;
  options.module.kind = kind;
  options.module.address = address;
  return options;
}

sim::sSimOptions Hosting(sim::eSimModuleKind kind, int channel) {
  sim::sSimOptions options;
  options.module.kind = kind;
  options.module.bHosted = true;
  options.module.hostChannel = channel;
  options.controlTimeConstantMs = 100;
  return options;
}

class ModuleSimTest : public ::testing::Test {
 protected:
  cNoticeRecorder notices;
};

TEST_F(ModuleSimTest, RegulatorOnItsOwnLine) {
  cTestSimulator sim(PORT);
  ASSERT_TRUE(sim.Start(Direct(sim::SIM_MODULE_REGULATOR, '0')));
  cHalvexControllerModule regulator;
  ASSERT_TRUE(regulator.Connect(MODULE_PWM_REGULATOR, ePort(PORT), '0'));
  ASSERT_TRUE(regulator.IsConnected());
  EXPECT_FALSE(regulator.IsInternal());
  EXPECT_STREQ(regulator.GetManufacturer(), "Halvex");
  EXPECT_STREQ(regulator.GetModel(), "PWM");
  EXPECT_EQ(regulator.GetSerialNumber(), 4711);
  EXPECT_STREQ(regulator.GetVersion(), "2.3.1");
  EXPECT_TRUE(regulator.Initialize());
  EXPECT_STREQ(regulator.GetVersion(), "2.3.1");

  EXPECT_FLOAT_EQ(regulator.GetPsi(), ATMOSPHERE);
  EXPECT_FLOAT_EQ(regulator.GetMinRange(), 0.0f);
  EXPECT_FLOAT_EQ(regulator.GetMaxRange(), 100.0f);
  EXPECT_EQ(regulator.GetSensorType(), 'A');

  EXPECT_TRUE(regulator.Standby());
  EXPECT_TRUE(regulator.Measure());
  EXPECT_TRUE(regulator.Control());
  EXPECT_TRUE(regulator.Vent());
  EXPECT_TRUE(regulator.UnitsPsi());
  EXPECT_TRUE(regulator.SetCoefficient(2, 1.5f));
  EXPECT_TRUE(regulator.SetValves(100, 0, 0, 50, 0, 0));
  EXPECT_TRUE(regulator.ValvesOff());
  EXPECT_EQ(sim.LinesThrough(0, "#0Q"),
            (std::vector<std::string>{"ID?", "#0ID?", "#0ID?", "#0IO 1", "#0ID?", "#1M 3", "#1?",
                                      "#1R-?", "#1R+?", "#1T?", "#0SV 0", "#0SV 4", "#0SV 6",
                                      "#0SV 7", "#1U 1", "#0:{", "C 2 1.500000e+000",
                                      "#0Y 7D00 0000 0000 FA00 0000 0000", "#0Q"}));
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(ModuleSimTest, PumpFoundBySearchingThePorts) {
  for (int port = 1; port <= 3; ++port) {
    setenv(("HALVEX_COM" + std::to_string(port)).c_str(), "/nonexistent/halvex", 1);
  }
  cTestSimulator sim(4);
  ASSERT_TRUE(sim.Start(Direct(sim::SIM_MODULE_PUMP, '3')));
  cHalvexControllerModule pump;
  ASSERT_TRUE(pump.Connect(MODULE_PRESSURE_PUMP, PORT_NONE, '3'));
  EXPECT_EQ(pump.GetPort(), COM4);
  EXPECT_STREQ(pump.GetModel(), "PPump");
  EXPECT_TRUE(pump.Initialize());
  EXPECT_TRUE(pump.Measure());
  EXPECT_TRUE(pump.Control());
  EXPECT_TRUE(pump.Vent());
  EXPECT_TRUE(pump.Standby());
  EXPECT_FLOAT_EQ(pump.GetPsi(), ATMOSPHERE);
  EXPECT_EQ(sim.Lines(),
            (std::vector<std::string>{"ID?", "#3ID?", "#3ID?", "#3IO 1", "#3ID?", "#1M 3", "#0SV 1",
                                      "#0SV 9", "#0SV 13", "#0SV 0", "#1?"}));
  EXPECT_EQ(sim.Violations(), "");
  for (int port = 1; port <= 3; ++port) unsetenv(("HALVEX_COM" + std::to_string(port)).c_str());
}

TEST_F(ModuleSimTest, SensorOnItsOwnLine) {
  cTestSimulator sim(PORT);
  ASSERT_TRUE(sim.Start(Direct(sim::SIM_MODULE_SENSOR, '1')));
  {
    // A regulator is not found where a sensor answers. (The search keeps the port open, and
    // ports are exclusive: the object goes before the next one opens it.)
    cHalvexControllerModule regulator;
    EXPECT_FALSE(regulator.Connect(MODULE_PWM_REGULATOR, ePort(PORT), '1'));
  }

  cHalvexSensorModule sensor;
  ASSERT_TRUE(sensor.Connect(MODULE_PRESSURE_SENSOR, ePort(PORT), '1'));
  EXPECT_TRUE(sensor.IsConnected());
  EXPECT_EQ(sensor.GetSerialNumber(), 4711);
  EXPECT_STREQ(sensor.GetVersion(), "2.3.1");
  const size_t first = sim.LineCount();
  EXPECT_TRUE(sensor.Initialize());
  EXPECT_TRUE(sensor.UnitsPsi());
  EXPECT_FLOAT_EQ(sensor.GetPsi(), ATMOSPHERE);
  EXPECT_FLOAT_EQ(sensor.GetMaxRange(), 100.0f);
  EXPECT_EQ(sensor.GetSensorType(), 'A');
  EXPECT_EQ(sim.Lines(first),
            (std::vector<std::string>{"#1ID?", "#1M 3", "#1U 1", "#1?", "#1R+?", "#1T?"}));
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(ModuleSimTest, HostSearchesChannelAThenB) {
  cTestSimulator sim(PORT);
  ASSERT_TRUE(sim.Start(Hosting(sim::SIM_MODULE_PUMP, 1)));
  {
    // No regulator on either channel: the host is left on channel A.
    cHalvexControllerModule regulator;
    EXPECT_FALSE(regulator.Connect(MODULE_PWM_REGULATOR, ePort(PORT), '0'));
    EXPECT_EQ(sim.LinesThrough(0, "CHAN A"),
              (std::vector<std::string>{"ID?", "CHAN A", "INTERNALCMD #0ID?", "module:0 ",
                                        "match:ID Halvex PWM Regulator ", "CHAN B",
                                        "INTERNALCMD #0ID?", "CERR", "CHAN A"}));
  }

  const size_t first = sim.LineCount();
  cHalvexControllerModule pump;
  ASSERT_TRUE(pump.Connect(MODULE_PRESSURE_PUMP, ePort(PORT), '0'));
  EXPECT_TRUE(pump.IsInternal());
  EXPECT_FALSE(pump.IsOnChannelA());
  EXPECT_TRUE(pump.IsOnChannelB());
  EXPECT_EQ(pump.GetSerialNumber(), 4711);
  EXPECT_EQ(pump.GetChannel(), CHANNEL_B);
  EXPECT_EQ(sim.Lines(first),
            (std::vector<std::string>{"ID?", "CHAN A", "INTERNALCMD #0ID?", "module:1 ",
                                      "match:ID Halvex PPump ", "CHAN B", "INTERNALCMD #0ID?",
                                      "CERR", "INTERNALCMD #0ID?", "CHAN?"}));
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(ModuleSimTest, RegulatorThroughItsHost) {
  cTestSimulator sim(PORT);
  ASSERT_TRUE(sim.Start(Hosting(sim::SIM_MODULE_REGULATOR, 1)));
  cHalvexControllerModule regulator;
  ASSERT_TRUE(regulator.Connect(MODULE_PWM_REGULATOR, ePort(PORT), '0'));
  ASSERT_TRUE(regulator.IsOnChannelB());
  EXPECT_STREQ(regulator.GetModel(), "PWM");
  const size_t first = sim.LineCount();

  // Channel B of the host measures gauge pressure, down to vacuum.
  EXPECT_EQ(regulator.GetSensorType(), 'G');
  EXPECT_FLOAT_EQ(regulator.GetMaxRange(), 100.0f);
  EXPECT_FLOAT_EQ(regulator.GetMinRange(), -ATMOSPHERE);
  EXPECT_FLOAT_EQ(regulator.GetPsi(), 0.0f);

  EXPECT_TRUE(regulator.UnitsPsi());
  EXPECT_TRUE(regulator.Setpt(40.0f));
  EXPECT_TRUE(regulator.Control());
  EXPECT_TRUE(WaitFor([&] { return regulator.GetStable(); }, 5000));
  EXPECT_NEAR(regulator.GetPsi(), 40.0f, STABLE_BAND);

  EXPECT_TRUE(regulator.SetCoefficient(1, -0.000125f));
  EXPECT_FLOAT_EQ(regulator.GetCoefficient(1), -0.000125f);
  EXPECT_TRUE(regulator.DefaultCoefficients());
  EXPECT_FLOAT_EQ(regulator.GetCoefficient(1), 0.5f);
  EXPECT_TRUE(regulator.SaveCoefficients());

  EXPECT_TRUE(regulator.SetValves(1, 2, 3, 4, 5, 6));
  EXPECT_STREQ(regulator.GetControlDataLabel(),
               "PRESSURE,SETPOINT,RATE,VALVE1,VALVE2,VALVE3,VALVE4,VALVE5,VALVE6");
  const std::string szData = regulator.GetControlData();
  EXPECT_NE(szData.find(",40.0000,"), std::string::npos) << szData;
  EXPECT_NE(szData.find(",1.0000,2.0000,3.0000,4.0000,5.0000,6.0000"), std::string::npos) << szData;
  EXPECT_TRUE(regulator.ValvesOff());
  EXPECT_TRUE(regulator.Vent());
  EXPECT_TRUE(WaitFor([&] { return regulator.GetStable(); }, 5000));
  EXPECT_NEAR(regulator.GetPsi(), 0.0f, STABLE_BAND);
  EXPECT_TRUE(regulator.Measure());
  EXPECT_TRUE(regulator.Standby());
  EXPECT_TRUE(regulator.SetChannel(CHANNEL_A));
  EXPECT_EQ(regulator.GetChannel(), CHANNEL_A);

  // The polls while the pressure settles vary in number; the rest is exact.
  std::vector<std::string> lines;
  for (const std::string& szLine : sim.Lines(first)) {
    if (szLine != "STABLE?" && szLine != "?") lines.push_back(szLine);
  }
  EXPECT_EQ(lines,
            (std::vector<std::string>{"PTYPE?",
                                      "RANGEMAX?",
                                      "RANGEMIN?",
                                      "UNITS PSI",
                                      "SETPT 40.000000",
                                      "CONTROL",
                                      "regcoeff 1,-1.250000e-004",
                                      "regcoeff? 1",
                                      "regcoeffdefault",
                                      "regcoeff? 1",
                                      "regcoeffsave",
                                      "RTSTART",
                                      "RTPCT 1.000000,2.000000,3.000000,4.000000,5.000000,6.000000",
                                      "CTRLDATALAB?",
                                      "CTRLDATA?",
                                      "RTSTOP",
                                      "VENT",
                                      "MEASURE",
                                      "STANDBY",
                                      "CHAN A",
                                      "CHAN?"}));
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(ModuleSimTest, SensorThroughItsHost) {
  cTestSimulator sim(PORT);
  ASSERT_TRUE(sim.Start(Hosting(sim::SIM_MODULE_SENSOR, 0)));
  cHalvexSensorModule sensor;
  ASSERT_TRUE(sensor.Connect(MODULE_PRESSURE_SENSOR, ePort(PORT), '0'));
  EXPECT_TRUE(sensor.IsOnChannelA());
  EXPECT_EQ(sensor.GetSerialNumber(), 4711);
  EXPECT_TRUE(sensor.Initialize());
  EXPECT_TRUE(sensor.UnitsPsi());
  EXPECT_FLOAT_EQ(sensor.GetPsi(), ATMOSPHERE);
  EXPECT_EQ(sim.Lines(),
            (std::vector<std::string>{"ID?", "CHAN A", "INTERNALCMD #0ID?", "module:2 ",
                                      "match:ID   Halvex,     73 ", "CERR", "INTERNALCMD #0ID?",
                                      "CERR", "INTERNALCMD #0ID?", "UNITS PSI", "?"}));
  EXPECT_EQ(sim.Violations(), "");
}

}  // namespace

#endif
