#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/clock.h"

extern char** environ;

namespace {

// Starts argv in a process group of its own, standard input from /dev/null, standard output
// and error on outFd and errFd, in folder (empty: this one), with environment added to this
// process's variables. The child's pid, or -1.
int Spawn(const std::vector<std::string>& argv, const tEnvironment& environment,
          const std::string& folder, int outFd, int errFd) {
  if (argv.empty()) return -1;
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
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A process group of its own, so that a kill reaches whatever it started.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  const int result = posix_spawnp(&pid, argp[0], &actions, &attributes, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return result == 0 ? pid : -1;
}

void KillGroup(int pid) {
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
}

int DecodeStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

stProcessResult RunProcess(const std::vector<std::string>& argv, const tEnvironment& environment,
                           const std::string& folder, int64_t timeoutMs) {
  stProcessResult result;
  const int64_t start = platform::GetMonotonicMs();
  cChildProcess child;
  if (!child.Start(argv, environment, folder)) return result;
  if (!child.Wait(timeoutMs)) {
    result.bTimedOut = true;
    child.Kill();
  }
  result.exitStatus = result.bTimedOut ? -1 : child.GetExitStatus();
  result.out = child.GetOut();
  result.err = child.GetErr();
  result.cpuMs = child.GetCpuMs();
  result.elapsedMs = platform::GetMonotonicMs() - start;
  return result;
}

cChildProcess::~cChildProcess() {
  if (pid > 0 && !bEnded) Kill();
  if (outFd >= 0) close(outFd);
  if (errFd >= 0) close(errFd);
}

bool cChildProcess::Start(const std::vector<std::string>& argv, const tEnvironment& environment,
                          const std::string& folder) {
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return false;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return false;
  }
  startMs = platform::GetMonotonicMs();
  pid = Spawn(argv, environment, folder, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);
  if (pid < 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    return false;
  }
  outFd = outPipe[0];
  errFd = errPipe[0];
  return true;
}

void cChildProcess::Pump(int timeoutMs) {
  struct pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  char buffer[8192];
  if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
    const ssize_t count = read(outFd, buffer, sizeof(buffer));
    if (count > 0) {
      const int64_t ms = platform::GetMonotonicMs() - startMs;
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

void cChildProcess::Reap(bool bBlock) {
  if (pid <= 0 || bEnded) return;
  int status = 0;
  if (wait4(pid, &status, bBlock ? 0 : WNOHANG, &usage) != pid) return;
  bEnded = true;
  elapsedMs = platform::GetMonotonicMs() - startMs;
  exitStatus = DecodeStatus(status);
  // What is still in the pipes (a process it started may hold them open: no waiting on it).
  for (int i = 0; i < 20 && HasOpenPipe(); ++i) Pump(0);
  if (!partial.empty()) {
    lines.push_back({elapsedMs, partial});
    partial.clear();
  }
}

bool cChildProcess::Wait(int64_t timeoutMs) {
  const int64_t deadline = platform::GetMonotonicMs() + timeoutMs;
  while (!bEnded) {
    const int64_t left = deadline - platform::GetMonotonicMs();
    if (left <= 0) return false;
    if (HasOpenPipe()) {
      Pump(static_cast<int>(left < 50 ? left : 50));
    } else {
      platform::SleepMs(10);
    }
    Reap(false);
  }
  return true;
}

bool cChildProcess::WaitForOutput(const std::string& text, int64_t timeoutMs) {
  const int64_t deadline = platform::GetMonotonicMs() + timeoutMs;
  for (;;) {
    if (out.find(text) != std::string::npos) return true;
    if (bEnded || platform::GetMonotonicMs() >= deadline) return false;
    if (HasOpenPipe()) {
      Pump(50);
    } else {
      platform::SleepMs(10);
    }
    Reap(false);
  }
}

void cChildProcess::Kill() {
  if (pid <= 0 || bEnded) return;
  KillGroup(pid);
  Reap(true);
}

void cChildProcess::Stop(int64_t graceMs) {
  if (pid <= 0 || bEnded) return;
  kill(pid, SIGTERM);
  if (!Wait(graceMs)) Kill();
}

int64_t cChildProcess::LineTime(const std::string& prefix) const {
  for (const sOutputLine& line : lines) {
    if (line.text.compare(0, prefix.size(), prefix) == 0) return line.ms;
  }
  return -1;
}

int64_t cChildProcess::GetCpuMs() const {
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

cBackgroundProcess::~cBackgroundProcess() {
  Stop();
}

bool cBackgroundProcess::Start(const std::vector<std::string>& argv,
                               const tEnvironment& environment, const std::string& logPath) {
  Stop();
  const int log = open(logPath.empty() ? "/dev/null" : logPath.c_str(),
                       O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (log < 0) return false;
  pid = Spawn(argv, environment, "", log, log);
  close(log);
  return pid > 0;
}

bool cBackgroundProcess::IsRunning() {
  if (pid <= 0) return false;
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) == pid) {
    pid = -1;
    return false;
  }
  return true;
}

int cBackgroundProcess::Stop() {
  if (pid <= 0) return -1;
  kill(pid, SIGTERM);
  int status = 0;
  const int64_t deadline = platform::GetMonotonicMs() + 5000;
  while (platform::GetMonotonicMs() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      return DecodeStatus(status);
    }
    platform::SleepMs(10);
  }
  KillGroup(pid);
  waitpid(pid, &status, 0);
  pid = -1;
  return -1;
}
