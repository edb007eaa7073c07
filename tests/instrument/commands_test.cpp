// The measurement and control commands: the exact lines on the wire and the decoding of the
// replies, over a real pseudo-terminal; and what an instrument without a channel answers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "instrument_control/halvex_commands.h"
#include "support/pty_peer.h"

namespace {

TEST(InstrumentWithoutChannel, RefusesAndFallsBack) {
  cHalvexControlInstrument instrument;
  EXPECT_FALSE(instrument.Disconnect());
  EXPECT_FALSE(instrument.Reconnect());
  EXPECT_FALSE(instrument.Initialize());
  EXPECT_FALSE(instrument.UpdateVersions());
  EXPECT_STREQ(instrument.GetMainVersion(), "NOT REQ.");
  EXPECT_FALSE(instrument.ClearErrors());
  EXPECT_FALSE(instrument.StartInstaller());
  EXPECT_STREQ(instrument.GetID(), "???");
  EXPECT_FALSE(instrument.Default());
  EXPECT_FALSE(instrument.SetChannel(CHANNEL_B));
  EXPECT_FALSE(instrument.Setpt(1.0f));
  EXPECT_FALSE(instrument.Units("PSI"));
  EXPECT_FALSE(instrument.Vent());

  EXPECT_FALSE(instrument.GetAutorange());
  EXPECT_EQ(instrument.GetPressure(), 0.0f);
  EXPECT_EQ(instrument.GetMaxRange(), 0.0f);
  EXPECT_STREQ(instrument.GetUnits(), " PSI");
  EXPECT_TRUE(instrument.GetStable());
  EXPECT_FALSE(instrument.GetPressureType());
  EXPECT_EQ(instrument.GetChannel(), CHANNEL_A);
  EXPECT_EQ(instrument.GetSensor(), SENSOR_P);
  EXPECT_EQ(instrument.GetTurndown(), TURNDOWN_1);
}

TEST(InstrumentTables, RefuseIndicesOutsideLimits) {
  cHalvexControlInstrument instrument;
  EXPECT_FALSE(instrument.ChannelValid(CHANNEL_B));
  EXPECT_FALSE(instrument.ChannelValid(eChannel(2)));
  EXPECT_FALSE(instrument.SensorValid(eChannel(-1), SENSOR_P));
  EXPECT_FALSE(instrument.TurndownValid(CHANNEL_A, SENSOR_B, eTurndown(4)));
  EXPECT_EQ(instrument.GetMaxRange(CHANNEL_A, eSensor(3), TURNDOWN_1), 0.0f);
  EXPECT_EQ(instrument.GetMinRange(eChannel(100000), SENSOR_P, TURNDOWN_1), 0.0f);
  EXPECT_STREQ(instrument.GetRangeUnits(CHANNEL_B, SENSOR_B, TURNDOWN_4), "");
  EXPECT_STREQ(instrument.GetRangeUnits(CHANNEL_B, SENSOR_B, eTurndown(-1)), "");
}

#ifndef _WIN32

const int PORT = 6;

class CommandsTest : public ::testing::Test {
 protected:
  CommandsTest() {
    peer.StartLines();
    peer.Answer("ID?", "HALVEX,VSR450,1,1.0");
    peer.Answer("VERSIONS?", "MAIN:1.0.0");
  }
  void SetUp() override {
    ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
    ASSERT_TRUE(instrument.IsConnected());
    first = peer.Lines().size();
  }
  // The lines sent since the connection, once `last` has arrived.
  std::vector<std::string> Sent(const std::string& last) {
    EXPECT_TRUE(peer.WaitForLine(last, 1, 2000)) << last;
    return peer.Texts(first);
  }

  cPtyPeer peer{PORT};
  cHalvexControlInstrument instrument;
  size_t first = 0;
};

TEST_F(CommandsTest, CommandLines) {
  EXPECT_TRUE(instrument.Default());
  EXPECT_TRUE(instrument.SetChannel(CHANNEL_B));
  EXPECT_TRUE(instrument.SetChannel(eChannel(5)));
  EXPECT_TRUE(instrument.SetSensor(SENSOR_S, TURNDOWN_3));
  EXPECT_TRUE(instrument.SetSensor(SENSOR_P, TURNDOWN_1));
  EXPECT_TRUE(instrument.SetSensor(eSensor(9), TURNDOWN_4));
  EXPECT_TRUE(instrument.Autorange(true));
  EXPECT_TRUE(instrument.Autorange(false));
  EXPECT_TRUE(instrument.Standby());
  EXPECT_TRUE(instrument.Measure());
  EXPECT_TRUE(instrument.Control());
  EXPECT_TRUE(instrument.Vent());
  EXPECT_TRUE(instrument.Setpt(100.5f));
  EXPECT_TRUE(instrument.Units("KPA"));
  // Caller text that would not fit a line is refused, not cut.
  EXPECT_TRUE(instrument.Units(std::string(247, 'U').c_str()));
  EXPECT_FALSE(instrument.Units(std::string(248, 'U').c_str()));
  EXPECT_TRUE(instrument.ResetPeak());
  EXPECT_EQ(Sent("PEAKRESET"),
            (std::vector<std::string>{"DEFAULT", "CHAN B", "CHAN A", "SENSOR S3", "SENSOR P1",
                                      "SENSOR P4", "AUTORANGE ON", "AUTORANGE OFF", "STANDBY",
                                      "MEASURE", "CONTROL", "VENT", "SETPT 100.500000", "UNITS KPA",
                                      "UNITS " + std::string(247, 'U'), "PEAKRESET"}));
}

TEST_F(CommandsTest, QueryDecoding) {
  peer.AnswerOnce("?", " 14.6959");
  peer.AnswerOnce("?", "-0.25");
  EXPECT_FLOAT_EQ(instrument.GetPressure(), 14.6959f);
  EXPECT_FLOAT_EQ(instrument.GetPressure(), -0.25f);  // the sign's place holds the sign
  peer.Answer("RANGEMAX?", " 1000.0");
  peer.Answer("RANGEMIN?", "-15");
  peer.Answer("UPPERLIMIT?", " 900");
  peer.Answer("LOWERLIMIT?", " 1e-3");
  peer.Answer("VOLUME?", " 12.5");
  peer.Answer("RATE?", "+0.5");
  peer.Answer("SETPT?", " 100.5");
  peer.Answer("PEAKMAX?", " 20");
  peer.Answer("PEAKMIN?", " 2");
  EXPECT_FLOAT_EQ(instrument.GetMaxRange(), 1000.0f);
  EXPECT_FLOAT_EQ(instrument.GetMinRange(), -15.0f);
  EXPECT_FLOAT_EQ(instrument.GetCtrlMax(), 900.0f);
  EXPECT_FLOAT_EQ(instrument.GetCtrlMin(), 0.001f);
  EXPECT_FLOAT_EQ(instrument.GetVolume(), 12.5f);
  EXPECT_FLOAT_EQ(instrument.GetRate(), 0.5f);
  EXPECT_FLOAT_EQ(instrument.GetSetpt(), 100.5f);
  EXPECT_FLOAT_EQ(instrument.GetPeakMax(), 20.0f);
  EXPECT_FLOAT_EQ(instrument.GetPeakMin(), 2.0f);

  peer.AnswerOnce("SENSOR?", "SB2");
  peer.AnswerOnce("SENSOR?", "B1");
  peer.AnswerOnce("SENSOR?", "P2");
  peer.AnswerOnce("SENSOR?", "B1");
  peer.AnswerOnce("SENSOR?", "S4");
  EXPECT_EQ(instrument.GetSensor(), SENSOR_S);
  EXPECT_EQ(instrument.GetSensor(), SENSOR_B);
  EXPECT_EQ(instrument.GetTurndown(), TURNDOWN_2);
  EXPECT_EQ(instrument.GetTurndown(), TURNDOWN_1);
  EXPECT_EQ(instrument.GetTurndown(), TURNDOWN_4);

  peer.Answer("AUTORANGE?", "Y");
  peer.Answer("PTYPE?", "G");
  peer.Answer("CHAN?", "B");
  peer.Answer("STABLE?", "N");
  peer.Answer("UNITS?", " KPA");
  EXPECT_TRUE(instrument.GetAutorange());
  EXPECT_TRUE(instrument.GetPressureType());
  EXPECT_EQ(instrument.GetChannel(), CHANNEL_B);
  EXPECT_FALSE(instrument.GetStable());
  EXPECT_STREQ(instrument.GetUnits(), " KPA");
}

TEST_F(CommandsTest, ShortGarbageAndMissingReplies) {
  // A reply of one NUL byte reads as empty text: the number must not come from the bytes an
  // earlier reply left behind it.
  peer.AnswerOnce("?", " 12345.678");
  EXPECT_FLOAT_EQ(instrument.GetPressure(), 12345.678f);
  peer.SetResponder([](const std::string&) { return std::string("\0\r\n", 3); });
  EXPECT_EQ(instrument.GetPressure(), 0.0f);
  EXPECT_EQ(instrument.GetRate(), 0.0f);
  peer.SetResponder(nullptr);

  peer.AnswerOnce("?", "garbage");
  peer.AnswerOnce("?", "x1e99");
  EXPECT_EQ(instrument.GetPressure(), 0.0f);
  EXPECT_EQ(instrument.GetPressure(), HUGE_VALF);

  // No reply: the fallbacks of a failed read.
  EXPECT_TRUE(instrument.GetStable());
  EXPECT_STREQ(instrument.GetUnits(), " PSI");
}

#endif

}  // namespace
