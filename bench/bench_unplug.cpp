// What a vanished port costs and how fast an installation gets going again: halvex-sim (a
// process, paced like a 115200 bit/s line) unplugs its pty in the middle of the image.
//
//  - gone for good: the installer's output bytes (standard output and standard error) and
//    processor seconds over the 30 s after the unplug;
//  - unplugged and plugged in again after 1, 2.5 and 4.2 s: the time from the replug to the next
//    packet the instrument acknowledged, whether the run ended " Done!" with status 0, and
//    whether the image arrived byte for byte.
//
//   bench_unplug [--installer PATH] [--seconds S]
//
// --installer measures another build (such as one from before the port could vanish). Prints a
// table and the machine-readable lines "name value unit".
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "platform/clock.h"
#include "support/simulator.h"

namespace {

const char* const IMAGE = "main_020105.bin";
constexpr uint64_t IMAGE_SIZE = 200000;   // about 17 s at 115200 bit/s
constexpr int64_t UNPLUG_AFTER = 100000;  // bytes: well inside the image

struct sSettings {
  std::string installer;
  int seconds = 30;
};

// The moment (s of the transcript) of the first line with mark and text starting with prefix
// at or after `from`; -1 when there is none.
double Find(const std::vector<bench::sTranscriptLine>& transcript, const std::string& mark,
            const std::string& prefix, double from) {
  for (const bench::sTranscriptLine& line : transcript) {
    if (line.seconds >= from && line.mark == mark &&
        line.text.compare(0, prefix.size(), prefix) == 0)
      return line.seconds;
  }
  return -1;
}

uint64_t SizeOf(const std::string& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

struct sSetup {
  cTempFolder folder;
  std::string log, store;
  cTestSimulator simulator;
  cChildProcess installer;

  // The store, the simulator with the options, and the installer writing into out and err.
  bool Start(const sSettings& settings, const std::vector<std::string>& simOptions) {
    if (!bench::MakeStore(folder, "VSR450_unplug.pkg", IMAGE, IMAGE_SIZE, 7)) return false;
    log = folder.PathOf("sim.log");
    store = simulator.StoreDir();
    std::vector<std::string> options = {"--log",          log,     "--model",     "VSR450",
                                        "--main-version", "2.0.3", "--line-rate", "115200"};
    options.insert(options.end(), simOptions.begin(), simOptions.end());
    if (!simulator.StartTool(bench::ExecutableFolder() + "/halvex-sim", options)) return false;
    // Through files: a flood of lines is counted, not held in memory.
    return installer.Start(
        {"/bin/sh", "-c", "exec \"$0\" -AUTO -PORT=COM1 >out 2>err", settings.installer},
        {{"HALVEX_COM1", simulator.GetPath()}}, folder.GetPath());
  }

  uint64_t OutputBytes() const {
    return SizeOf(folder.PathOf("out")) + SizeOf(folder.PathOf("err"));
  }
  std::vector<bench::sTranscriptLine> Transcript() const { return bench::ReadTranscript(log); }
};

// Gone for good: output and processor time over the given seconds after the unplug.
bool MeasureLoss(const sSettings& settings, uint64_t& bytes, double& cpu) {
  sSetup setup;
  if (!setup.Start(settings, {"--unplug-after-bytes", std::to_string(UNPLUG_AFTER)})) return false;
  const int64_t deadline = platform::GetMonotonicMs() + 120000;
  while (Find(setup.Transcript(), "#", "fault: unplugged", 0) < 0 &&
         platform::GetMonotonicMs() < deadline) {
    setup.installer.Wait(50);
  }
  const uint64_t bytesBefore = setup.OutputBytes();
  const double cpuBefore = bench::ProcessCpuSeconds(setup.installer.GetPid());
  setup.installer.Wait(settings.seconds * 1000LL);
  bytes = setup.OutputBytes() - bytesBefore;
  cpu = bench::ProcessCpuSeconds(setup.installer.GetPid()) - cpuBefore;
  const bool bRunning = !setup.installer.HasEnded();
  setup.installer.Kill();
  setup.simulator.Stop();
  return bRunning && cpuBefore >= 0;
}

struct sReplug {
  double replugToAckS = -1;
  int exitStatus = -1;
  bool bIdentical = false;
};

sReplug MeasureReplug(const sSettings& settings, int replugMs) {
  sReplug result;
  sSetup setup;
  if (!setup.Start(settings, {"--unplug-after-bytes", std::to_string(UNPLUG_AFTER),
                              "--replug-after-ms", std::to_string(replugMs)})) {
    return result;
  }
  if (!setup.installer.Wait(settings.seconds * 1000LL + replugMs + 60000)) setup.installer.Kill();
  setup.simulator.Stop();
  result.exitStatus = setup.installer.GetExitStatus();
  result.bIdentical =
      SameFileBytes(setup.folder.GetPath() + "/files/" + IMAGE, setup.store + "/" + IMAGE);
  const std::vector<bench::sTranscriptLine> transcript = setup.Transcript();
  const double replugged = Find(transcript, "#", "fault: replugged", 0);
  const double ack = replugged < 0 ? -1 : Find(transcript, ">", "A", replugged);
  if (ack >= 0) result.replugToAckS = ack - replugged;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  sSettings settings;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--installer" && i + 1 < argc) {
      settings.installer = argv[++i];
    } else if (arg == "--seconds" && i + 1 < argc) {
      settings.seconds = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: bench_unplug [--installer PATH] [--seconds S]\n");
      return 2;
    }
  }
  if (settings.installer.empty())
    settings.installer = bench::ExecutableFolder() + "/halvex-installer";
  std::printf(
      "bench_unplug: %s; halvex-sim at 115200 bit/s, a %llu-byte image, the pty unplugged "
      "after %lld bytes\n",
      settings.installer.c_str(), static_cast<unsigned long long>(IMAGE_SIZE),
      static_cast<long long>(UNPLUG_AFTER));

  uint64_t bytes = 0;
  double cpu = 0;
  const bool bLoss = MeasureLoss(settings, bytes, cpu);
  std::printf("\nport gone for good, the %d s after the unplug:\n", settings.seconds);
  if (bLoss) {
    std::printf("  output %llu bytes, processor %.3f s (%.2f %% of a core)\n",
                static_cast<unsigned long long>(bytes), cpu, cpu * 100.0 / settings.seconds);
  } else {
    std::printf("  (the installer ended before the measurement was over, or did not start)\n");
  }

  std::printf("\n%-12s %-22s %-12s %s\n", "replug after", "replug to next \"A\"", "exit status",
              "image");
  std::vector<double> delays;
  for (int replugMs : {1000, 2500, 4200}) {
    const sReplug result = MeasureReplug(settings, replugMs);
    char szDelay[32];
    if (result.replugToAckS >= 0) {
      std::snprintf(szDelay, sizeof(szDelay), "%.2f s", result.replugToAckS);
      delays.push_back(result.replugToAckS);
    } else {
      std::snprintf(szDelay, sizeof(szDelay), "none");
    }
    std::printf("%-12s %-22s %-12d %s\n", (std::to_string(replugMs) + " ms").c_str(), szDelay,
                result.exitStatus, result.bIdentical ? "byte-identical" : "missing or different");
  }

  std::printf("\n");
  if (bLoss) {
    std::printf("unplug_output_bytes_%ds %llu bytes\n", settings.seconds,
                static_cast<unsigned long long>(bytes));
    std::printf("unplug_cpu_%ds %.3f s\n", settings.seconds, cpu);
  }
  double longest = -1;
  for (double delay : delays) longest = std::max(longest, delay);
  if (delays.size() == 3) std::printf("replug_to_ack_max %.2f s\n", longest);
  return 0;
}
