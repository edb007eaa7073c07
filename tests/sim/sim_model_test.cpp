// The pressure model of a channel and the module's command handling, without a line: time is
// given, so the values are exact.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "sim/sim_channel.h"
#include "sim/sim_module.h"

namespace simtest {
namespace {

constexpr int64_t kSecond = 1000000000;
constexpr double kAtmosphere = sim::SIM_ATMOSPHERE_PSI;

TEST(SimChannel, ControlApproachesTheSetpointAndVentingTheAtmosphere) {
  sim::cSimChannel channel(false, 50.0, 1000);
  channel.Advance(10 * kSecond);
  EXPECT_DOUBLE_EQ(channel.GetPressure(), kAtmosphere);
  EXPECT_TRUE(channel.SetSetpoint(50.0));
  // Measuring only: the pressure holds whatever the setpoint.
  channel.Advance(20 * kSecond);
  EXPECT_DOUBLE_EQ(channel.GetPressure(), kAtmosphere);
  EXPECT_EQ(channel.GetRate(), 0.0);
  EXPECT_TRUE(channel.IsStable());

  channel.SetMode(sim::SIM_MODE_CONTROL);
  EXPECT_FALSE(channel.IsStable());
  EXPECT_DOUBLE_EQ(channel.GetRate(), 50.0 - kAtmosphere);
  // One time constant later the gap has shrunk to 1/e.
  channel.Advance(21 * kSecond);
  const double gap = (50.0 - kAtmosphere) * std::exp(-1.0);
  EXPECT_NEAR(channel.GetPressure(), 50.0 - gap, 1e-9);
  EXPECT_NEAR(channel.GetRate(), gap, 1e-9);
  // Time does not run backwards.
  channel.Advance(20 * kSecond);
  EXPECT_NEAR(channel.GetPressure(), 50.0 - gap, 1e-9);
  channel.Advance(40 * kSecond);
  EXPECT_TRUE(channel.IsStable());
  EXPECT_NEAR(channel.GetPressure(), 50.0, channel.GetStableBand());
  EXPECT_DOUBLE_EQ(channel.GetStableBand(), 0.01);
  EXPECT_NEAR(channel.GetPeakMax(), 50.0, 0.01);
  EXPECT_DOUBLE_EQ(channel.GetPeakMin(), kAtmosphere);

  channel.ResetPeaks();
  channel.SetMode(sim::SIM_MODE_VENT);
  EXPECT_LT(channel.GetRate(), 0.0);
  channel.Advance(60 * kSecond);
  EXPECT_NEAR(channel.GetPressure(), kAtmosphere, 1e-6);
  EXPECT_NEAR(channel.GetPeakMax(), 50.0, 0.01);
  EXPECT_NEAR(channel.GetPeakMin(), kAtmosphere, 1e-6);

  // Defaults: sensor, setpoint and mode, but the pressure stays.
  EXPECT_TRUE(channel.SetSensor('B', 4));
  channel.SetValve(2, 40.0);
  channel.Reset();
  EXPECT_EQ(channel.GetSensor(), 'P');
  EXPECT_EQ(channel.GetTurndown(), 1);
  EXPECT_EQ(channel.GetMode(), sim::SIM_MODE_MEASURE);
  EXPECT_DOUBLE_EQ(channel.GetSetpoint(), kAtmosphere);
  EXPECT_EQ(channel.GetValve(2), 0.0);
}

TEST(SimChannel, RangesLimitsAndGaugeReadings) {
  sim::cSimChannel gauge(true, 150.0, 500);
  EXPECT_DOUBLE_EQ(gauge.GetPressure(), 0.0);
  EXPECT_DOUBLE_EQ(gauge.GetRangeMin(), -kAtmosphere);
  EXPECT_TRUE(gauge.SetSensor('B', 4));
  EXPECT_DOUBLE_EQ(gauge.GetRangeMax(), 1.7);
  EXPECT_FALSE(gauge.SetSensor('X', 1));
  EXPECT_FALSE(gauge.SetSensor('P', 0));
  EXPECT_FALSE(gauge.SetSensor('P', 5));
  EXPECT_EQ(gauge.GetSensor(), 'B');

  // A setpoint is taken within the limits only; gauge setpoints count from the atmosphere.
  ASSERT_TRUE(gauge.SetSensor('P', 1));
  EXPECT_TRUE(gauge.SetSetpoint(-kAtmosphere));
  EXPECT_TRUE(gauge.SetSetpoint(-5.0));
  EXPECT_FALSE(gauge.SetSetpoint(-15.0));
  EXPECT_FALSE(gauge.SetSetpoint(100.5));
  EXPECT_FALSE(gauge.SetSetpoint(NAN));
  EXPECT_DOUBLE_EQ(gauge.GetSetpoint(), -5.0);
  gauge.Advance(0);
  gauge.SetMode(sim::SIM_MODE_CONTROL);
  gauge.Advance(30 * kSecond);
  EXPECT_NEAR(gauge.GetPressure(), -5.0, 1e-9);
}

TEST(SimNumbers, FormatParseAndUnits) {
  EXPECT_EQ(sim::FormatSimNumber(14.6959), " 14.6959");
  EXPECT_EQ(sim::FormatSimNumber(-0.25), "-0.2500");
  EXPECT_EQ(sim::FormatSimNumber(-0.00001), " 0.0000");
  EXPECT_EQ(sim::FormatSimNumber(101325.0), " 101325.0000");

  double value = 0;
  EXPECT_TRUE(sim::ParseSimNumber("100.500000", value));
  EXPECT_DOUBLE_EQ(value, 100.5);
  EXPECT_TRUE(sim::ParseSimNumber("-1.250000e-004", value));
  EXPECT_DOUBLE_EQ(value, -0.000125);
  for (const char* szBad : {"", "abc", "1.5x", "1.5 ", "nan", "inf", "1e999"}) {
    EXPECT_FALSE(sim::ParseSimNumber(szBad, value)) << szBad;
  }

  ASSERT_NE(sim::FindSimUnits("kPa"), nullptr);
  EXPECT_STREQ(sim::FindSimUnits("kPa")->szName, "KPA");
  EXPECT_EQ(sim::FindSimUnits("KP"), nullptr);
  EXPECT_EQ(sim::FindSimUnits("PSIG"), nullptr);
}

// Runs one command; the reply, or "!" and the reason when the module refuses it.
std::string Ask(sim::cSimModule& module, const std::string& szCommand) {
  std::string szReply;
  std::string szViolation;
  if (!module.Handle(szCommand, szReply, szViolation)) return "!" + szViolation;
  return szReply;
}

sim::sSimModuleOptions Kind(sim::eSimModuleKind kind, char address = '0') {
  sim::sSimModuleOptions options;
  options.kind = kind;
  options.address = address;
  return options;
}

TEST(SimModule, RepliesWhereTheProgramReadsThem) {
  sim::cSimChannel channel(false, 50.0, 500);
  sim::cSimModule regulator(Kind(sim::SIM_MODULE_REGULATOR), channel);
  EXPECT_EQ(Ask(regulator, "?"), "0  14.6959");
  // Units apply to the module's readings; setting commands have no reply.
  EXPECT_EQ(Ask(regulator, "U 2"), "");
  EXPECT_EQ(Ask(regulator, "?"), "0  101.3247");
  EXPECT_EQ(Ask(regulator, "IO 1"), "");
  EXPECT_EQ(Ask(regulator, "ID? X")[0], '!');
  EXPECT_EQ(Ask(regulator, "U 5")[0], '!');
  EXPECT_EQ(Ask(regulator, "M")[0], '!');
  EXPECT_EQ(Ask(regulator, "IO 2")[0], '!');
  EXPECT_EQ(Ask(regulator, "XYZ")[0], '!');

  sim::cSimChannel gauge(true, 150.0, 500);
  sim::sSimModuleOptions options = Kind(sim::SIM_MODULE_SENSOR, '2');
  options.szSerial = "99";
  options.szVersion = "3.0";
  sim::cSimModule sensor(options, gauge);
  EXPECT_EQ(Ask(sensor, "ID?"), "0 ID   Halvex,     73 SN:99,VER:3.0");
  // The sign in the sign position, where the program's read of the fifth character finds it.
  EXPECT_EQ(Ask(sensor, "R-?"), "0 R--14.6959");
  // A sensor has no valves and answers at its own address only.
  EXPECT_EQ(Ask(sensor, "SV 0")[0], '!');
  EXPECT_EQ(Ask(sensor, "IO 1")[0], '!');
  EXPECT_TRUE(sensor.AnswersAt('2'));
  EXPECT_FALSE(sensor.AnswersAt('0'));
  EXPECT_FALSE(sensor.AnswersAt('1'));
  sim::cSimModule pump(Kind(sim::SIM_MODULE_PUMP, '3'), channel);
  EXPECT_TRUE(pump.AnswersAt('3'));
  EXPECT_TRUE(pump.AnswersAt('0'));
  EXPECT_TRUE(pump.AnswersAt('1'));
  EXPECT_FALSE(pump.AnswersAt('2'));

  options.szId = "0 ID SOMETHING ELSE";
  sim::cSimModule other(options, gauge);
  EXPECT_EQ(Ask(other, "ID?"), "0 ID SOMETHING ELSE");
}

TEST(SimModule, ValveStatesValveDriveAndCoefficients) {
  sim::cSimChannel channel(false, 50.0, 500);
  sim::cSimModule regulator(Kind(sim::SIM_MODULE_REGULATOR), channel);
  sim::cSimModule pump(Kind(sim::SIM_MODULE_PUMP), channel);
  // Each kind has its own valve state numbers.
  const struct {
    sim::cSimModule* module;
    const char* szCommand;
    sim::eSimMode mode;
  } states[] = {
      {&regulator, "SV 6", sim::SIM_MODE_CONTROL}, {&regulator, "SV 7", sim::SIM_MODE_VENT},
      {&regulator, "SV 4", sim::SIM_MODE_MEASURE}, {&regulator, "SV 0", sim::SIM_MODE_STANDBY},
      {&pump, "SV 9", sim::SIM_MODE_CONTROL},      {&pump, "SV 13", sim::SIM_MODE_VENT},
      {&pump, "SV 1", sim::SIM_MODE_MEASURE}};
  for (const auto& state : states) {
    EXPECT_EQ(Ask(*state.module, state.szCommand), "") << state.szCommand;
    EXPECT_EQ(channel.GetMode(), state.mode) << state.szCommand;
  }
  EXPECT_EQ(Ask(regulator, "SV 9")[0], '!');
  EXPECT_EQ(Ask(pump, "SV 6")[0], '!');
  EXPECT_EQ(Ask(pump, "SV x")[0], '!');

  // Counts for valves 4 to 6 come first; 640 counts make one percent.
  EXPECT_EQ(Ask(regulator, "Y 7D00 0000 0280 FA00 0140 0000"), "");
  EXPECT_EQ(channel.GetMode(), sim::SIM_MODE_MANUAL);
  const double expected[sim::SIM_VALVES] = {100.0, 0.5, 0.0, 50.0, 0.0, 1.0};
  for (int i = 0; i < sim::SIM_VALVES; ++i) EXPECT_DOUBLE_EQ(channel.GetValve(i), expected[i]);
  for (const char* szBad : {"Y 7D00 0000 0000 FA00 0000", "Y 7d00 0000 0000 FA00 0000 0000",
                            "Y 7D00 0000 0000 FA00 0000 00000", "Y 7D00  0000 0000 FA00 0000 0000",
                            "Y 7D00 0000 0000 FA00 0000 0000 0000"}) {
    EXPECT_EQ(Ask(regulator, szBad)[0], '!') << szBad;
  }
  EXPECT_EQ(Ask(regulator, "Q"), "");
  EXPECT_EQ(channel.GetValve(0), 0.0);
  EXPECT_EQ(channel.GetMode(), sim::SIM_MODE_STANDBY);

  // ":{" opens one coefficient line.
  std::string szViolation;
  EXPECT_FALSE(regulator.IsAwaitingCoefficient());
  EXPECT_EQ(Ask(regulator, ":{"), "");
  EXPECT_TRUE(regulator.IsAwaitingCoefficient());
  EXPECT_TRUE(regulator.TakeCoefficientLine("2 1.500000e+000", szViolation));
  EXPECT_FALSE(regulator.IsAwaitingCoefficient());
  EXPECT_DOUBLE_EQ(regulator.GetCoefficient(2), 1.5);
  for (const char* szBad : {"10 1.0", "2", "2 x", "-1 1.0"}) {
    EXPECT_FALSE(regulator.TakeCoefficientLine(szBad, szViolation)) << szBad;
  }
  EXPECT_DOUBLE_EQ(regulator.GetCoefficient(2), 1.5);
  regulator.DefaultCoefficients();
  EXPECT_DOUBLE_EQ(regulator.GetCoefficient(2), 0.05);
  EXPECT_FALSE(regulator.SetCoefficient(10, 1.0));
}

}  // namespace
}  // namespace simtest
