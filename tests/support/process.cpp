#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/clock.h"

namespace {

// Builds argv/envp arrays and execs; only called in the child.
[[noreturn]] void Exec(const std::vector<std::string>& argv,
                       const std::vector<std::pair<std::string, std::string>>& environment,
                       const std::string& folder) {
  for (const auto& variable : environment) {
    setenv(variable.first.c_str(), variable.second.c_str(), 1);
  }
  if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

int DecodeStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

stProcessResult RunProcess(const std::vector<std::string>& argv,
                           const std::vector<std::pair<std::string, std::string>>& environment,
                           const std::string& folder, int64_t timeoutMs) {
  stProcessResult result;
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
  const int64_t start = platform::GetMonotonicMs();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, 0);
    close(outPipe[0]);
    close(errPipe[0]);
    // A process group of its own, so a timeout can stop everything it started.
    setpgid(0, 0);
    Exec(argv, environment, folder);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  if (pid < 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    return result;
  }
  const int64_t deadline = start + timeoutMs;
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    const int64_t remaining = deadline - platform::GetMonotonicMs();
    if (remaining <= 0) {
      result.bTimedOut = true;
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      break;
    }
    struct pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                            {errOpen ? errPipe[0] : -1, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(remaining < 200 ? remaining : 200)) < 0 && errno != EINTR) {
      break;
    }
    char buffer[4096];
    for (int i = 0; i < 2; i++) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t count = read(fds[i].fd, buffer, sizeof(buffer));
      if (count > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(count));
      } else {
        (i == 0 ? outOpen : errOpen) = false;
      }
    }
  }
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  struct rusage usage;
  wait4(pid, &status, 0, &usage);
  result.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
  result.exitStatus = result.bTimedOut ? -1 : DecodeStatus(status);
  result.elapsedMs = platform::GetMonotonicMs() - start;
  return result;
}

cBackgroundProcess::~cBackgroundProcess() {
  Stop();
}

bool cBackgroundProcess::Start(const std::vector<std::string>& argv,
                               const std::vector<std::pair<std::string, std::string>>& environment,
                               const std::string& logPath) {
  Stop();
  const pid_t child = fork();
  if (child == 0) {
    int log =
        open(logPath.empty() ? "/dev/null" : logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log >= 0) {
      dup2(log, 1);
      dup2(log, 2);
    }
    setpgid(0, 0);
    Exec(argv, environment, "");
  }
  pid = child;
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
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  pid = -1;
  return -1;
}
