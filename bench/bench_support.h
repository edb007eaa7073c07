// What the benchmarks and the fault soak share: a child process whose output lines are
// time-stamped as they arrive and whose resource use is read when it ends, a scratch package
// store, and the halvex-sim tool run as a process.
#ifndef HALVEX_BENCH_BENCH_SUPPORT_H
#define HALVEX_BENCH_BENCH_SUPPORT_H

#include <sys/resource.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace bench {

using tEnvironment = std::vector<std::pair<std::string, std::string>>;

// Milliseconds of the monotonic clock.
int64_t NowMs();

// One line of a child's standard output and when it arrived (ms after the start).
struct sOutputLine {
  int64_t ms = 0;
  std::string text;  // without its CR LF
};

class cChild {
 public:
  cChild() = default;
  ~cChild();
  cChild(const cChild&) = delete;
  cChild& operator=(const cChild&) = delete;

  // Starts argv[0] (a path) in folder with the variables added to this process's own; standard
  // input is /dev/null. False when it could not be started.
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

  pid_t GetPid() const { return pid; }
  bool HasEnded() const { return bEnded; }
  // Exit status; -1 when it was killed by a signal or has not ended.
  int GetExitStatus() const { return exitStatus; }
  int64_t GetElapsedMs() const { return elapsedMs; }
  const std::string& GetOut() const { return out; }
  const std::string& GetErr() const { return err; }
  const std::vector<sOutputLine>& GetLines() const { return lines; }
  // When the first line starting with prefix arrived; -1 if none did.
  int64_t LineTime(const std::string& prefix) const;
  // Resource use of the ended child (wait4).
  const struct rusage& GetUsage() const { return usage; }

 private:
  void Pump(int timeoutMs);
  void Reap(bool bBlock);

  pid_t pid = -1;
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

// A fresh folder under /tmp, removed with everything in it when the object goes.
class cScratch {
 public:
  explicit cScratch(const std::string& tag);
  ~cScratch();
  cScratch(const cScratch&) = delete;
  cScratch& operator=(const cScratch&) = delete;
  const std::string& Path() const { return path; }
  bool IsValid() const { return !path.empty(); }

 private:
  std::string path;
};

// Writes a file of size bytes (a seeded pseudo-random pattern, written in blocks).
bool WriteImage(const std::string& path, uint64_t size, uint32_t seed);
bool WriteText(const std::string& path, const std::string& text);
// True when the two files have the same bytes.
bool SameFile(const std::string& a, const std::string& b);
uint64_t FileSize(const std::string& path);

// A package store in folder: packages/<package> naming main=<image>, files/<image> of size
// bytes. False when something could not be written.
bool MakeStore(const std::string& folder, const std::string& package, const std::string& image,
               uint64_t size, uint32_t seed);

// The folder of this executable (where halvex-installer and halvex-sim are built).
std::string ExecutableFolder();

// halvex-sim as a process on a pty linked at link, with a transcript at log.
class cSimProcess {
 public:
  bool Start(const std::string& simPath, const std::string& link, const std::string& store,
             const std::string& log, const std::vector<std::string>& options);
  // Stops it; the violations it listed on stopping (one per line, empty when none).
  std::string Stop();
  pid_t GetPid() const { return child.GetPid(); }

 private:
  cChild child;
};

// One timed line of a halvex-sim transcript.
struct sTranscriptLine {
  double seconds = 0;
  std::string mark;
  std::string text;
};
std::vector<sTranscriptLine> ReadTranscript(const std::string& path);

// One automatic installation: a package store with an image of imageSize bytes in a scratch
// folder, halvex-sim (from the executable's folder) with simOptions and a transcript, and
// halvex-installer -AUTO -PORT=COM1 plus extraArguments.
struct sInstallation {
  uint64_t imageSize = 0;
  std::vector<std::string> simOptions;
  std::vector<std::string> extraArguments;
  int64_t timeoutMs = 600000;
};

struct sInstallationResult {
  bool bStarted = false;  // the simulator and the installer could be started
  int exitStatus = -1;
  int64_t elapsedMs = 0;
  std::vector<sOutputLine> lines;  // the installer's output lines with their arrival times
  std::string out;
  struct rusage usage = {};  // the installer's resource use
  std::vector<sTranscriptLine> transcript;
  std::string violations;   // the simulator's, one per line
  bool bIdentical = false;  // the instrument stored the image byte for byte
  // From the transcript: when the size packet and the end-of-file marker were received (s
  // after the simulator started), -1 when missing; the transfer phase lies between them.
  double sizePacketS = -1;
  double endOfFileS = -1;
  double TransferSeconds() const { return endOfFileS - sizePacketS; }
  // From the installer's lines: ms after its start, -1 when missing.
  int64_t LineMs(const std::string& prefix) const;
};

sInstallationResult RunInstallation(const sInstallation& setup);

// CPU time (user + system) of a running process so far, in seconds; -1 when unreadable.
double ProcessCpuSeconds(pid_t pid);

// A description of this machine: processor model, cores, memory, kernel.
std::string DescribeMachine();

}  // namespace bench

#endif
