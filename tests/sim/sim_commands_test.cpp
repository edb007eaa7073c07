// The measurement and control commands and the module forms over the line: what the
// simulator refuses as a violation, what it refuses as a value, where it routes module lines,
// and the reply hook.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_command_line.h"
#include "sim/sim_engine.h"
#include "support/simulator.h"

namespace {

using SimCommands = cSimulatorTest;

// Sends each line, then asks `query`; its reply.
std::string AfterLines(cPtyPeer& client, const std::vector<std::string>& lines,
                       const std::string& query) {
  for (const std::string& szLine : lines) client.WriteLine(szLine);
  client.WriteLine(query);
  return client.ReadLine(2000);
}

TEST_F(SimCommands, MalformedArgumentsAreViolationsAndLeaveTheStateAlone) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(AfterLines(client, {"UNITS FOO", "UNITS kpa"}, "UNITS?"), " KPA");
  EXPECT_EQ(AfterLines(client, {"CHAN C", "CHAN b"}, "CHAN?"), "A");
  EXPECT_EQ(AfterLines(client, {"SENSOR X1", "SENSOR P5", "SENSOR S"}, "SENSOR?"), "P1");
  EXPECT_EQ(AfterLines(client, {"AUTORANGE MAYBE"}, "AUTORANGE?"), "N");
  EXPECT_EQ(AfterLines(client, {"SETPT abc", "SETPT 1.5kPa"}, "SETPT?"), " 101.3247");
  EXPECT_EQ(AfterLines(client, {"INTERNALCMD #0ID?", "regcoeff? 1"}, "CHAN?"), "A");
  EXPECT_EQ(sim.Records().GetViolations().size(), 11u) << sim.Violations();

  // A value beyond the limits is refused without a violation: the instrument keeps an error
  // for "CERR" to clear.
  const size_t before = sim.Records().GetViolations().size();
  EXPECT_EQ(AfterLines(client, {"UNITS PSI", "SETPT 100.5", "CERR", "SETPT 99.5"}, "SETPT?"),
            " 99.5000");
  EXPECT_EQ(sim.Records().GetViolations().size(), before) << sim.Violations();
}

TEST_F(SimCommands, ChannelsKeepTheirOwnStateAndDefaultRestoresBoth) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(AfterLines(client, {"CHAN B", "SENSOR B2", "SETPT -3.5", "CONTROL"}, "SENSOR?"), "B2");
  EXPECT_EQ(AfterLines(client, {"CHAN A"}, "SETPT?"), " 14.6959");
  EXPECT_EQ(AfterLines(client, {"CHAN B"}, "SETPT?"), "-3.5000");
  EXPECT_EQ(AfterLines(client, {"UNITS BAR", "AUTORANGE ON", "DEFAULT"}, "CHAN?"), "A");
  EXPECT_EQ(AfterLines(client, {}, "UNITS?"), " PSI");
  EXPECT_EQ(AfterLines(client, {}, "AUTORANGE?"), "N");
  EXPECT_EQ(AfterLines(client, {"CHAN B"}, "SENSOR?"), "P1");
  EXPECT_EQ(AfterLines(client, {}, "SETPT?"), " 0.0000");
  EXPECT_EQ(sim.Violations(), "");
}

sim::sSimOptions ModuleOptions(sim::eSimModuleKind kind, bool bHosted, int channel = 0) {
  sim::sSimOptions options;
  options.module.kind = kind;
  options.module.bHosted = bHosted;
  options.module.hostChannel = channel;
  options.module.address = '4';
  return options;
}

TEST_F(SimCommands, ModuleOnItsOwnLineAnswersItsAddressesOnly) {
  ASSERT_TRUE(Start(ModuleOptions(sim::SIM_MODULE_REGULATOR, false)));
  // Lines without an address are left alone: the probe for a host is no fault.
  client.WriteLine("ID?");
  EXPECT_EQ(client.ReadLine(300), "");
  EXPECT_EQ(sim.Violations(), "");

  EXPECT_EQ(AfterLines(client, {}, "#4ID?"), "0 ID Halvex PWM Regulator SN:4711,VER:2.3.1");
  EXPECT_EQ(AfterLines(client, {}, "#1ID?"), "0 ID Halvex PWM Regulator SN:4711,VER:2.3.1");
  EXPECT_EQ(AfterLines(client, {"#0SV 6", "#0:{", "C 3 2.5"}, "#1?"), "0  14.6959");
  // Not its address, no coefficient line after ":{", one without it, instrument commands.
  EXPECT_EQ(AfterLines(client, {"#5ID?", "#0:{", "#0Q", "C 1 2.0", "STANDBY", "#"}, "#0M 3"),
            "0 M 3");
  const std::vector<std::string> violations = sim.Records().GetViolations();
  ASSERT_EQ(violations.size(), 5u) << sim.Violations();
  EXPECT_NE(violations[0].find("#5ID?"), std::string::npos);
  EXPECT_NE(violations[1].find("coefficient line was due"), std::string::npos);
  EXPECT_NE(violations[2].find("without \":{\""), std::string::npos);
  EXPECT_NE(violations[3].find("unknown command \"STANDBY\""), std::string::npos);
}

TEST_F(SimCommands, HostPassesLinesToTheModuleOnItsCurrentChannel) {
  ASSERT_TRUE(Start(ModuleOptions(sim::SIM_MODULE_PUMP, true, 1)));
  EXPECT_EQ(AfterLines(client, {}, "ID?"), "HALVEX, 450,123456,1.0.0");
  // Channel A has no module: queries get the host's error text, commands nothing.
  EXPECT_EQ(AfterLines(client, {"INTERNALCMD #4SV 9"}, "INTERNALCMD #4ID?"), "ERR NO MODULE");
  EXPECT_EQ(AfterLines(client, {"CHAN B"}, "INTERNALCMD #4ID?"),
            "0 ID Halvex PPump SN:4711,VER:2.3.1");
  EXPECT_EQ(AfterLines(client, {}, "INTERNALCMD #7ID?"), "ERR NO MODULE");
  // The module works on the host's channel B: its valve state is the host's mode.
  EXPECT_EQ(AfterLines(client, {"SETPT 20", "INTERNALCMD #0SV 9"}, "STABLE?"), "N");
  EXPECT_EQ(AfterLines(client, {}, "INTERNALCMD #1T?"), "0 T G");

  EXPECT_EQ(AfterLines(client, {"regcoeff 4,-2.5e-1", "regcoeffsave"}, "regcoeff? 4"),
            "-2.500000e-01");
  EXPECT_EQ(AfterLines(client, {"regcoeffdefault"}, "regcoeff? 4"), "0.000000e+00");
  // Valve openings only after RTSTART and within 0 to 100 %; refused values are no violation.
  const std::string szClosed = ",0.0000,0.0000,0.0000,0.0000,0.0000,0.0000";
  const std::string szOpen = ",1.0000,2.0000,3.0000,4.0000,5.0000,6.0000";
  auto endsWith = [](const std::string& szText, const std::string& szEnd) {
    return szText.size() >= szEnd.size() &&
           szText.compare(szText.size() - szEnd.size(), szEnd.size(), szEnd) == 0;
  };
  EXPECT_TRUE(endsWith(AfterLines(client, {"RTPCT 1,2,3,4,5,6"}, "CTRLDATA?"), szClosed));
  EXPECT_TRUE(
      endsWith(AfterLines(client, {"RTSTART", "RTPCT 1,2,3,4,5,101"}, "CTRLDATA?"), szClosed));
  EXPECT_TRUE(endsWith(AfterLines(client, {"RTPCT 1,2,3,4,5,6"}, "CTRLDATA?"), szOpen));
  EXPECT_TRUE(endsWith(AfterLines(client, {"RTSTOP"}, "CTRLDATA?"), szClosed));
  EXPECT_EQ(sim.Violations(), "");

  for (const char* szBad :
       {"INTERNALCMD 0ID?", "INTERNALCMD #0", "module:3 ", "module:x ", "match:ID Halvex PPump ",
        "RTPCT 1,2,3", "regcoeff 10,1", "regcoeff? x"}) {
    client.WriteLine(szBad);
  }
  // The kind named and the text that follows must agree.
  EXPECT_EQ(
      AfterLines(client,
                 {"module:1 ", "match:ID Halvex PPump ", "module:0 ", "match:ID Halvex PPump "},
                 "CHAN?"),
      "B");
  EXPECT_EQ(sim.Records().GetViolations().size(), 9u) << sim.Violations();
}

TEST_F(SimCommands, HostOfASensorHasNoControllerCommands) {
  ASSERT_TRUE(Start(ModuleOptions(sim::SIM_MODULE_SENSOR, true, 0)));
  EXPECT_EQ(AfterLines(client, {}, "INTERNALCMD #4?"), "0  14.6959");
  EXPECT_EQ(AfterLines(client, {"regcoeffsave", "RTSTART", "INTERNALCMD #4SV 0"}, "?"), " 14.6959");
  EXPECT_EQ(sim.Records().GetViolations().size(), 3u) << sim.Violations();
}

TEST_F(SimCommands, ReplyHookReplacesOrWithholdsReplies) {
  sim::sSimOptions options;
  options.faults.replies = {{"?", "OVERRANGE"}, {"CHAN?", ""}};
  ASSERT_TRUE(Start(options));
  EXPECT_EQ(AfterLines(client, {}, "?"), "OVERRANGE");
  EXPECT_EQ(AfterLines(client, {}, "CHAN?"), "");
  // The command still acts; other lines are answered as usual.
  EXPECT_EQ(AfterLines(client, {"CHAN B"}, "PTYPE?"), " G");
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(SimCommands, ModuleOptionsOnTheCommandLine) {
  sim::sSimCommandLine parsed;
  std::string szError;
  const char* host[] = {"sim",     "--pty",       "l",           "--store",
                        "d",       "--host-with", "regulator:B", "--address=7",
                        "--reply", "?=",          "--reply",     "CHAN?=X=Y"};
  ASSERT_TRUE(sim::ParseSimCommandLine(12, host, parsed, szError)) << szError;
  EXPECT_EQ(parsed.options.module.kind, sim::SIM_MODULE_REGULATOR);
  EXPECT_TRUE(parsed.options.module.bHosted);
  EXPECT_EQ(parsed.options.module.hostChannel, 1);
  EXPECT_EQ(parsed.options.module.address, '7');
  EXPECT_EQ(parsed.options.faults.replies["?"], "");
  EXPECT_EQ(parsed.options.faults.replies["CHAN?"], "X=Y");

  const char* direct[] = {"sim", "--pty", "l", "--store", "d", "--module", "sensor"};
  ASSERT_TRUE(sim::ParseSimCommandLine(7, direct, parsed, szError)) << szError;
  EXPECT_EQ(parsed.options.module.kind, sim::SIM_MODULE_SENSOR);
  EXPECT_FALSE(parsed.options.module.bHosted);

  const std::vector<std::vector<const char*>> bad = {
      {"--module", "regulator:A"}, {"--host-with", "pump:C"},
      {"--module", "valve"},       {"--module", "pump", "--host-with", "pump"},
      {"--address", "#"},          {"--address", "12"},
      {"--reply", "=x"},           {"--reply", "x"}};
  for (const std::vector<const char*>& options : bad) {
    std::vector<const char*> argv = {"sim", "--pty", "l", "--store", "d"};
    argv.insert(argv.end(), options.begin(), options.end());
    EXPECT_FALSE(
        sim::ParseSimCommandLine(static_cast<int>(argv.size()), argv.data(), parsed, szError))
        << options[0] << " " << options[1];
  }
}

}  // namespace
