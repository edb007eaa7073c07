#include "app/information_options.h"

#include <cstdio>
#include <vector>

#include "app/exit_status.h"
#include "app/globals.h"
#include "app/run_log.h"
#include "app/store_listing.h"
#include "app/usage.h"
#include "platform/console.h"
#include "platform/notice.h"
#include "platform/port_list.h"

void ShowProgramText(const std::string& text, const std::string& problem, bool bUnattended) {
  if (bUnattended || platform::HasStandardOutput()) {
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

namespace {

// "A", "A and B", "A, B and C".
std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); i++) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

}  // namespace

bool RunInformationOptions(const stCommandLine& options, int& exitStatus) {
  if (options.bHelp) {
    ShowProgramText(GetUsageText(), std::string());
    exitStatus = 0;
    return true;
  }
  if (!options.bVersion && !options.bPorts && !options.bList) return false;

  std::string text;
  std::vector<std::string> alone;  // the options given that run alone
  if (options.bVersion) {
    text += GetVersionText();
    alone.push_back("--version");
  }
  if (options.bPorts) {
    for (const std::string& line : platform::ListSerialPorts(platform::GetPortRoots())) {
      text += line + "\n";
    }
    alone.push_back("-PORTS");
  }
  int status = EXIT_DONE;
  std::string listProblem;
  if (options.bList) {
    std::string listing;
    if (ListPackageStore(path, listing)) {
      text += listing;
    } else {
      listProblem = std::string("There is no folder \"") + path +
                    "packages\" here: no package store to list.\n";
      status = EXIT_COMMAND_LINE;
    }
    alone.push_back("-LIST");
  }
  // Alone they only answer. With anything else the caller meant something that did not happen:
  // say so, and end with a status of its own.
  std::string others;
  for (const std::string& option : options.otherOptions) others += " " + option;
  std::string problem;
  if (alone.size() > 1) {
    problem = JoinNames(alone) + " each run alone";
  } else if (!others.empty()) {
    problem = alone[0] + " runs alone";
  }
  if (!others.empty()) problem += "; not acted on:" + others;
  if (!problem.empty()) {
    problem += ". Nothing was installed.";
    status = EXIT_OPTIONS_CONFLICT;
  }
  ShowProgramText(text, problem.empty() ? listProblem : problem + "\n" + listProblem,
                  options.bAuto || options.bInfo);
  // A bench that asked for a record gets one saying that nothing was done, in place of the
  // record of an earlier run.
  if (status == EXIT_OPTIONS_CONFLICT && CheckReportOption(options).empty()) {
    SetRunReportFile(options.reportFile);
    BeginRunLog(options.com, true);
    EndRunLog(status, problem);
  }
  exitStatus = status;
  return true;
}
