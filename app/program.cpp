#include "app/program.h"

#include <string>

#include "app/connections.h"
#include "app/exit_status.h"
#include "app/globals.h"
#include "app/information_options.h"
#include "app/instrument_info.h"
#include "app/output.h"
#include "app/port_choice.h"
#include "app/run_log.h"
#include "app/trace_option.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/locale.h"
#include "platform/notice.h"
#include "util/notice.h"
#include "util/trace.h"

// With a console the automatic loop goes on after the run; an idle pass sleeps this long so
// the waiting program does not burn a processor.
static const unsigned IDLE_PASS_SLEEP_MS = 50;

// "-INFO": the items on standard output and nothing else there (the start-up log goes only to a
// trace), problems on standard error; there too, first, the note of a socket:// port about the
// server's speed, which the automatic mode gives before it connects.
static int AnswerInfo(const stCommandLine& options,
                      const std::vector<platform::stArgument>& arguments) {
  // As in an automatic run, the record is written whenever the report file can be, even when
  // the trace's name is the problem.
  const std::string traceProblem = CheckTraceFile(options);
  const std::string reportProblem = CheckReportOption(options);
  if (reportProblem.empty()) SetRunReportFile(options.reportFile);
  BeginRunLog(options.com, true);
  const std::string fileProblem = !traceProblem.empty() ? traceProblem : reportProblem;
  if (!fileProblem.empty()) {
    ShowProgramText(std::string(), fileProblem, true);
    LogOutput(fileProblem);
    EndRunLog(EXIT_TRACE_FILE);
    return EXIT_TRACE_FILE;
  }
  StartTrace(options, FormatStartupLog(arguments));
  std::string text;
  std::string problem;
  const int status = RunInstrumentInfo(options, text, problem);
  const std::string note = GetFixedSpeedNote(options.com);
  const std::string said = (note.empty() ? note : note + ".\n") + problem;
  trace.Report(text + said);
  ShowProgramText(text, said, true);
  LogOutput(problem.empty() ? text : problem);
  EndRunLog(status);
  EndTrace(status);
  return status;
}

eProgramMode StartProgram(const std::vector<platform::stArgument>& arguments, int& answeredStatus) {
  platform::SetBinaryStdStreams();
  const stCommandLine options = ReadCommandLine(arguments, path);
  if (RunInformationOptions(options, answeredStatus)) return PROGRAM_ANSWERED;
  if (options.bInfo) {
    answeredStatus = AnswerInfo(options, arguments);
    return PROGRAM_ANSWERED;
  }

  bAuto = false;
  bConsole = false;
  last_pkg_path[0] = '\0';
  chosen_com_settings = stCommandLineCom();
  chosen_pkg_settings = stCommandLinePkg();
  bAuto = options.bAuto;
  bConsole = options.bConsole;
  if (bConsole) installer.SetConsole(true);
  chosen_com_settings = options.com;
  chosen_pkg_settings = options.pkg;
  SetAutoWholePackage(options.bAll);

  // The window shows notices in message boxes; an unattended run never waits for a user, so
  // there every notice is a line on standard error.
  SetNoticeSink(bAuto ? WriteNoticeLine : platform::ShowNotice);
  if (bConsole) platform::RedirectIOToConsole();
  const std::string startupLog = FormatStartupLog(arguments);
  WriteOutput(startupLog);

  installPackageState = INSTALL_IDLE;
  // A trace or report file that cannot be used ends the program before anything happens, the
  // way a package that is not found does, in either mode. An automatic run's record is written
  // whenever the report file can be, even when the trace's name is the problem.
  const std::string traceProblem = CheckTraceFile(options);
  const std::string reportProblem = CheckReportOption(options);
  if (reportProblem.empty()) SetRunReportFile(options.reportFile);
  if (bAuto) BeginRunLog(options.com, true);
  const std::string fileProblem = !traceProblem.empty() ? traceProblem : reportProblem;
  if (!fileProblem.empty()) {
    WriteOutput(fileProblem);
    // Where that line went nowhere the window says it in a box; an automatic run, which no one
    // may be watching, writes it on standard error instead.
    if (!platform::HasStandardOutput()) {
      if (bAuto) {
        ShowProgramText(std::string(), fileProblem, true);
      } else {
        platform::ShowNotice(fileProblem.c_str(), "Problem", platform::NOTICE_ERROR);
      }
    }
    SetAutoExitStatus(EXIT_TRACE_FILE);
    return PROGRAM_AUTOMATIC;
  }
  StartTrace(options, startupLog);

  if (options.bPackageNamed && chosen_pkg_settings.bFound) {
    installPackageState = INSTALL_CONNECTING;
    WriteOutput("Found package \"" + chosen_pkg_settings.packageFile + "\" ...\r\n");
  } else if (options.bPackageNamed) {
    WriteOutput("Package \"" + chosen_pkg_settings.packageFile + "\" not found!  Aborting ...\r\n");
    SetAutoExitStatus(EXIT_COMMAND_LINE);
  } else if (bAuto) {
    installPackageState = INSTALL_CONNECTING;
    WriteOutput("Package not specified.  Will use latest version available ...\r\n");
  }
  // A port that cannot change the speed says so before the run; one that cannot work at the
  // speed chosen ends it here.
  bool bRefused = false;
  const std::string speedLine = CheckFixedSpeed(chosen_com_settings, bRefused);
  if (bAuto && installPackageState == INSTALL_CONNECTING && !speedLine.empty()) {
    WriteOutput(speedLine);
    if (bRefused) {
      installPackageState = INSTALL_IDLE;
      SetAutoExitStatus(EXIT_COMMAND_LINE);
    }
  }

  language = ChooseLanguage(platform::GetUserPrimaryLanguage());
  return bAuto ? PROGRAM_AUTOMATIC : PROGRAM_WINDOW;
}

int RunAutomaticMode(const stAutoLimits& limits) {
  path[0] = '\0';
  SetAutoLimits(limits);
  bool bRecorded = false;
  for (;;) {
    if (AutoSequencerAtRest()) {
      // The run is over: its record is written now, since with a console the program stays
      // until the console is closed and may never reach EndProgram.
      if (!bRecorded) {
        EndRunLog(GetAutoExitStatus());
        bRecorded = true;
      }
      if (!bConsole) break;
      platform::SleepMs(IDLE_PASS_SLEEP_MS);
    }
    if (!UpdateAuto()) break;
  }
  return GetAutoExitStatus();
}

int EndProgram(int status) {
  // In the window, an installation that the window's end cut short has its record written here;
  // an automatic run's was written when it came to rest (RunAutomaticMode), so nothing is left.
  if (!bAuto) LogRunReason("cancelled");
  EndRunLog(status);
  WriteOutput("Exiting program ...");
  EndTrace(status);
  return status;
}
