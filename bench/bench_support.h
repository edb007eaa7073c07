// What the benchmarks and the fault soak share for measuring. The child processes, scratch
// folders and the simulator run as a process are the test support library's (tests/support:
// cChildProcess, cTempFolder, cTestSimulator); here are the workload (a package store with a
// seeded image), one whole timed installation with the phases read from the simulator's
// transcript, and the reading of a running process's processor time.
#ifndef HALVEX_BENCH_BENCH_SUPPORT_H
#define HALVEX_BENCH_BENCH_SUPPORT_H

#include <sys/resource.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/ser2net.h"
#include "support/simulator.h"
#include "support/temp_folder.h"
#include "util/no_copy.h"

namespace bench {

// Writes a file of size bytes (a seeded pseudo-random pattern, written in blocks).
bool WriteImage(const std::string& path, uint64_t size, uint32_t seed);

// A package store in folder: packages/<package> naming main=<image>, files/<image> of size
// bytes. False when something could not be written.
bool MakeStore(const cTempFolder& folder, const std::string& package, const std::string& image,
               uint64_t size, uint32_t seed);

// The folder of this executable (where halvex-installer and halvex-sim are built).
std::string ExecutableFolder();

// One timed line of a halvex-sim transcript.
struct sTranscriptLine {
  double seconds = 0;
  std::string mark;
  std::string text;
};
std::vector<sTranscriptLine> ReadTranscript(const std::string& path);

// One automatic installation: a package store with an image of imageSize bytes (drawn from
// seed) in a scratch folder, halvex-sim (from the executable's folder) with simOptions and a
// transcript, and halvex-installer -AUTO -PORT=COM<port> plus extraArguments. With
// bThroughSer2net ser2net serves the simulator's line (rfc2217) and the installer is given
// -PORT=rfc2217://127.0.0.1:<ser2net's port> instead.
struct sInstallation {
  uint64_t imageSize = 0;
  int port = 1;
  uint32_t seed = 20105;
  std::vector<std::string> simOptions;
  std::vector<std::string> extraArguments;
  bool bThroughSer2net = false;
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

// The same in steps, for installations that run side by side: Prepare lays out the store and
// starts the simulator, Launch starts the installer, Finish waits for the installer's end, stops
// the simulator and reads what came of it. Prepare sets HALVEX_COM<port> in this process, so
// prepare them one after the other; Finish may run in a thread of its own per installation.
class cInstallationRun : private cNoCopy {
 public:
  bool Prepare(const sInstallation& setup);
  bool Launch();
  sInstallationResult Finish();

 private:
  sInstallation setup;
  cTempFolder folder;
  std::unique_ptr<cTestSimulator> simulator;
  cSer2net server;
  cChildProcess installer;
  bool bPrepared = false;
  bool bStarted = false;
};

// CPU time (user + system) of a running process so far, in seconds; -1 when unreadable.
double ProcessCpuSeconds(pid_t pid);

}  // namespace bench

#endif
