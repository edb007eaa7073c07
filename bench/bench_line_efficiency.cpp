// Line efficiency: a 256 KiB image installed through halvex-sim --line-rate 115200. The transfer
// phase (from the size packet's arrival, after which the data starts, to the end-of-file
// marker's, in the simulator's transcript) against what the line can carry at best: the
// image's bytes at 10 bits each.
#include <cstdio>

#include "bench/bench_support.h"

int main() {
  const uint64_t size = 256 * 1024;
  const double rate = 115200.0;
  bench::sInstallation setup;
  setup.imageSize = size;
  setup.simOptions = {"--line-rate", "115200"};
  const bench::sInstallationResult run = bench::RunInstallation(setup);
  if (!run.bStarted || run.exitStatus != 0 || !run.bIdentical || run.TransferSeconds() <= 0) {
    std::printf("line efficiency: the installation failed (exit %d, image %s)\n%s\n%s",
                run.exitStatus, run.bIdentical ? "intact" : "not stored intact", run.out.c_str(),
                run.violations.c_str());
    return 1;
  }
  const double limitS = static_cast<double>(size) * 10.0 / rate;
  const double transferS = run.TransferSeconds();
  const double wireS = static_cast<double>(size + 16 * 8 + 16) * 10.0 / rate;
  const int64_t sendingMs = run.LineMs(" Sending file");
  const int64_t nextMs = run.LineMs(" Getting next file");
  const double linesS = static_cast<double>(nextMs - sendingMs) / 1000.0;
  std::printf("Line efficiency: %llu-byte image at %.0f bit/s (10 bits a byte)\n",
              static_cast<unsigned long long>(size), rate);
  std::printf("  %-52s %10.3f s\n", "line limit for the image bytes", limitS);
  std::printf("  %-52s %10.3f s\n", "same with packet headers and answers", wireS);
  std::printf("  %-52s %10.3f s\n", "transfer phase (simulator transcript)", transferS);
  std::printf("  %-52s %10.3f s\n", "\" Sending file\" to \" Getting next file\" lines", linesS);
  std::printf("  %-52s %10.2f %%\n", "efficiency (limit / transfer phase)",
              100.0 * limitS / transferS);
  std::printf("  %-52s %10.2f %%\n", "efficiency by the installer's lines",
              100.0 * limitS / linesS);
  std::printf("  %-52s %10s\n", "target", ">= 99 %");
  std::printf("line_efficiency_limit %.3f s\n", limitS);
  std::printf("line_efficiency_transfer %.3f s\n", transferS);
  std::printf("line_efficiency %.2f %%\n", 100.0 * limitS / transferS);
  std::printf("line_efficiency_by_installer_lines %.2f %%\n", 100.0 * limitS / linesS);
  return 0;
}
