// The run's events for its record ("-REPORT=", app/run_record.h). The sequencers, the steps they
// share and "-INFO" tell what happens through these hooks, each a single call where it happens;
// the record is made from them and written once, when the run ends. Until a run is begun (or
// without "-REPORT=") every hook does nothing, so a run without a record is the same as before.
//
//   SetRunReportFile(options.reportFile);       // at start-up, "-REPORT=" checked
//   BeginRunLog(options.com, true);             // an automatic run begins
//   ... LogRunState(state) once per pass, the other hooks as things happen ...
//   EndRunLog(status);                          // the record is written
//
// The hooks of the steps both sequencers share:
//   LogRunState      each pass, with the pass's state: the phases' seconds (connect: Connecting;
//                    installer start: Getting package, Waiting for installer; transfer: Getting
//                    file to Getting next file; return: Rebooting, Reconnecting), and the
//                    instrument as it identified itself when Reconnecting is left with it there
//   LogPassBegun     a transfer of the current file (fileType, filename, file_path) began:
//                    one more pass of that image
//   LogPassEnded     Waiting completion found that pass delivered (with or without an
//                    unanswered packet) or failed
//   LogPortChange    WatchPort's lost and back: the count and the seconds away
#ifndef HALVEX_APP_RUN_LOG_H
#define HALVEX_APP_RUN_LOG_H

#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/install_check.h"
#include "app/install_state.h"
#include "app/install_steps.h"
#include "app/preflight.h"

// The file the records are written to; empty (the default) records nothing.
void SetRunReportFile(const std::string& szFile);
// The line that says why the file named by "-REPORT=" cannot be written; empty when it can, or
// when none was named. The run is then refused as for "-TRACE=" (status 7).
std::string CheckReportOption(const stCommandLine& options);

// A run begins on com's port and rate (bAutomatic: an automatic run or "-INFO", whose record
// carries the exit status; the window's records carry none). Nothing when no file is set.
void BeginRunLog(const stCommandLineCom& com, bool bAutomatic);
bool IsRunLogOpen();

void LogRunState(eInstallPackageState state);
// The instrument identified itself at the start of the run (its identification and versions
// as the connection holds them now).
void LogInstrumentIdentified();
// The check of image iFileType of the package before the installer's start: the package, and
// the image's name, size and SHA-256. An image that fails it is the run's reason when the run
// ends with status 4.
void LogImageChecked(const std::string& szPackagePath, int iFileType, const stPreflight& check);
void LogPassBegun();
void LogPassEnded(eTransferOutcome outcome);
void LogPortChange(ePortChange change);
// The check of the MAIN version after the return; another version is the run's reason.
void LogVersionCheck(const stVersionCheck& check);
// A reason the other events do not show, e.g. "cancelled"; the run's first reason counts.
void LogRunReason(const char* szReason);
// A text written on standard output: its last line that is not a step or progress line (those
// begin with a blank) becomes the record's message.
void LogOutput(const std::string& text);
// The line that gave the run's reason, written after it (a version that differs, which "-ALL"
// can follow with the line of an image that verified): the record's message instead of the
// last line. The first one counts.
void LogReasonLine(const std::string& line);

// The run ends: the record is written (szMessage empty: the line LogReasonLine kept, else the
// last line LogOutput kept). The reason is the run's first one (a cut or failed transfer, a
// version that differs, a refused image, LogRunReason), else the exit status's ("done",
// "no-connection", "time-limit", ...). A record that cannot be written is a notice (Notify);
// false then. True without an open run.
bool EndRunLog(std::optional<int> exitStatus, const std::string& szMessage = std::string());

#endif
