// Idle CPU, each over 10 s, against 1 % of a core:
//   - the automatic mode with -CONSOLE after its run (" Done!" written, the program stays);
//   - the Windows build's window under Wine with no installation running, when
//     --wine-exe PATH names halvex-installer.exe and the window opens (the caller provides
//     WINEPREFIX and DISPLAY); otherwise "not available" with the reason.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "platform/clock.h"
#include "support/simulator.h"

namespace {

const double WINDOW_S = 10.0;

// Percent of a core that the processes used over WINDOW_S.
double MeasurePercent(const std::vector<pid_t>& pids) {
  double before = 0, after = 0;
  for (pid_t pid : pids) before += std::max(0.0, bench::ProcessCpuSeconds(pid));
  const int64_t start = platform::GetMonotonicMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(WINDOW_S * 1000)));
  const double seconds = static_cast<double>(platform::GetMonotonicMs() - start) / 1000.0;
  for (pid_t pid : pids) after += std::max(0.0, bench::ProcessCpuSeconds(pid));
  return 100.0 * (after - before) / seconds;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Processes whose environment holds WINEPREFIX=prefix; the one whose command line names exe
// goes to *window.
std::vector<pid_t> WineProcesses(const std::string& prefix, const std::string& exe, pid_t* window) {
  std::vector<pid_t> pids;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return pids;
  const std::string wanted = std::string("WINEPREFIX=") + prefix;
  while (struct dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    const std::string base = std::string("/proc/") + entry->d_name;
    const std::string environment = ReadFile(base + "/environ");
    bool bOurs = false;
    for (size_t at = 0; at < environment.size();) {
      const size_t end = environment.find('\0', at);
      const std::string variable =
          environment.substr(at, end == std::string::npos ? std::string::npos : end - at);
      if (variable == wanted) bOurs = true;
      if (end == std::string::npos) break;
      at = end + 1;
    }
    if (!bOurs) continue;
    pids.push_back(pid);
    const std::string name = exe.substr(exe.rfind('/') + 1);
    if (ReadFile(base + "/cmdline").find(name) != std::string::npos) *window = pid;
  }
  closedir(proc);
  return pids;
}

double ConsoleIdle(std::string& note) {
  cTempFolder folder;
  if (!bench::MakeStore(folder, "VSR450_idle.pkg", "main_020105.bin", 40000, 3)) {
    note = "could not lay out the package store";
    return -1;
  }
  const std::string bin = bench::ExecutableFolder();
  cTestSimulator simulator;
  if (!simulator.StartTool(
          bin + "/halvex-sim",
          {"--log", folder.PathOf("sim.log"), "--installer-start-ms", "200", "--boot-ms", "300"})) {
    note = "the simulator did not start";
    return -1;
  }
  cChildProcess installer;
  if (!installer.Start({bin + "/halvex-installer", "-AUTO", "-CONSOLE", "-PORT=COM1"},
                       {{"HALVEX_COM1", simulator.GetPath()}}, folder.GetPath()) ||
      !installer.WaitForOutput(" Done!", 60000)) {
    note = "the run did not end \" Done!\"";
    return -1;
  }
  installer.Wait(500);  // let the last steps settle
  if (installer.HasEnded()) {
    note = "the program ended although -CONSOLE was given";
    return -1;
  }
  const double percent = MeasurePercent({installer.GetPid()});
  installer.Kill();
  return percent;
}

double WindowIdle(const std::string& exe, std::string& note, double& wineTotal) {
  const char* prefix = std::getenv("WINEPREFIX");
  if (exe.empty()) {
    note = "no Windows build given (--wine-exe)";
    return -1;
  }
  if (access(exe.c_str(), R_OK) != 0) {
    note = exe + " is missing";
    return -1;
  }
  if (prefix == nullptr || std::getenv("DISPLAY") == nullptr) {
    note = "WINEPREFIX and DISPLAY must be set";
    return -1;
  }
  cTempFolder folder;
  if (folder.GetPath().empty()) {
    note = "could not make a working folder";
    return -1;
  }
  folder.MakeFolder("packages");
  cChildProcess wine;
  if (!wine.Start({"/usr/bin/wine", exe}, {}, folder.GetPath())) {
    note = "wine did not start";
    return -1;
  }
  // Wine takes a few seconds to start; a build without the window ends at once.
  wine.Wait(10000);
  if (wine.HasEnded()) {
    note = "no window: the program ended with status " + std::to_string(wine.GetExitStatus());
    const std::string& err = wine.GetErr();
    const size_t line = err.find('\n');
    if (!err.empty()) note += " (" + err.substr(0, line) + ")";
    return -1;
  }
  pid_t window = -1;
  const std::vector<pid_t> all = WineProcesses(prefix, exe, &window);
  if (window < 0) window = wine.GetPid();
  double percent = -1;
  {
    double before = 0, after = 0;
    for (pid_t pid : all) before += std::max(0.0, bench::ProcessCpuSeconds(pid));
    percent = MeasurePercent({window});
    for (pid_t pid : all) after += std::max(0.0, bench::ProcessCpuSeconds(pid));
    wineTotal = 100.0 * (after - before) / WINDOW_S;  // about: the window's own 10 s included
  }
  wine.Kill();
  return percent;
}

void Row(const char* what, double percent, const std::string& note) {
  if (percent < 0) {
    std::printf("  %-52s %12s  %s\n", what, "not available", note.c_str());
  } else {
    std::printf("  %-52s %10.3f %%\n", what, percent);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string exe;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--wine-exe") exe = argv[i + 1];
  }
  std::string consoleNote, windowNote;
  double wineTotal = -1;
  const double console = ConsoleIdle(consoleNote);
  const double window = WindowIdle(exe, windowNote, wineTotal);
  std::printf("Idle CPU over %.0f s, percent of one core\n", WINDOW_S);
  Row("automatic mode with -CONSOLE after its run", console, consoleNote);
  Row("window under Wine, no installation (its process)", window, windowNote);
  if (window >= 0) Row("  the prefix's processes together (wineserver ...)", wineTotal, "");
  std::printf("  %-52s %12s\n", "target", "< 1 %");
  if (console >= 0) {
    std::printf("idle_cpu_console %.3f %%\n", console);
  } else {
    std::printf("idle_cpu_console not_available %%\n");
  }
  if (window >= 0) {
    std::printf("idle_cpu_window %.3f %%\n", window);
    std::printf("idle_cpu_window_wine_total %.3f %%\n", wineTotal);
  } else {
    std::printf("idle_cpu_window not_available %%\n");
  }
  return console >= 0 ? 0 : 1;
}
