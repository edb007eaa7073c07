// A bench of installations at once: N automatic installations (default 16, at most 16: COM1 to
// COM16), each halvex-installer process on its own port against its own halvex-sim at 115200
// bit/s, all started together. Per run: the exit status, whether the instrument stored the image
// byte for byte, the line efficiency (the image's bytes at 10 bits each over the transfer phase
// of the simulator's transcript, as bench_line_efficiency takes it) and the installer's processor
// time; then the totals. Each run's image is drawn from its own seed, so a run that reached
// another's simulator could not pass as byte-identical.
//
//   bench_parallel [--runs N] [--size BYTES] [-- halvex-sim options...]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "platform/clock.h"

namespace {

const double RATE = 115200.0;
const int MAX_RUNS = 16;

struct sSettings {
  int runs = MAX_RUNS;
  uint64_t size = 115200;
  std::vector<std::string> simOptions;
};

bool ParseArguments(int argc, char** argv, sSettings& settings) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      settings.runs = std::atoi(argv[++i]);
    } else if (arg == "--size" && i + 1 < argc) {
      settings.size = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--") {
      settings.simOptions.assign(argv + i + 1, argv + argc);
      break;
    } else {
      return false;
    }
  }
  return settings.runs >= 1 && settings.runs <= MAX_RUNS && settings.size > 0;
}

double CpuSeconds(const struct rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  sSettings settings;
  if (!ParseArguments(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: bench_parallel [--runs 1..16] [--size BYTES] [-- halvex-sim "
                 "options...]\n");
    return 2;
  }
  std::vector<std::unique_ptr<bench::cInstallationRun>> runs;
  std::vector<bool> bPrepared;
  for (int i = 0; i < settings.runs; ++i) {
    bench::sInstallation setup;
    setup.imageSize = settings.size;
    setup.port = i + 1;
    setup.seed = 20105 + static_cast<uint32_t>(i);
    setup.simOptions = {"--line-rate", "115200"};
    setup.simOptions.insert(setup.simOptions.end(), settings.simOptions.begin(),
                            settings.simOptions.end());
    runs.push_back(std::make_unique<bench::cInstallationRun>());
    bPrepared.push_back(runs.back()->Prepare(setup));
  }
  // Every simulator is up: the installers start together and are waited for side by side.
  const int64_t startMs = platform::GetMonotonicMs();
  for (int i = 0; i < settings.runs; ++i) {
    if (bPrepared[i]) runs[i]->Launch();
  }
  std::vector<bench::sInstallationResult> results(runs.size());
  std::vector<std::thread> waiters;
  for (size_t i = 0; i < runs.size(); ++i) {
    waiters.emplace_back([&, i] { results[i] = runs[i]->Finish(); });
  }
  for (std::thread& waiter : waiters) waiter.join();
  const double wallS = static_cast<double>(platform::GetMonotonicMs() - startMs) / 1000.0;

  const double limitS = static_cast<double>(settings.size) * 10.0 / RATE;
  std::printf("Installations at once: %d, a %llu-byte image each, halvex-sim at %.0f bit/s\n",
              settings.runs, static_cast<unsigned long long>(settings.size), RATE);
  std::printf("  %-6s %6s %-16s %10s %11s %9s %8s\n", "port", "exit", "image", "transfer",
              "efficiency", "total", "CPU");
  int good = 0, identical = 0;
  double efficiencyMin = 1e9, efficiencyMax = 0, cpuMin = 1e9, cpuMax = 0, cpuAll = 0;
  std::string failures;
  for (size_t i = 0; i < results.size(); ++i) {
    const bench::sInstallationResult& run = results[i];
    const std::string port = "COM" + std::to_string(i + 1);
    if (!run.bStarted) {
      std::printf("  %-6s %6s %-16s\n", port.c_str(), "-", "not started");
      failures += port + ": the simulator or the installer could not be started\n";
      continue;
    }
    const bool bTransfer = run.TransferSeconds() > 0;
    const double efficiency = bTransfer ? 100.0 * limitS / run.TransferSeconds() : 0.0;
    const double cpuS = CpuSeconds(run.usage);
    char szTransfer[32] = "-", szEfficiency[32] = "-";
    if (bTransfer) {
      std::snprintf(szTransfer, sizeof(szTransfer), "%.3f s", run.TransferSeconds());
      std::snprintf(szEfficiency, sizeof(szEfficiency), "%.2f %%", efficiency);
    }
    std::printf("  %-6s %6d %-16s %10s %11s %7.3f s %6.3f s\n", port.c_str(), run.exitStatus,
                run.bIdentical ? "byte-identical" : "not identical", szTransfer, szEfficiency,
                static_cast<double>(run.elapsedMs) / 1000.0, cpuS);
    if (run.exitStatus == 0) ++good;
    if (run.bIdentical) ++identical;
    if (bTransfer) {
      efficiencyMin = std::min(efficiencyMin, efficiency);
      efficiencyMax = std::max(efficiencyMax, efficiency);
    }
    cpuMin = std::min(cpuMin, cpuS);
    cpuMax = std::max(cpuMax, cpuS);
    cpuAll += cpuS;
    if (run.exitStatus != 0 || !run.bIdentical || !run.violations.empty()) {
      failures +=
          port + ": exit " + std::to_string(run.exitStatus) + "\n" + run.out + run.violations;
    }
  }
  if (efficiencyMin > efficiencyMax) efficiencyMin = efficiencyMax = 0;
  if (cpuMin > cpuMax) cpuMin = cpuMax = 0;
  std::printf("  %-48s %d of %d\n", "exit status 0", good, settings.runs);
  std::printf("  %-48s %d of %d\n", "byte-identical", identical, settings.runs);
  std::printf("  %-48s %.3f s\n", "line limit for one image", limitS);
  std::printf("  %-48s %.2f to %.2f %%\n", "line efficiency", efficiencyMin, efficiencyMax);
  std::printf("  %-48s %.3f to %.3f s, %.3f s in all\n", "installer CPU a run", cpuMin, cpuMax,
              cpuAll);
  std::printf("  %-48s %.3f s\n", "wall time (the first start to the last end)", wallS);
  if (!failures.empty()) std::printf("\nFailed runs:\n%s", failures.c_str());
  std::printf("parallel_runs %d runs\n", settings.runs);
  std::printf("parallel_status_0 %d runs\n", good);
  std::printf("parallel_identical %d runs\n", identical);
  std::printf("parallel_efficiency_min %.2f %%\n", efficiencyMin);
  std::printf("parallel_efficiency_max %.2f %%\n", efficiencyMax);
  std::printf("parallel_cpu_max %.3f s\n", cpuMax);
  std::printf("parallel_wall %.3f s\n", wallS);
  return failures.empty() ? 0 : 1;
}
