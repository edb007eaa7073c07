#include "app/information_options.h"

#include <cstdio>

#include "app/exit_status.h"
#include "app/usage.h"
#include "platform/console.h"
#include "platform/notice.h"
#include "platform/port_list.h"

void ShowProgramText(const std::string& text, const std::string& problem) {
  if (platform::HasStandardOutput()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (!problem.empty()) {
      std::fputs(problem.c_str(), stderr);
      std::fflush(stderr);
    }
    return;
  }
  platform::ShowNotice((problem.empty() ? text : text + "\n" + problem).c_str(),
                       "Halvex Software Installer",
                       problem.empty() ? platform::NOTICE_INFORMATION : platform::NOTICE_WARNING);
}

bool RunInformationOptions(const stCommandLine& options, int& exitStatus) {
  if (options.bHelp) {
    ShowProgramText(GetUsageText(), std::string());
    exitStatus = 0;
    return true;
  }
  if (!options.bVersion && !options.bPorts) return false;

  std::string text;
  if (options.bVersion) text += GetVersionText();
  if (options.bPorts) {
    for (const std::string& line : platform::ListSerialPorts(platform::GetPortRoots())) {
      text += line + "\n";
    }
  }
  // Alone they only answer. With anything else the caller meant something that did not happen:
  // say so, and end with a status of its own.
  std::string others;
  for (const std::string& option : options.otherOptions) others += " " + option;
  std::string problem;
  if (options.bVersion && options.bPorts) {
    problem = "--version and -PORTS each run alone";
  } else if (!others.empty()) {
    problem = std::string(options.bPorts ? "-PORTS" : "--version") + " runs alone";
  }
  if (!others.empty()) problem += "; not acted on:" + others;
  if (!problem.empty()) problem += ". Nothing was installed.\n";
  ShowProgramText(text, problem);
  exitStatus = problem.empty() ? 0 : EXIT_OPTIONS_CONFLICT;
  return true;
}
