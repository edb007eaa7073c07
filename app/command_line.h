// The option grammar of the command line and the start-up log.
#ifndef HALVEX_APP_COMMAND_LINE_H
#define HALVEX_APP_COMMAND_LINE_H

#include <string>
#include <vector>

#include "comm/comm.h"
#include "comm/network_port.h"
#include "platform/command_line.h"

// Serial settings chosen on the command line.
struct stCommandLineCom {
  bool bPortSet = false;    // a valid "-PORT=" was seen
  ePort port = PORT_NONE;   // COMn, 1 to 16 when bPortSet and not bNetwork
  eBaud baud = BAUD_57600;  // rate for talking to the instrument
  bool bNetwork = false;    // the port is one of a serial device server (bPortSet too)
  stNetworkPort network;    // "rfc2217://HOST:PORT" or "socket://HOST:PORT" when bNetwork
};

// Package named on the command line.
struct stCommandLinePkg {
  bool bFound = false;      // the package file named by the last "-PKG=" is a regular file
  std::string packageFile;  // path of that package file
};

// Everything the options say.
struct stCommandLine {
  bool bAuto = false;
  bool bConsole = false;
  bool bPackageNamed = false;  // a "-PKG=" was given
  stCommandLineCom com;
  stCommandLinePkg pkg;
  bool bTraceNamed = false;   // a "-TRACE=" was given
  std::string traceFile;      // the last one's file name
  bool bReportNamed = false;  // a "-REPORT=" was given
  std::string reportFile;     // the last one's file name
  bool bPorts = false;        // "-PORTS": list the serial ports
  bool bVersion = false;      // "--version"
  bool bHelp = false;         // "-HELP", "--help" or "-?"
  bool bList = false;         // "-LIST": list the package store
  bool bInfo = false;         // "-INFO": show the instrument and what would be installed
  // The arguments that held an option other than "-PORTS", "--version", the help and "-LIST",
  // as given.
  std::vector<std::string> otherOptions;
};

// Reads the options from argument 1 on. pathPrefix is written in front of "packages". The
// options added for the field ("-TRACE=", "-REPORT=", "-PORTS", "--version", "-HELP", "--help",
// "-?", then "-LIST" and "-INFO") are looked for after the others, in that order, so an argument
// means what it meant before they existed.
stCommandLine ReadCommandLine(const std::vector<platform::stArgument>& arguments,
                              const std::string& pathPrefix);

// "Program Entry @ <argument 0>\r\n", one "Arg%d: %s\r\n" line per argument, "\r\n".
std::string FormatStartupLog(const std::vector<platform::stArgument>& arguments);

#endif
