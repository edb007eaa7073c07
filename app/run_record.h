// The run record: what one run achieved, as one JSON object written at its end ("-REPORT=").
// The trace says what happened on the line; this says what came of it, for benches and scripts.
//
//   stRunRecord record;
//   record.startedMs = GetUtcMs();
//   ...
//   std::string why;
//   if (!WriteRunRecord(record, "report.json", why)) ...  // the file is as it was before
#ifndef HALVEX_APP_RUN_RECORD_H
#define HALVEX_APP_RUN_RECORD_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/package_store.h"

// The instrument as it identified itself. Texts are taken as the instrument sent them: bytes
// that are not UTF-8 are replaced (U+FFFD) in the file.
struct stRunInstrument {
  bool bKnown = false;  // false: the record says null (it never identified itself)
  std::string szManufacturer;
  std::string szModel;
  std::string szSerial;
  std::string szVersion;
  // The MAIN, GPIB and FPGA versions it reported ("VERSIONS?"); an empty one is null.
  std::string szVersions[FILE_TYPE_MAX];
};

// One image of the package.
struct stRunImage {
  std::string szType;  // "MAIN", "GPIB" or "FPGA"
  std::string szName;  // the name the package gives
  std::optional<uint64_t> size;
  // Of what the check read; once a pass completed, of what that pass sent. Empty: null.
  std::string szSha256;
  int passes = 0;  // transfers of it begun
  // "sent" (delivered, every packet answered), "uncertain" (delivered, but a packet went
  // unanswered: it may hold one twice), "failed" (it could not be read whole while it was sent),
  // "cut" (a pass that never ended: a time limit, Cancel), "not-sent"
  std::string szResult;
};

// Seconds each phase took; a phase that was not reached is null.
struct stRunPhases {
  std::optional<double> connect;         // the instrument connection and identification
  std::optional<double> installerStart;  // "INSTALL" until the installer answers
  std::optional<double> transfer;        // every pass of every image
  std::optional<double> back;            // the exit word until the instrument answers again
};

struct stRunRecord {
  std::string szProgram = "halvex-installer";
  std::string szVersion;
  int64_t startedMs = 0;  // UTC milliseconds since 1970 (GetUtcMs); 0: null
  int64_t endedMs = 0;
  std::string szPortName;  // "COM1", "rfc2217://bench3:2217"; empty: null
  // What it maps to, e.g. "/dev/ttyUSB0" or "\\.\COM1"; a network port's address, e.g.
  // "192.0.2.7:2217" (its name while it was never reached); empty: null
  std::string szPortDevice;
  unsigned baud = 0;  // of the instrument connection; 0: null
  stRunInstrument before;
  stRunInstrument after;
  std::string szPackage;  // the package's path; empty: null
  std::vector<stRunImage> images;
  int portsLost = 0;
  double secondsAway = 0.0;  // the ports' time away, in all
  stRunPhases phases;
  std::optional<int> exitStatus;  // the program's; none for the window's installations: null
  std::string szReason;   // a stable code: "done", "preflight", "checksum", "uncertain", ...
  std::string szMessage;  // the last report line, in words (a line end is dropped)
};

// The present time, UTC milliseconds since 1970.
int64_t GetUtcMs();
// ISO 8601 in UTC with milliseconds, e.g. "2026-12-08T20:32:18.941Z".
std::string FormatUtcTime(int64_t utcMs);

// The record as JSON text: one object, two-space indented, keys in the order of stRunRecord
// (program, version, started, ended, port {name, device}, baud, instrument_before,
// instrument_after {manufacturer, model, serial, version, versions {MAIN, GPIB, FPGA}}, package,
// images [{type, name, size, sha256, passes, result}], ports_lost {count, seconds_away}, phases
// {connect, installer_start, transfer, return}, exit_status, reason, message), ending in a line
// end. False (text empty) when it cannot be made; nothing throws.
bool FormatRunRecord(const stRunRecord& record, std::string& text);

// Writes the record to szPath atomically: a temporary file beside it, then a replacing rename,
// so a reader finds the old file or the whole new one. False with a reason in szError; the
// temporary file is then gone.
bool WriteRunRecord(const stRunRecord& record, const std::string& szPath, std::string& szError);

// The line that says why szName (the name given with "-REPORT=") cannot be written: an empty
// name, a folder, a folder that does not exist, a folder where no file can be made (tried with
// a temporary file, removed at once); empty when it can. The line ends in "\r\n"; the run is
// then refused as for "-TRACE=" (status 7).
std::string CheckReportFile(const std::string& szName);

#endif
