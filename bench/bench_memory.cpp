// Memory: the installer's peak resident memory (ru_maxrss of the child, from wait4) for a
// 256 MiB image and for a 1 MiB one, each installed through halvex-sim on an unpaced pty. The
// file is read one chunk at a time, so the two must be equal within 2 MiB.
#include <cstdio>

#include "bench/bench_support.h"

namespace {

// Peak resident memory in KiB of an installation of size bytes; -1 when it failed.
long PeakKiB(uint64_t size, double& seconds) {
  bench::sInstallation setup;
  setup.imageSize = size;
  setup.simOptions = {"--installer-start-ms", "200", "--boot-ms", "300"};
  const bench::sInstallationResult run = bench::RunInstallation(setup);
  seconds = static_cast<double>(run.elapsedMs) / 1000.0;
  if (!run.bStarted || run.exitStatus != 0 || !run.bIdentical) {
    std::printf("the %llu-byte installation failed (exit %d)\n%s\n%s",
                static_cast<unsigned long long>(size), run.exitStatus, run.out.c_str(),
                run.violations.c_str());
    return -1;
  }
  return run.usage.ru_maxrss;
}

}  // namespace

int main() {
  const uint64_t small = 1024 * 1024, large = 256ull * 1024 * 1024;
  double smallS = 0, largeS = 0;
  const long smallKiB = PeakKiB(small, smallS);
  const long largeKiB = PeakKiB(large, largeS);
  if (smallKiB < 0 || largeKiB < 0) return 1;
  const double difference = static_cast<double>(largeKiB - smallKiB) / 1024.0;
  std::printf("Memory: the installer's peak resident memory (ru_maxrss)\n");
  std::printf("  %-32s %10.2f MiB  (run %.1f s)\n", "1 MiB image", smallKiB / 1024.0, smallS);
  std::printf("  %-32s %10.2f MiB  (run %.1f s)\n", "256 MiB image", largeKiB / 1024.0, largeS);
  std::printf("  %-32s %10.2f MiB\n", "difference", difference);
  std::printf("  %-32s %10s\n", "target", "within 2 MiB");
  std::printf("memory_peak_1mib %.2f MiB\n", smallKiB / 1024.0);
  std::printf("memory_peak_256mib %.2f MiB\n", largeKiB / 1024.0);
  std::printf("memory_difference %.2f MiB\n", difference);
  return 0;
}
