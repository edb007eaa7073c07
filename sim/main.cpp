// halvex-sim: the instrument simulator as a tool. Serves until SIGTERM or SIGINT, then removes
// its link and exits 0.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/sim_command_line.h"
#include "sim/sim_engine.h"

int main(int argc, char** argv) {
  sim::sSimCommandLine commandLine;
  std::string szError;
  if (!sim::ParseSimCommandLine(argc, argv, commandLine, szError)) {
    fprintf(stderr, "halvex-sim: %s\n%s", szError.c_str(), sim::GetSimUsage().c_str());
    return 2;
  }
  if (commandLine.bHelp) {
    fputs(sim::GetSimUsage().c_str(), stdout);
    return 0;
  }

  // Block the signals before the serving thread exists, so only sigwait below takes them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  sim::cSimEngine engine(commandLine.options);
  if (!engine.Start(commandLine.szLink)) {
    fprintf(stderr, "halvex-sim: %s\n", engine.GetError().c_str());
    return 1;
  }
  fprintf(stderr, "halvex-sim: serving %s at %s\n", engine.GetSlavePath().c_str(),
          commandLine.szLink.c_str());

  int signal = 0;
  sigwait(&signals, &signal);
  engine.Stop();

  const std::vector<std::string> violations = engine.GetRecords().GetViolations();
  fprintf(stderr, "halvex-sim: stopped, %zu protocol violation(s)\n", violations.size());
  for (const std::string& szViolation : violations) {
    fprintf(stderr, "halvex-sim: violation: %s\n", szViolation.c_str());
  }
  return 0;
}
