// The halvex-sim tool as a separate process, its option grammar and the version-from-name rule.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "sim/sim_command_line.h"
#include "sim/sim_version.h"
#include "tests/sim/sim_test_client.h"

namespace simtest {
namespace {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string RunAndCapture(const std::string& szCommand, int& status) {
  std::string szOut;
  FILE* pipe = popen(szCommand.c_str(), "r");
  if (!pipe) return szOut;
  char buffer[512];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) szOut.append(buffer, n);
  status = pclose(pipe);
  return szOut;
}

TEST(SimTool, ServesAtItsLinkAndRemovesItOnSigterm) {
  char szTemplate[] = "/tmp/halvex-sim-tool-XXXXXX";
  ASSERT_TRUE(mkdtemp(szTemplate));
  const std::string szDir = szTemplate;
  const std::string szLink = szDir + "/com1";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl(HALVEX_SIM_TOOL, HALVEX_SIM_TOOL, "--pty", szLink.c_str(), "--store",
          (szDir + "/store").c_str(), "--serial=777", "--log", (szDir + "/log").c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  struct stat info;
  ASSERT_TRUE(WaitFor([&] { return lstat(szLink.c_str(), &info) == 0; }, 5000));
  setenv("HALVEX_COM1", szLink.c_str(), 1);
  {
    cTestClient client;
    ASSERT_TRUE(client.Open(1, 57600));
    client.WriteLine("ID?");
    EXPECT_EQ(client.ReadLine(2000), "HALVEX,VSR450,777,1.0.0");
  }
  unsetenv("HALVEX_COM1");
  kill(child, SIGTERM);
  int status = -1;
  ASSERT_TRUE(WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, 5000));
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(lstat(szLink.c_str(), &info), 0) << "the link is gone";
  const std::vector<uint8_t> log = ReadFileBytes(szDir + "/log");
  EXPECT_NE(std::string(log.begin(), log.end()).find("< ID?"), std::string::npos);
  int ignored;
  RunAndCapture("rm -rf " + szDir, ignored);
}

TEST(SimTool, HelpListsEveryOptionAndBadOptionsFail) {
  int status = -1;
  const std::string szHelp = RunAndCapture(std::string(HALVEX_SIM_TOOL) + " --help", status);
  EXPECT_EQ(status, 0);
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
  RunAndCapture(std::string(HALVEX_SIM_TOOL) + " --pty x --store y --bogus 2>/dev/null", status);
  EXPECT_EQ(WEXITSTATUS(status), 2);

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
}  // namespace simtest
