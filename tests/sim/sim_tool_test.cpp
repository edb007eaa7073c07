// The halvex-sim tool as a separate process, its option grammar and the version-from-name rule.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "sim/sim_command_line.h"
#include "sim/sim_version.h"
#include "support/process.h"
#include "support/pty_peer.h"
#include "support/simulator.h"
#include "support/temp_folder.h"

namespace {

TEST(SimTool, ServesAtItsLinkAndRemovesItOnSigterm) {
  cTestSimulator sim;
  const std::string szLog = sim.GetFolder() + "/log";
  ASSERT_TRUE(sim.StartTool(HALVEX_SIM_TOOL, {"--serial=777", "--log", szLog}));
  {
    cPtyPeer client;
    ASSERT_TRUE(client.OpenTty(sim.GetPath(), 57600));
    client.WriteLine("ID?");
    EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR450,777,1.0.0");
  }
  EXPECT_EQ(sim.Stop(), 0) << "SIGTERM ends it normally";
  struct stat info;
  EXPECT_NE(lstat(sim.GetPath().c_str(), &info), 0) << "the link is gone";
  EXPECT_NE(ReadWholeFile(szLog).find("< ID?"), std::string::npos);
}

TEST(SimTool, HelpListsEveryOptionAndBadOptionsFail) {
  const stProcessResult help = RunProcess({HALVEX_SIM_TOOL, "--help"}, {}, "", 10000);
  EXPECT_EQ(help.exitStatus, 0);
  const std::string& szHelp = help.out;
  for (const char* szOption : {"--pty",
                               "--store",
                               "--model",
                               "--serial",
                               "--id",
                               "--main-version",
                               "--gpib-version",
                               "--fpga-version",
                               "--installer-start-ms",
                               "--boot-ms",
                               "--log",
                               "--line-rate",
                               "--baud",
                               "--signed-checksums",
                               "--nak-every",
                               "--drop-ack-every",
                               "--garbage-before-ack",
                               "--ack-delay-ms",
                               "--never-start-installer",
                               "--never-reboot",
                               "--hangup-after-bytes",
                               "--unplug-after-bytes",
                               "--replug-after-ms",
                               "--lose-ack-after-store",
                               "--unplug-before-ack",
                               "--lose-ack-every-transfer",
                               "--store-repeats",
                               "--control-time-constant-ms",
                               "--module",
                               "--host-with",
                               "--address",
                               "--module-serial",
                               "--module-version",
                               "--module-id",
                               "--reply"}) {
    EXPECT_NE(szHelp.find(std::string(szOption) + " "), std::string::npos) << szOption;
  }
  EXPECT_EQ(RunProcess({HALVEX_SIM_TOOL, "--pty", "x", "--store", "y", "--bogus"}, {}, "", 10000)
                .exitStatus,
            2);

  sim::sSimCommandLine parsed;
  std::string szError;
  const char* good[] = {"sim",  "--pty",       "l", "--store=d",      "--baud",
                        "9600", "--nak-every", "3", "--never-reboot", "--line-rate=19200"};
  ASSERT_TRUE(sim::ParseSimCommandLine(10, good, parsed, szError)) << szError;
  EXPECT_EQ(parsed.options.interpreterBaud, 9600u);
  EXPECT_EQ(parsed.options.faults.nakEvery, 3);
  EXPECT_TRUE(parsed.options.faults.bNeverReboot);
  EXPECT_EQ(parsed.options.lineRate, 19200u);
  const char* badBaud[] = {"sim", "--pty", "l", "--store", "d", "--baud", "12345"};
  EXPECT_FALSE(sim::ParseSimCommandLine(7, badBaud, parsed, szError));
  const char* badNumber[] = {"sim", "--pty", "l", "--store", "d", "--nak-every", "0"};
  EXPECT_FALSE(sim::ParseSimCommandLine(7, badNumber, parsed, szError));
  const char* missing[] = {"sim", "--pty", "l"};
  EXPECT_FALSE(sim::ParseSimCommandLine(3, missing, parsed, szError));
  const char* flagValue[] = {"sim", "--pty", "l", "--store", "d", "--never-reboot=1"};
  EXPECT_FALSE(sim::ParseSimCommandLine(6, flagValue, parsed, szError));
  const char* unplug[] = {"sim", "--pty=l", "--store=d", "--unplug-after-bytes=900",
                          "--replug-after-ms=3000"};
  ASSERT_TRUE(sim::ParseSimCommandLine(5, unplug, parsed, szError)) << szError;
  EXPECT_EQ(parsed.options.faults.unplugAfterBytes, 900);
  EXPECT_EQ(parsed.options.faults.replugAfterMs, 3000);
  const char* replugAlone[] = {"sim", "--pty=l", "--store=d", "--replug-after-ms=3000"};
  EXPECT_FALSE(sim::ParseSimCommandLine(4, replugAlone, parsed, szError));
  const char* lostAck[] = {"sim",
                           "--pty=l",
                           "--store=d",
                           "--unplug-before-ack",
                           "2",
                           "--replug-after-ms=500",
                           "--lose-ack-every-transfer",
                           "--store-repeats"};
  ASSERT_TRUE(sim::ParseSimCommandLine(8, lostAck, parsed, szError)) << szError;
  EXPECT_EQ(parsed.options.faults.unplugBeforeAck, 2);
  EXPECT_TRUE(parsed.options.faults.bLoseAckEveryTransfer);
  EXPECT_TRUE(parsed.options.faults.bStoreRepeats);
  const char* everyAlone[] = {"sim", "--pty=l", "--store=d", "--lose-ack-every-transfer"};
  EXPECT_FALSE(sim::ParseSimCommandLine(4, everyAlone, parsed, szError));
}

TEST(SimVersion, ReadsSixCharactersBeforeTheLastPoint) {
  struct sCase {
    const char* szName;
    bool bFound;
    const char* szVersion;
  };
  const sCase kCases[] = {
      {"main_010203.bin", true, "1.2.3"},
      {"a010203", true, "1.2.3"},
      {"010203.bin", false, "?.?.?"},
      {"x.bin", false, "?.?.?"},
      {"abc_99zz00.bin", true, "99.0.0"},
      {"img_010203.tar.gz", true, "3.0.0"},
      {"", false, "?.?.?"},
      {"sub/main_101112.bin", true, "10.11.12"},
  };
  for (const sCase& test : kCases) {
    std::string szVersion;
    EXPECT_EQ(sim::GetVersionFromImageName(test.szName, szVersion), test.bFound) << test.szName;
    EXPECT_EQ(szVersion, test.szVersion) << test.szName;
  }
}

}  // namespace
