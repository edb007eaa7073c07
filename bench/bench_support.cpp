#include "bench/bench_support.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace bench {

bool WriteImage(const std::string& path, uint64_t size, uint32_t seed) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::mt19937 random(seed);
  std::vector<uint32_t> block(16384);
  bool bOk = true;
  for (uint64_t written = 0; written < size && bOk;) {
    for (uint32_t& word : block) word = random();
    const uint64_t bytes = block.size() * sizeof(uint32_t);
    const size_t count = static_cast<size_t>(size - written < bytes ? size - written : bytes);
    bOk = std::fwrite(block.data(), 1, count, file) == count;
    written += count;
  }
  return std::fclose(file) == 0 && bOk;
}

bool MakeStore(const cTempFolder& folder, const std::string& package, const std::string& image,
               uint64_t size, uint32_t seed) {
  if (folder.GetPath().empty()) return false;
  folder.WriteFile("packages/" + package, "[files]\r\nmain=" + image + "\r\n");
  folder.MakeFolder("files");
  return WriteImage(folder.PathOf("files/" + image), size, seed);
}

std::string ExecutableFolder() {
  char szPath[4096];
  const ssize_t n = readlink("/proc/self/exe", szPath, sizeof(szPath) - 1);
  if (n <= 0) return ".";
  std::string path(szPath, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

std::vector<sTranscriptLine> ReadTranscript(const std::string& path) {
  std::vector<sTranscriptLine> result;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    sTranscriptLine entry;
    if (!(fields >> entry.seconds >> entry.mark)) continue;
    std::getline(fields, entry.text);
    if (!entry.text.empty() && entry.text[0] == ' ') entry.text.erase(0, 1);
    result.push_back(entry);
  }
  return result;
}

int64_t sInstallationResult::LineMs(const std::string& prefix) const {
  for (const sOutputLine& line : lines) {
    if (line.text.compare(0, prefix.size(), prefix) == 0) return line.ms;
  }
  return -1;
}

namespace {

const char IMAGE[] = "main_020105.bin";

}  // namespace

bool cInstallationRun::Prepare(const sInstallation& runSetup) {
  setup = runSetup;
  if (!MakeStore(folder, "VSR450_bench.pkg", IMAGE, setup.imageSize, setup.seed)) return false;
  const std::string bin = ExecutableFolder();
  std::vector<std::string> options = {"--log",  folder.PathOf("sim.log"), "--model",
                                      "VSR450", "--main-version",         "2.0.3"};
  options.insert(options.end(), setup.simOptions.begin(), setup.simOptions.end());
  simulator = std::make_unique<cTestSimulator>(setup.port);
  bPrepared = simulator->StartTool(bin + "/halvex-sim", options) &&
              (!setup.bThroughSer2net || server.Start(simulator->GetPath(), SER2NET_RFC2217));
  return bPrepared;
}

bool cInstallationRun::Launch() {
  if (!bPrepared) return false;
  const std::string bin = ExecutableFolder();
  const std::string port = std::to_string(setup.port);
  const std::string portArgument =
      setup.bThroughSer2net ? "-PORT=rfc2217://127.0.0.1:" + std::to_string(server.Port())
                            : "-PORT=COM" + port;
  std::vector<std::string> argv = {bin + "/halvex-installer", "-AUTO", portArgument};
  argv.insert(argv.end(), setup.extraArguments.begin(), setup.extraArguments.end());
  bStarted = installer.Start(argv, {{"HALVEX_COM" + port, simulator->GetPath()}}, folder.GetPath());
  return bStarted;
}

sInstallationResult cInstallationRun::Finish() {
  sInstallationResult result;
  if (!bStarted) return result;
  result.bStarted = true;
  if (!installer.Wait(setup.timeoutMs)) installer.Kill();
  server.Stop();
  simulator->Stop();
  result.violations = simulator->Violations();
  result.exitStatus = installer.GetExitStatus();
  result.elapsedMs = installer.GetElapsedMs();
  result.lines = installer.GetLines();
  result.out = installer.GetOut();
  result.usage = installer.GetUsage();
  result.transcript = ReadTranscript(folder.PathOf("sim.log"));
  result.bIdentical = SameFileBytes(folder.PathOf(std::string("files/") + IMAGE),
                                    simulator->StoreDir() + "/" + IMAGE);
  const std::string sizeText = "(" + std::to_string(setup.imageSize) + ")";
  for (const sTranscriptLine& line : result.transcript) {
    if (line.mark != "<") continue;
    if (line.text.compare(0, 15, "packet 4 bytes,") == 0 && line.text.size() >= sizeText.size() &&
        line.text.compare(line.text.size() - sizeText.size(), sizeText.size(), sizeText) == 0 &&
        result.endOfFileS < 0) {
      result.sizePacketS = line.seconds;  // the last one before the marker counts
    } else if (line.text == "end-of-file marker" && result.sizePacketS >= 0 &&
               result.endOfFileS < 0) {
      result.endOfFileS = line.seconds;
    }
  }
  return result;
}

sInstallationResult RunInstallation(const sInstallation& setup) {
  cInstallationRun run;
  if (run.Prepare(setup)) run.Launch();
  return run.Finish();
}

double ProcessCpuSeconds(pid_t pid) {
  // Nanoseconds on a processor, summed over the threads (schedstat); the tick counts of stat
  // when that is not there.
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  if (DIR* folder = opendir(tasks.c_str())) {
    unsigned long long ns = 0;
    bool bAny = false;
    while (struct dirent* entry = readdir(folder)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
      unsigned long long taskNs = 0;
      if (schedstat >> taskNs) {
        ns += taskNs;
        bAny = true;
      }
    }
    closedir(folder);
    if (bAny) return static_cast<double>(ns) / 1e9;
  }
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(file, text)) return -1;
  // The fields after the command name (which may hold blanks) in parentheses.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long user = 0, system = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) user = std::strtoull(field.c_str(), nullptr, 10);
    if (i == 15) system = std::strtoull(field.c_str(), nullptr, 10);
  }
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace bench
