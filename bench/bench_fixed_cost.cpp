// Fixed cost of an installation: the wall time of an automatic run (64 KiB image, halvex-sim at
// 115200 bit/s with its default installer start of 1 s and boot of 3 s) minus its transfer
// phase, against the simulator's own delays. Three runs; the median counts. The table splits
// the cost by the installer's progress lines.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/bench_support.h"

namespace {

double Seconds(int64_t fromMs, int64_t toMs) {
  return fromMs < 0 || toMs < 0 ? -1.0 : static_cast<double>(toMs - fromMs) / 1000.0;
}

}  // namespace

int main() {
  const int startMs = 1000, bootMs = 3000, runs = 3;
  bench::sInstallation setup;
  setup.imageSize = 64 * 1024;
  setup.simOptions = {"--line-rate",           "115200",    "--installer-start-ms",
                      std::to_string(startMs), "--boot-ms", std::to_string(bootMs)};
  std::printf("Fixed cost: %llu-byte image at 115200 bit/s, installer start %d ms, boot %d ms\n",
              static_cast<unsigned long long>(setup.imageSize), startMs, bootMs);
  std::printf("  %-4s %8s %8s %8s %10s %10s %10s %10s\n", "run", "total", "transfer", "fixed",
              "connect", "installer", "file", "reboot");
  std::vector<double> fixed;
  for (int i = 1; i <= runs; ++i) {
    const bench::sInstallationResult run = bench::RunInstallation(setup);
    if (!run.bStarted || run.exitStatus != 0 || !run.bIdentical) {
      std::printf("the installation failed (exit %d)\n%s\n%s", run.exitStatus, run.out.c_str(),
                  run.violations.c_str());
      return 1;
    }
    const double total = static_cast<double>(run.elapsedMs) / 1000.0;
    const double transfer = Seconds(run.LineMs(" Sending file"), run.LineMs(" Getting next file"));
    fixed.push_back(total - transfer);
    std::printf("  %-4d %8.3f %8.3f %8.3f %10.3f %10.3f %10.3f %10.3f\n", i, total, transfer,
                total - transfer, Seconds(0, run.LineMs(" Getting package")),
                Seconds(run.LineMs(" Getting package"), run.LineMs(" Getting file")),
                Seconds(run.LineMs(" Getting file"), run.LineMs(" Sending file")),
                Seconds(run.LineMs(" Rebooting instrument"), run.elapsedMs));
  }
  std::sort(fixed.begin(), fixed.end());
  const double median = fixed[fixed.size() / 2];
  const double delays = (startMs + bootMs) / 1000.0;
  std::printf(
      "  connect: start to \" Getting package\"; installer: to \" Getting file\" (holds the "
      "start delay);\n  file: to \" Sending file\"; reboot: \" Rebooting instrument\" to "
      "the end (holds the boot delay)\n");
  std::printf("  %-40s %8.3f s\n", "median fixed cost", median);
  std::printf("  %-40s %8.3f s\n", "simulator's start and boot delays", delays);
  std::printf("  %-40s %8.3f s\n", "fixed cost beyond those delays", median - delays);
  std::printf("  %-40s %8s\n", "target", "<= delays + 4.5 s");
  std::printf("fixed_cost %.3f s\n", median);
  std::printf("fixed_cost_simulator_delays %.3f s\n", delays);
  std::printf("fixed_cost_beyond_delays %.3f s\n", median - delays);
  return 0;
}
