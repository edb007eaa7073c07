// Runs a program as a separate process (POSIX): to its end, capturing what it writes
// (RunProcess), or in the background until stopped (cBackgroundProcess).
//   stProcessResult result = RunProcess({program, "--help"}, {}, "", 10000);
#ifndef HALVEX_TESTS_SUPPORT_PROCESS_H
#define HALVEX_TESTS_SUPPORT_PROCESS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct stProcessResult {
  int exitStatus = -1;  // the program's exit status; -1 when it was killed or did not start
  bool bTimedOut = false;
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error
  int64_t elapsedMs = 0;
  int64_t cpuMs = 0;  // processor time (user + system) of the program
};

// Runs argv[0] with the arguments, in folder (empty: the current one), with the variables of
// environment added to the test's own. A program still running after timeoutMs is killed.
stProcessResult RunProcess(const std::vector<std::string>& argv,
                           const std::vector<std::pair<std::string, std::string>>& environment,
                           const std::string& folder, int64_t timeoutMs);

// A program that keeps running in the background until Stop (SIGTERM, then SIGKILL).
class cBackgroundProcess {
 public:
  cBackgroundProcess() = default;
  ~cBackgroundProcess();
  cBackgroundProcess(const cBackgroundProcess&) = delete;
  cBackgroundProcess& operator=(const cBackgroundProcess&) = delete;

  bool Start(const std::vector<std::string>& argv,
             const std::vector<std::pair<std::string, std::string>>& environment,
             const std::string& logPath);
  // Stops it and returns its exit status (-1 when it had to be killed).
  int Stop();
  bool IsRunning();
  int GetPid() const { return pid; }

 private:
  int pid = -1;
};

#endif
