// Line efficiency: a 256 KiB image installed through halvex-sim --line-rate 115200, once as it
// is, once with -TRACE= writing the traffic trace and once through ser2net (an rfc2217:// port
// in front of the simulator's line). The transfer phase (from the size packet's arrival, after
// which the data starts, to the end-of-file marker's, in the simulator's transcript) against
// what the line can carry at best: the image's bytes at 10 bits each.
#include <cstdio>
#include <string>

#include "bench/bench_support.h"

namespace {

const uint64_t SIZE = 256 * 1024;
const double RATE = 115200.0;

// One installation; false when it failed. tracePath empty: no trace.
bool Measure(const std::string& tracePath, bool bThroughSer2net, double& transferS,
             double& linesS) {
  bench::sInstallation setup;
  setup.imageSize = SIZE;
  setup.simOptions = {"--line-rate", "115200"};
  setup.bThroughSer2net = bThroughSer2net;
  if (!tracePath.empty()) setup.extraArguments = {"-TRACE=" + tracePath};
  const bench::sInstallationResult run = bench::RunInstallation(setup);
  if (!run.bStarted || run.exitStatus != 0 || !run.bIdentical || run.TransferSeconds() <= 0) {
    std::printf("line efficiency%s: the installation failed (exit %d, image %s)\n%s\n%s",
                tracePath.empty() ? (bThroughSer2net ? " through ser2net" : "") : " with the trace",
                run.exitStatus, run.bIdentical ? "intact" : "not stored intact", run.out.c_str(),
                run.violations.c_str());
    return false;
  }
  transferS = run.TransferSeconds();
  linesS =
      static_cast<double>(run.LineMs(" Getting next file") - run.LineMs(" Sending file")) / 1000.0;
  return true;
}

}  // namespace

int main() {
  cTempFolder scratch;
  const std::string tracePath = scratch.GetPath() + "/install.trace";
  double transferS = 0, linesS = 0, tracedTransferS = 0, tracedLinesS = 0;
  double networkTransferS = 0, networkLinesS = 0;
  if (scratch.GetPath().empty() || !Measure("", false, transferS, linesS) ||
      !Measure(tracePath, false, tracedTransferS, tracedLinesS) ||
      !Measure("", true, networkTransferS, networkLinesS)) {
    return 1;
  }
  const double limitS = static_cast<double>(SIZE) * 10.0 / RATE;
  const double wireS = static_cast<double>(SIZE + 16 * 8 + 16) * 10.0 / RATE;
  std::printf("Line efficiency: %llu-byte image at %.0f bit/s (10 bits a byte)\n",
              static_cast<unsigned long long>(SIZE), RATE);
  std::printf("  %-52s %10.3f s\n", "line limit for the image bytes", limitS);
  std::printf("  %-52s %10.3f s\n", "same with packet headers and answers", wireS);
  std::printf("  %-52s %10.3f s\n", "transfer phase (simulator transcript)", transferS);
  std::printf("  %-52s %10.3f s\n", "\" Sending file\" to \" Getting next file\" lines", linesS);
  std::printf("  %-52s %10.2f %%\n", "efficiency (limit / transfer phase)",
              100.0 * limitS / transferS);
  std::printf("  %-52s %10.2f %%\n", "efficiency by the installer's lines",
              100.0 * limitS / linesS);
  std::printf("  %-52s %10.3f s\n", "with -TRACE=: transfer phase", tracedTransferS);
  std::printf("  %-52s %10.2f %%\n", "with -TRACE=: efficiency (limit / transfer phase)",
              100.0 * limitS / tracedTransferS);
  std::printf("  %-52s %10.2f %%\n", "with -TRACE=: efficiency by the installer's lines",
              100.0 * limitS / tracedLinesS);
  std::printf("  %-52s %10llu bytes\n", "with -TRACE=: size of the trace",
              static_cast<unsigned long long>(ReadWholeFile(tracePath).size()));
  std::printf("  %-52s %10.3f s\n", "through ser2net (rfc2217): transfer phase", networkTransferS);
  std::printf("  %-52s %10.2f %%\n", "through ser2net: efficiency (limit / transfer phase)",
              100.0 * limitS / networkTransferS);
  std::printf("  %-52s %10.2f %%\n", "through ser2net: efficiency by the installer's lines",
              100.0 * limitS / networkLinesS);
  std::printf("  %-52s %10s\n", "target (all three)", ">= 99 %");
  std::printf("line_efficiency_limit %.3f s\n", limitS);
  std::printf("line_efficiency_transfer %.3f s\n", transferS);
  std::printf("line_efficiency %.2f %%\n", 100.0 * limitS / transferS);
  std::printf("line_efficiency_by_installer_lines %.2f %%\n", 100.0 * limitS / linesS);
  std::printf("line_efficiency_traced_transfer %.3f s\n", tracedTransferS);
  std::printf("line_efficiency_traced %.2f %%\n", 100.0 * limitS / tracedTransferS);
  std::printf("line_efficiency_traced_by_installer_lines %.2f %%\n", 100.0 * limitS / tracedLinesS);
  std::printf("line_efficiency_ser2net_transfer %.3f s\n", networkTransferS);
  std::printf("line_efficiency_ser2net %.2f %%\n", 100.0 * limitS / networkTransferS);
  std::printf("line_efficiency_ser2net_by_installer_lines %.2f %%\n",
              100.0 * limitS / networkLinesS);
  return 0;
}
