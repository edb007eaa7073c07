// The measurement and control commands against the instrument simulator: the exact lines it
// received, the state they changed as the queries read it back, the pressure under control,
// and replies that are missing or garbled, with no protocol violation on record.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "instrument_control/halvex_commands.h"
#include "support/simulator.h"
#include "support/wait.h"

namespace {

const int PORT = 7;
const float ATMOSPHERE = 14.6959f;
const float KPA_PER_PSI = 6.894757f;
// Stable: within 0.01 % of the span of the range (0 to 100 psi on channel A).
const float STABLE_BAND = 0.0101f;

class InstrumentSimTest : public ::testing::Test {
 protected:
  explicit InstrumentSimTest(sim::sSimOptions optionsIn = Options()) : options(optionsIn) {}

  static sim::sSimOptions Options() {
    sim::sSimOptions options;
    options.controlTimeConstantMs = 100;
    return options;
  }

  void SetUp() override {
    ASSERT_TRUE(sim.Start(options));
    ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
    ASSERT_TRUE(instrument.IsConnected());
    first = sim.LineCount();
  }

  void TearDown() override { EXPECT_EQ(sim.Violations(), ""); }

  const sim::sSimOptions options;
  cTestSimulator sim{PORT};
  cHalvexControlInstrument instrument;
  size_t first = 0;
};

TEST_F(InstrumentSimTest, CommandsReachTheInstrumentAndChangeItsState) {
  EXPECT_EQ(instrument.GetChannel(), CHANNEL_A);
  EXPECT_EQ(instrument.GetSensor(), SENSOR_P);
  EXPECT_EQ(instrument.GetTurndown(), TURNDOWN_1);
  EXPECT_STREQ(instrument.GetUnits(), " PSI");
  EXPECT_FALSE(instrument.GetPressureType());  // channel A measures absolute pressure
  EXPECT_FLOAT_EQ(instrument.GetPressure(), ATMOSPHERE);
  EXPECT_FLOAT_EQ(instrument.GetMaxRange(), 100.0f);
  EXPECT_FLOAT_EQ(instrument.GetMinRange(), 0.0f);
  EXPECT_FLOAT_EQ(instrument.GetVolume(), 50.0f);

  // Channel B, a gauge channel, with its own sensor; its range reaches down to vacuum.
  EXPECT_TRUE(instrument.SetChannel(CHANNEL_B));
  EXPECT_TRUE(instrument.SetSensor(SENSOR_S, TURNDOWN_3));
  EXPECT_EQ(instrument.GetChannel(), CHANNEL_B);
  EXPECT_EQ(instrument.GetSensor(), SENSOR_S);
  EXPECT_EQ(instrument.GetTurndown(), TURNDOWN_3);
  EXPECT_TRUE(instrument.GetPressureType());
  EXPECT_FLOAT_EQ(instrument.GetPressure(), 0.0f);
  EXPECT_FLOAT_EQ(instrument.GetMaxRange(), 7.5f);
  EXPECT_FLOAT_EQ(instrument.GetMinRange(), -ATMOSPHERE);
  EXPECT_FLOAT_EQ(instrument.GetCtrlMax(), 7.5f);
  EXPECT_FLOAT_EQ(instrument.GetCtrlMin(), -ATMOSPHERE);
  EXPECT_FLOAT_EQ(instrument.GetVolume(), 150.0f);

  // Units apply to every reading and to the setpoint given.
  EXPECT_TRUE(instrument.Units("KPA"));
  EXPECT_STREQ(instrument.GetUnits(), " KPA");
  EXPECT_NEAR(instrument.GetMaxRange(), 7.5f * KPA_PER_PSI, 1e-3f);
  EXPECT_TRUE(instrument.Setpt(-20.0f));
  EXPECT_FLOAT_EQ(instrument.GetSetpt(), -20.0f);

  EXPECT_TRUE(instrument.Autorange(true));
  EXPECT_TRUE(instrument.GetAutorange());
  EXPECT_TRUE(instrument.Autorange(false));
  EXPECT_FALSE(instrument.GetAutorange());

  // Channel A kept its own sensor and setpoint.
  EXPECT_TRUE(instrument.SetChannel(eChannel(5)));
  EXPECT_EQ(instrument.GetChannel(), CHANNEL_A);
  EXPECT_EQ(instrument.GetSensor(), SENSOR_P);
  EXPECT_NEAR(instrument.GetSetpt(), ATMOSPHERE * KPA_PER_PSI, 1e-3f);

  EXPECT_TRUE(instrument.Standby());
  EXPECT_TRUE(instrument.Measure());
  EXPECT_TRUE(instrument.ResetPeak());
  EXPECT_TRUE(instrument.Default());
  EXPECT_STREQ(instrument.GetUnits(), " PSI");

  EXPECT_EQ(sim.Lines(first),
            (std::vector<std::string>{
                "CHAN?",     "SENSOR?",      "SENSOR?",    "UNITS?",        "PTYPE?",
                "?",         "RANGEMAX?",    "RANGEMIN?",  "VOLUME?",       "CHAN B",
                "SENSOR S3", "CHAN?",        "SENSOR?",    "SENSOR?",       "PTYPE?",
                "?",         "RANGEMAX?",    "RANGEMIN?",  "UPPERLIMIT?",   "LOWERLIMIT?",
                "VOLUME?",   "UNITS KPA",    "UNITS?",     "RANGEMAX?",     "SETPT -20.000000",
                "SETPT?",    "AUTORANGE ON", "AUTORANGE?", "AUTORANGE OFF", "AUTORANGE?",
                "CHAN A",    "CHAN?",        "SENSOR?",    "SETPT?",        "STANDBY",
                "MEASURE",   "PEAKRESET",    "DEFAULT",    "UNITS?"}));
}

TEST_F(InstrumentSimTest, ControlTakesThePressureToTheSetpointAndVentingBack) {
  EXPECT_FLOAT_EQ(instrument.GetCtrlMax(), 100.0f);
  EXPECT_TRUE(instrument.Setpt(50.0f));
  EXPECT_TRUE(instrument.Control());
  EXPECT_FALSE(instrument.GetStable());
  EXPECT_GT(instrument.GetRate(), 0.0f);
  EXPECT_TRUE(WaitFor([&] { return instrument.GetStable(); }, 5000));
  EXPECT_NEAR(instrument.GetPressure(), 50.0f, STABLE_BAND);
  EXPECT_NEAR(instrument.GetRate(), 0.0f, 0.1f);
  EXPECT_NEAR(instrument.GetPeakMax(), 50.0f, STABLE_BAND);
  EXPECT_FLOAT_EQ(instrument.GetPeakMin(), ATMOSPHERE);
  EXPECT_TRUE(instrument.ResetPeak());
  EXPECT_NEAR(instrument.GetPeakMin(), 50.0f, STABLE_BAND);

  // A setpoint beyond the control limits is refused; the one before stays.
  EXPECT_TRUE(instrument.Setpt(500.0f));
  EXPECT_FLOAT_EQ(instrument.GetSetpt(), 50.0f);

  // Venting: the pressure falls back to the atmosphere, at a negative rate.
  EXPECT_TRUE(instrument.Vent());
  EXPECT_LT(instrument.GetRate(), 0.0f);
  EXPECT_TRUE(WaitFor([&] { return instrument.GetStable(); }, 5000));
  EXPECT_NEAR(instrument.GetPressure(), ATMOSPHERE, STABLE_BAND);
  EXPECT_NEAR(instrument.GetPeakMin(), ATMOSPHERE, STABLE_BAND);
  EXPECT_NEAR(instrument.GetPeakMax(), 50.0f, STABLE_BAND);
}

class InstrumentSimFaultTest : public InstrumentSimTest {
 protected:
  InstrumentSimFaultTest() : InstrumentSimTest(Faulty()) {}
  static sim::sSimOptions Faulty() {
    sim::sSimOptions options = Options();
    options.faults.replies = {{"STABLE?", ""}, {"?", "OVERRANGE"}, {"PEAKMAX?", "-"}};
    return options;
  }
};

TEST_F(InstrumentSimFaultTest, MissingAndGarbledRepliesFallBackWithoutShiftingTheNext) {
  EXPECT_TRUE(instrument.Setpt(30.0f));
  EXPECT_TRUE(instrument.Control());
  // No reply: counts as stable, and the next query still gets its own reply.
  EXPECT_TRUE(instrument.GetStable());
  EXPECT_FLOAT_EQ(instrument.GetSetpt(), 30.0f);
  // Text where a number belongs, and a sign without one, read as 0.
  EXPECT_EQ(instrument.GetPressure(), 0.0f);
  EXPECT_EQ(instrument.GetPeakMax(), 0.0f);
  EXPECT_FLOAT_EQ(instrument.GetMaxRange(), 100.0f);
}

}  // namespace

#endif
