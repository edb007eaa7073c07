#include "bench/bench_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace bench {

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// ---------------------------------------------------------------------------------------------

cChild::~cChild() {
  if (pid > 0 && !bEnded) Kill();
  if (outFd >= 0) close(outFd);
  if (errFd >= 0) close(errFd);
}

bool cChild::Start(const std::vector<std::string>& argv, const tEnvironment& environment,
                   const std::string& folder) {
  int outPipe[2], errPipe[2];
  if (argv.empty() || pipe2(outPipe, O_CLOEXEC) != 0) return false;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return false;
  }
  // The environment: ours, with the given variables replacing those of the same name.
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool bReplaced = false;
    for (const auto& variable : environment) bReplaced = bReplaced || variable.first == name;
    if (!bReplaced) variables.push_back(text);
  }
  for (const auto& variable : environment) {
    variables.push_back(variable.first + "=" + variable.second);
  }
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(&variable[0]);
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& arg : args) argp.push_back(&arg[0]);
  argp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A process group of its own, so that a kill reaches whatever it started.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  startMs = NowMs();
  const int result = posix_spawn(&pid, argp[0], &actions, &attributes, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(outPipe[1]);
  close(errPipe[1]);
  if (result != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    pid = -1;
    return false;
  }
  outFd = outPipe[0];
  errFd = errPipe[0];
  return true;
}

void cChild::Pump(int timeoutMs) {
  struct pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  char buffer[8192];
  if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
    const ssize_t count = read(outFd, buffer, sizeof(buffer));
    if (count > 0) {
      const int64_t ms = NowMs() - startMs;
      out.append(buffer, static_cast<size_t>(count));
      partial.append(buffer, static_cast<size_t>(count));
      size_t end;
      while ((end = partial.find('\n')) != std::string::npos) {
        std::string text = partial.substr(0, end);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        lines.push_back({ms, text});
        partial.erase(0, end + 1);
      }
    } else {
      close(outFd);
      outFd = -1;
    }
  }
  if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
    const ssize_t count = read(errFd, buffer, sizeof(buffer));
    if (count > 0) {
      err.append(buffer, static_cast<size_t>(count));
    } else {
      close(errFd);
      errFd = -1;
    }
  }
}

void cChild::Reap(bool bBlock) {
  if (pid <= 0 || bEnded) return;
  int status = 0;
  const pid_t done = wait4(pid, &status, bBlock ? 0 : WNOHANG, &usage);
  if (done != pid) return;
  bEnded = true;
  elapsedMs = NowMs() - startMs;
  exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  // Whatever is still in the pipes (a grandchild may hold them open: do not wait on it).
  for (int i = 0; i < 20 && (outFd >= 0 || errFd >= 0); ++i) Pump(0);
  if (!partial.empty()) {
    lines.push_back({elapsedMs, partial});
    partial.clear();
  }
}

bool cChild::Wait(int64_t timeoutMs) {
  const int64_t deadline = NowMs() + timeoutMs;
  while (!bEnded) {
    const int64_t left = deadline - NowMs();
    if (left <= 0) return false;
    if (outFd >= 0 || errFd >= 0) {
      Pump(static_cast<int>(left < 50 ? left : 50));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Reap(false);
  }
  return true;
}

bool cChild::WaitForOutput(const std::string& text, int64_t timeoutMs) {
  const int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    if (out.find(text) != std::string::npos) return true;
    if (bEnded || NowMs() >= deadline) return false;
    if (outFd >= 0 || errFd >= 0) {
      Pump(50);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Reap(false);
  }
}

void cChild::Kill() {
  if (pid <= 0 || bEnded) return;
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  Reap(true);
}

void cChild::Stop(int64_t graceMs) {
  if (pid <= 0 || bEnded) return;
  kill(pid, SIGTERM);
  if (!Wait(graceMs)) Kill();
}

int64_t cChild::LineTime(const std::string& prefix) const {
  for (const sOutputLine& line : lines) {
    if (line.text.compare(0, prefix.size(), prefix) == 0) return line.ms;
  }
  return -1;
}

// ---------------------------------------------------------------------------------------------

cScratch::cScratch(const std::string& tag) {
  std::string pattern = "/tmp/halvex-" + tag + "-XXXXXX";
  if (mkdtemp(&pattern[0]) != nullptr) path = pattern;
}

static void RemoveTree(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    DIR* folder = opendir(path.c_str());
    if (folder != nullptr) {
      while (struct dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") RemoveTree(path + "/" + name);
      }
      closedir(folder);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

cScratch::~cScratch() {
  if (!path.empty()) RemoveTree(path);
}

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

bool WriteText(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool bOk = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && bOk;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
  if (!first || !second) return false;
  std::vector<char> x(1 << 16), y(1 << 16);
  for (;;) {
    first.read(x.data(), static_cast<std::streamsize>(x.size()));
    second.read(y.data(), static_cast<std::streamsize>(y.size()));
    const std::streamsize n = first.gcount();
    if (n != second.gcount()) return false;
    if (n == 0) return true;
    if (std::memcmp(x.data(), y.data(), static_cast<size_t>(n)) != 0) return false;
  }
}

uint64_t FileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

bool MakeStore(const std::string& folder, const std::string& package, const std::string& image,
               uint64_t size, uint32_t seed) {
  mkdir((folder + "/packages").c_str(), 0755);
  mkdir((folder + "/files").c_str(), 0755);
  return WriteText(folder + "/packages/" + package, "[files]\r\nmain=" + image + "\r\n") &&
         WriteImage(folder + "/files/" + image, size, seed);
}

std::string ExecutableFolder() {
  char szPath[4096];
  const ssize_t n = readlink("/proc/self/exe", szPath, sizeof(szPath) - 1);
  if (n <= 0) return ".";
  std::string path(szPath, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

// ---------------------------------------------------------------------------------------------

bool cSimProcess::Start(const std::string& simPath, const std::string& link,
                        const std::string& store, const std::string& log,
                        const std::vector<std::string>& options) {
  std::vector<std::string> argv = {simPath, "--pty", link, "--store", store, "--log", log};
  argv.insert(argv.end(), options.begin(), options.end());
  if (!child.Start(argv, {}, "")) return false;
  // It says so on stderr once the link exists.
  const int64_t deadline = NowMs() + 10000;
  while (NowMs() < deadline && !child.HasEnded()) {
    struct stat info;
    if (child.GetErr().find("serving") != std::string::npos && lstat(link.c_str(), &info) == 0) {
      return true;
    }
    child.Wait(20);
  }
  return false;
}

std::string cSimProcess::Stop() {
  child.Stop();
  std::string violations;
  std::istringstream text(child.GetErr());
  std::string line;
  while (std::getline(text, line)) {
    const std::string mark = "violation: ";
    const size_t at = line.find(mark);
    if (at != std::string::npos) violations += line.substr(at + mark.size()) + "\n";
  }
  return violations;
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

sInstallationResult RunInstallation(const sInstallation& setup) {
  sInstallationResult result;
  cScratch folder("bench");
  const std::string image = "main_020105.bin";
  if (!folder.IsValid() ||
      !MakeStore(folder.Path(), "VSR450_bench.pkg", image, setup.imageSize, 20105)) {
    return result;
  }
  const std::string bin = ExecutableFolder();
  const std::string link = folder.Path() + "/ttyHALVEX";
  const std::string log = folder.Path() + "/sim.log";
  const std::string store = folder.Path() + "/instrument";
  std::vector<std::string> options = {"--model", "VSR450", "--main-version", "2.0.3"};
  options.insert(options.end(), setup.simOptions.begin(), setup.simOptions.end());
  cSimProcess simulator;
  if (!simulator.Start(bin + "/halvex-sim", link, store, log, options)) return result;
  std::vector<std::string> argv = {bin + "/halvex-installer", "-AUTO", "-PORT=COM1"};
  argv.insert(argv.end(), setup.extraArguments.begin(), setup.extraArguments.end());
  cChild installer;
  if (!installer.Start(argv, {{"HALVEX_COM1", link}}, folder.Path())) {
    simulator.Stop();
    return result;
  }
  result.bStarted = true;
  if (!installer.Wait(setup.timeoutMs)) installer.Kill();
  result.violations = simulator.Stop();
  result.exitStatus = installer.GetExitStatus();
  result.elapsedMs = installer.GetElapsedMs();
  result.lines = installer.GetLines();
  result.out = installer.GetOut();
  result.usage = installer.GetUsage();
  result.transcript = ReadTranscript(log);
  result.bIdentical = SameFile(folder.Path() + "/files/" + image, store + "/" + image);
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

std::string DescribeMachine() {
  std::string model = "unknown processor";
  std::ifstream cpu("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpu, line)) {
    if (line.compare(0, 10, "model name") == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  long memoryKb = 0;
  std::ifstream memory("/proc/meminfo");
  while (std::getline(memory, line)) {
    if (line.compare(0, 9, "MemTotal:") == 0) memoryKb = std::atol(line.c_str() + 9);
  }
  struct utsname names;
  uname(&names);
  char szText[512];
  std::snprintf(szText, sizeof(szText), "%s, %ld cores, %.1f GiB, %s %s", model.c_str(),
                sysconf(_SC_NPROCESSORS_ONLN), static_cast<double>(memoryKb) / 1048576.0,
                names.sysname, names.release);
  return szText;
}

}  // namespace bench
