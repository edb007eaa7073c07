// Runs a program as a separate process (POSIX): to its end, capturing what it writes
// (RunProcess); watched while it runs, its output lines time-stamped as they arrive and its
// resource use read when it ends (cChildProcess); or in the background, writing into a log file,
// until stopped (cBackgroundProcess). Each runs in a process group of its own with standard
// input from /dev/null; argv[0] is looked up in PATH when it holds no "/".
//   stProcessResult result = RunProcess({program, "--help"}, {}, "", 10000);
//   cChildProcess child;
//   child.Start({program, "-AUTO", "-CONSOLE"}, {{"HALVEX_COM1", link}}, folder);
//   child.WaitForOutput(" Done!", 60000);  ...  child.Kill();
#ifndef HALVEX_TESTS_SUPPORT_PROCESS_H
#define HALVEX_TESTS_SUPPORT_PROCESS_H

#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "util/no_copy.h"

using tEnvironment = std::vector<std::pair<std::string, std::string>>;

struct stProcessResult {
  int exitStatus = -1;  // the program's exit status; -1 when it was killed or did not start
  bool bTimedOut = false;
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error
  int64_t elapsedMs = 0;
  int64_t cpuMs = 0;  // processor time (user + system) of the program
};

// Runs argv[0] with the arguments, in folder (empty: the current one), with the variables of
// environment added to the test's own (replacing those of the same name). A program still
// running after timeoutMs is killed, with everything it started.
stProcessResult RunProcess(const std::vector<std::string>& argv, const tEnvironment& environment,
                           const std::string& folder, int64_t timeoutMs);

// One line of a child's standard output and when it arrived (ms after the start).
struct sOutputLine {
  int64_t ms = 0;
  std::string text;  // without its CR LF
};

// A program whose output is collected while the caller waits on it (Wait, WaitForOutput); it
// is killed when the object goes.
class cChildProcess : private cNoCopy {
 public:
  cChildProcess() = default;
  ~cChildProcess();

  // Starts it as RunProcess does. False when it could not be started.
  bool Start(const std::vector<std::string>& argv, const tEnvironment& environment,
             const std::string& folder);
  // Collects output until the child has ended (true) or timeoutMs passed (false).
  bool Wait(int64_t timeoutMs);
  // Collects output until stdout holds text (true) or timeoutMs passed or the child ended.
  bool WaitForOutput(const std::string& text, int64_t timeoutMs);
  // SIGKILL to its process group, then waits for it.
  void Kill();
  // SIGTERM, then SIGKILL after graceMs; waits for it.
  void Stop(int64_t graceMs = 5000);

  int GetPid() const { return pid; }
  bool HasEnded() const { return bEnded; }
  // Exit status; -1 when it was killed by a signal or has not ended.
  int GetExitStatus() const { return exitStatus; }
  int64_t GetElapsedMs() const { return elapsedMs; }
  const std::string& GetOut() const { return out; }
  const std::string& GetErr() const { return err; }
  const std::vector<sOutputLine>& GetLines() const { return lines; }
  // When the first line starting with prefix arrived; -1 if none did.
  int64_t LineTime(const std::string& prefix) const;
  // Resource use of the ended child (wait4), and its processor time (user + system) in ms.
  const struct rusage& GetUsage() const { return usage; }
  int64_t GetCpuMs() const;

 private:
  // Reads what arrived within timeoutMs.
  void Pump(int timeoutMs);
  void Reap(bool bBlock);
  bool HasOpenPipe() const { return outFd >= 0 || errFd >= 0; }

  int pid = -1;
  int outFd = -1;
  int errFd = -1;
  int64_t startMs = 0;
  int64_t elapsedMs = 0;
  bool bEnded = false;
  int exitStatus = -1;
  std::string out;
  std::string err;
  std::string partial;
  std::vector<sOutputLine> lines;
  struct rusage usage = {};
};

// A program that keeps running in the background until Stop (SIGTERM, then SIGKILL), its
// standard output and error appended to a log file (none: discarded).
class cBackgroundProcess : private cNoCopy {
 public:
  cBackgroundProcess() = default;
  ~cBackgroundProcess();

  bool Start(const std::vector<std::string>& argv, const tEnvironment& environment,
             const std::string& logPath);
  // Stops it and returns its exit status (-1 when it had to be killed).
  int Stop();
  bool IsRunning();
  int GetPid() const { return pid; }

 private:
  int pid = -1;
};

#endif
