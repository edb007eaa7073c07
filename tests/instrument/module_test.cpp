// The module layer: search on a host instrument's channels and on a direct line, the
// identification parse, and the host and direct forms of the commands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "instrument_control/halvex_module.h"
#include "support/notices.h"
#include "support/pty_peer.h"

namespace {

TEST(ModuleWithoutConnection, RefusesAndFallsBack) {
  cHalvexControllerModule controller;
  EXPECT_FALSE(controller.Send("ID?", false, OWN_ADDRESS));
  EXPECT_STREQ(controller.GetID(), "0 ID NOT CONNECTED");
  EXPECT_FLOAT_EQ(controller.GetMinRange(), 1.0f);
  EXPECT_FLOAT_EQ(controller.GetMaxRange(), 1.0f);
  EXPECT_EQ(controller.GetSensorType(), '?');
  EXPECT_FALSE(controller.Initialize());
  EXPECT_FALSE(controller.ClearErrors());
  EXPECT_FALSE(controller.Standby());
  EXPECT_FALSE(controller.SetValves(1, 2, 3, 4, 5, 6));
  EXPECT_EQ(controller.GetPsi(), 0.0f);
  EXPECT_STREQ(controller.GetControlData(), "0 ID NOT CONNECTED");  // left as it was
  // The wrong kind of module, or none, is refused without touching a port.
  EXPECT_FALSE(controller.Connect(MODULE_PRESSURE_SENSOR, COM16, '0'));
  EXPECT_FALSE(controller.Connect(eModule(7), COM16, '0'));
  cHalvexSensorModule sensor;
  EXPECT_FALSE(sensor.Connect(MODULE_PWM_REGULATOR, COM16, '0'));
  EXPECT_FALSE(sensor.UnitsPsi());
  EXPECT_EQ(sensor.GetPsi(), 0.0f);
}

#ifndef _WIN32

const char* const REGULATOR_ID = "0 ID Halvex PWM Regulator SN:1234, VER:1.07";

class ModuleTest : public ::testing::Test {
 protected:
  ModuleTest() { peer.StartLines(); }

  // The lines received from index `first` on, once `last` has arrived.
  std::vector<std::string> Sent(size_t first, const std::string& last) {
    EXPECT_TRUE(peer.WaitForLine(last, 1, 2000)) << last;
    return peer.Texts(first);
  }

  cNoticeRecorder notices;
  cPtyPeer peer{5};
};

TEST_F(ModuleTest, DirectRegulator) {
  peer.Answer("ID?", "?");
  peer.Answer("#0ID?", REGULATOR_ID);
  peer.Answer("#1M 3", "OK");
  cHalvexControllerModule regulator;
  ASSERT_TRUE(regulator.Connect(MODULE_PWM_REGULATOR, COM5, '0'));
  ASSERT_TRUE(regulator.IsConnected());
  EXPECT_FALSE(regulator.IsInternal());
  EXPECT_EQ(regulator.GetPort(), COM5);
  EXPECT_STREQ(regulator.GetManufacturer(), "Halvex");
  EXPECT_STREQ(regulator.GetModel(), "PWM");
  EXPECT_EQ(regulator.GetSerialNumber(), 1234);
  EXPECT_STREQ(regulator.GetVersion(), "1.07");
  EXPECT_TRUE(regulator.Initialize());

  const size_t first = peer.Lines().size();
  EXPECT_TRUE(regulator.Standby());
  EXPECT_TRUE(regulator.Measure());
  EXPECT_TRUE(regulator.Control());
  EXPECT_TRUE(regulator.Vent());
  EXPECT_TRUE(regulator.UnitsPsi());
  EXPECT_TRUE(regulator.SetCoefficient(2, 1.5f));
  EXPECT_TRUE(regulator.SetValves(100, 0, 0, 50, 0, 0));
  // Openings outside what the module takes are kept within 0 to 0xFFFF.
  EXPECT_TRUE(regulator.SetValves(-5, 1e9f, NAN, 1, 0.5f, 102.5f));
  EXPECT_TRUE(regulator.ValvesOff());
  EXPECT_FALSE(regulator.SetChannel(CHANNEL_B));
  EXPECT_FALSE(regulator.Setpt(1.0f));
  EXPECT_FALSE(regulator.DefaultCoefficients());
  EXPECT_FALSE(regulator.SaveCoefficients());
  EXPECT_FALSE(regulator.GetStable());
  EXPECT_EQ(regulator.GetCoefficient(1), 0.0f);
  EXPECT_STREQ(regulator.GetControlData(), "NOT AVAILABLE");
  EXPECT_EQ(Sent(first, "#0Q"),
            (std::vector<std::string>{"#0SV 0", "#0SV 4", "#0SV 6", "#0SV 7", "#1U 1", "#0:{",
                                      "C 2 1.500000e+000", "#0Y 7D00 0000 0000 FA00 0000 0000",
                                      "#0Y 0280 0140 FFFF 0000 FFFF 0000", "#0Q"}));

  // Values come from their place in the reply, never from behind its end.
  peer.AnswerOnce("#1?", "P 14.5");
  peer.AnswerOnce("#1?", "P");
  peer.AnswerOnce("#1R-?", "R-? 2.5");
  peer.AnswerOnce("#1R-?", "R-?");
  peer.AnswerOnce("#1T?", "1T? G");
  peer.AnswerOnce("#1T?", "1T?");
  EXPECT_FLOAT_EQ(regulator.GetPsi(), 14.5f);
  EXPECT_EQ(regulator.GetPsi(), 0.0f);
  EXPECT_FLOAT_EQ(regulator.GetMinRange(), 2.5f);
  EXPECT_FLOAT_EQ(regulator.GetMinRange(), 1.0f);
  EXPECT_EQ(regulator.GetSensorType(), 'G');
  EXPECT_EQ(regulator.GetSensorType(), '?');
}

TEST_F(ModuleTest, DirectPumpAndSearchOverPorts) {
  setenv("HALVEX_COM1", "/nonexistent/halvex-1", 1);
  setenv("HALVEX_COM2", "/nonexistent/halvex-2", 1);
  setenv("HALVEX_COM3", "/nonexistent/halvex-3", 1);
  cPtyPeer port4(4);
  port4.StartLines();
  port4.Answer("ID?", "?");
  port4.Answer("#3ID?", "0 ID Halvex PPump SN:77, VER:2.1");
  cHalvexControllerModule pump;
  ASSERT_TRUE(pump.Connect(MODULE_PRESSURE_PUMP, PORT_NONE, '3'));
  EXPECT_EQ(pump.GetPort(), COM4);
  EXPECT_EQ(pump.GetSerialNumber(), 77);
  const size_t first = port4.Lines().size();
  EXPECT_TRUE(pump.Measure());
  EXPECT_TRUE(pump.Control());
  EXPECT_TRUE(pump.Vent());
  ASSERT_TRUE(port4.WaitForLine("#0SV 13", 1, 2000));
  EXPECT_EQ(port4.Texts(first), (std::vector<std::string>{"#0SV 1", "#0SV 9", "#0SV 13"}));
}

// A host instrument with the module on channel B.
void ActAsHost(cPtyPeer& peer, const std::string& channelBReply) {
  auto channel = std::make_shared<char>('A');
  peer.SetResponder([channel, channelBReply](const std::string& line) -> std::string {
    if (line == "ID?") return "HALVEX, 450,1,1.0\r\n";
    if (line == "CHAN A" || line == "CHAN B") *channel = line[5];
    if (line == "INTERNALCMD #0ID?") {
      return (*channel == 'B' ? channelBReply : std::string("0 ERR")) + "\r\n";
    }
    return "";
  });
}

TEST_F(ModuleTest, RegulatorBehindHost) {
  ActAsHost(peer, REGULATOR_ID);
  cHalvexControllerModule regulator;
  ASSERT_TRUE(regulator.Connect(MODULE_PWM_REGULATOR, COM5, '0'));
  EXPECT_TRUE(regulator.IsConnected());
  EXPECT_TRUE(regulator.IsInternal());
  EXPECT_FALSE(regulator.IsOnChannelA());
  EXPECT_TRUE(regulator.IsOnChannelB());
  EXPECT_EQ(regulator.GetSerialNumber(), 1234);
  EXPECT_EQ(peer.Texts(),
            (std::vector<std::string>{"ID?", "CHAN A", "INTERNALCMD #0ID?", "module:0 ",
                                      "match:ID Halvex PWM Regulator ", "CHAN B",
                                      "INTERNALCMD #0ID?", "CERR", "INTERNALCMD #0ID?"}));

  const size_t first = peer.Lines().size();
  EXPECT_TRUE(regulator.Standby());
  EXPECT_TRUE(regulator.SetChannel(CHANNEL_B));
  EXPECT_TRUE(regulator.Setpt(2.5f));
  EXPECT_TRUE(regulator.SetCoefficient(1, -0.000125f));
  EXPECT_TRUE(regulator.SetValves(1, 2, 3, 4, 5, 6));
  EXPECT_TRUE(regulator.DefaultCoefficients());
  EXPECT_TRUE(regulator.SaveCoefficients());
  EXPECT_TRUE(regulator.ValvesOff());
  // Caller text that would not fit the host's line is refused, not cut.
  EXPECT_TRUE(regulator.Send(std::string(239, 'x').c_str(), false, OWN_ADDRESS));
  EXPECT_FALSE(regulator.Send(std::string(240, 'x').c_str(), false, OWN_ADDRESS));
  EXPECT_FALSE(regulator.SetValves(3e38f, 3e38f, 3e38f, 3e38f, 3e38f, 3e38f));
  EXPECT_EQ(Sent(first, "INTERNALCMD #0" + std::string(239, 'x')),
            (std::vector<std::string>{
                "STANDBY", "CHAN B", "SETPT 2.500000", "regcoeff 1,-1.250000e-004", "RTSTART",
                "RTPCT 1.000000,2.000000,3.000000,4.000000,5.000000,6.000000", "regcoeffdefault",
                "regcoeffsave", "RTSTOP", "INTERNALCMD #0" + std::string(239, 'x')}));

  peer.Answer("STABLE?", "Y");
  peer.Answer("regcoeff? 1", "0.5");
  peer.Answer("CTRLDATALAB?", "P,SP");
  peer.Answer("?", " 14.7");
  peer.Answer("RANGEMAX?", " 300");
  peer.Answer("PTYPE?", " G");
  peer.Answer("CHAN?", "B");
  EXPECT_TRUE(regulator.GetStable());
  EXPECT_FLOAT_EQ(regulator.GetCoefficient(1), 0.5f);
  EXPECT_STREQ(regulator.GetControlDataLabel(), "P,SP");
  EXPECT_FLOAT_EQ(regulator.GetPsi(), 14.7f);
  EXPECT_FLOAT_EQ(regulator.GetMaxRange(), 300.0f);
  EXPECT_EQ(regulator.GetSensorType(), 'G');
  EXPECT_EQ(regulator.GetChannel(), CHANNEL_B);
}

TEST_F(ModuleTest, SensorMissingFromHostAndMalformedIdentification) {
  {
    ActAsHost(peer, "0 ERR");
    cHalvexSensorModule sensor;
    EXPECT_FALSE(sensor.Connect(MODULE_PRESSURE_SENSOR, COM5, '0'));
    ASSERT_TRUE(peer.WaitForLine("CHAN A", 2, 2000));
    EXPECT_EQ(peer.Texts(),
              (std::vector<std::string>{"ID?", "CHAN A", "INTERNALCMD #0ID?", "module:2 ",
                                        "match:ID   Halvex,     73 ", "CHAN B", "INTERNALCMD #0ID?",
                                        "CERR", "CHAN A"}));

    // Found, but the identification has no "SN": the sensor counts as connected all the same.
    ActAsHost(peer, "0 ID   Halvex,     73");
    EXPECT_TRUE(sensor.Connect(MODULE_PRESSURE_SENSOR, COM5, '0'));
    EXPECT_TRUE(sensor.IsConnected());
    EXPECT_EQ(sensor.GetSerialNumber(), 0);
    EXPECT_STREQ(sensor.GetVersion(), "0.0.0");
  }
  // "SN" and "VER" at the very end of the reply: defaults, nothing read behind the end.
  cHalvexControllerModule regulator;
  ActAsHost(peer, "0 ID Halvex PWM Regulator xSN");
  EXPECT_TRUE(regulator.Connect(MODULE_PWM_REGULATOR, COM5, '0'));
  EXPECT_EQ(regulator.GetSerialNumber(), 0);
  ActAsHost(peer, "0 ID Halvex PWM Regulator SN:5, VER");
  EXPECT_TRUE(regulator.Connect(MODULE_PWM_REGULATOR, COM5, '0'));
  EXPECT_EQ(regulator.GetSerialNumber(), 5);
  EXPECT_STREQ(regulator.GetVersion(), "0.0.0");
}

TEST_F(ModuleTest, DirectSensor) {
  peer.Answer("ID?", "?");
  peer.Answer("#2ID?", "0 ID   Halvex,     73 SN:9, VER:3.0");
  peer.Answer("#2M 3", "OK");
  peer.Answer("#2?", "0 14.1");
  cHalvexSensorModule sensor;
  ASSERT_TRUE(sensor.Connect(MODULE_PRESSURE_SENSOR, COM5, '2'));
  EXPECT_TRUE(sensor.Initialize());
  const size_t first = peer.Lines().size();
  EXPECT_TRUE(sensor.UnitsPsi());
  EXPECT_FLOAT_EQ(sensor.GetPsi(), 14.1f);
  EXPECT_EQ(peer.Texts(first), (std::vector<std::string>{"#2U 1", "#2?"}));
}

#endif

}  // namespace
