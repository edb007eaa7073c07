#include "app/command_line.h"

#include <cstdio>

#include "platform/files.h"
#include "util/hstring.h"

// A network port, "rfc2217://HOST:PORT" or "socket://HOST:PORT", as the whole value up to its
// first line end; otherwise "COM" followed by 1 to 16, anywhere in it. A value that begins with
// one of the two schemes is a network port or nothing: "socket://COM5" names no COM port. A
// number too large for an int is refused like any number above 16.
static void ReadPort(const std::string& value, stCommandLineCom& com) {
  cHString argument;
  argument.SetString(value);
  const std::string text = argument.GetStringNoTerm();
  if (text.compare(0, 10, "rfc2217://") == 0 || text.compare(0, 9, "socket://") == 0) {
    stNetworkPort network;
    if (!ParseNetworkPort(text.c_str(), &network)) return;
    com.bNetwork = true;
    com.network = network;
    com.port = PORT_NONE;
    com.bPortSet = true;
    return;
  }
  const size_t found = text.find("COM");
  if (found == std::string::npos) return;
  cHString number;
  number.SetString(text.substr(found + 3));
  if (!number.isUnsignedNumber()) return;
  const std::string digits = number.GetString();
  unsigned n = 0;
  for (char digit : digits) {
    n = n * 10 + static_cast<unsigned>(digit - '0');
    if (n > MAX_PORT) return;
  }
  if (n < 1) return;
  com.port = static_cast<ePort>(n);
  com.bNetwork = false;
  com.network = stNetworkPort();
  com.bPortSet = true;
}

static void ReadBaud(const std::string& value, stCommandLineCom& com) {
  cHString argument;
  argument.SetString(value);
  if (!argument.isUnsignedNumber()) return;
  static const struct {
    const char* text;
    eBaud baud;
  } rates[] = {{"9600", BAUD_9600},
               {"19200", BAUD_19200},
               {"38400", BAUD_38400},
               {"57600", BAUD_57600},
               {"115200", BAUD_115200}};
  for (const auto& rate : rates) {
    if (value.find(rate.text) != std::string::npos) {
      com.baud = rate.baud;
      return;
    }
  }
  com.baud = BAUD_57600;
}

static void ReadPackage(const platform::stArgument& argument, const std::string& value,
                        const std::string& pathPrefix, stCommandLinePkg& pkg) {
  cHString name;
  name.SetString(value);
  // The trimmed lower-case copy is kept in an object of its own: the result strings are
  // shared and the next call would overwrite them.
  cHString lower;
  lower.SetString(name.GetStringTrimmedAllLower());
  const std::string typed = name.GetStringNoTerm();
  const std::string folder = pathPrefix + "packages" + platform::PATH_SEPARATOR;
  pkg.packageFile = lower.EndsWith(".pkg") ? folder + typed : folder + typed + ".pkg";
  // Only the last "-PKG=" counts, and only a regular file is a package. An argument whose
  // characters had no exact narrow form names nothing.
  pkg.bFound = argument.bExact && platform::IsRegularFile(pkg.packageFile);
}

stCommandLine ReadCommandLine(const std::vector<platform::stArgument>& arguments,
                              const std::string& pathPrefix) {
  stCommandLine options;
  for (size_t i = 1; i < arguments.size(); i++) {
    const std::string& text = arguments[i].text;
    size_t at;
    bool bOther = true;  // an option other than the information options
    if (text.find("-AUTO") != std::string::npos) {
      options.bAuto = true;
    } else if (text.find("-CONSOLE") != std::string::npos) {
      options.bConsole = true;
    } else if ((at = text.find("-PORT=")) != std::string::npos) {
      ReadPort(text.substr(at + 6), options.com);
    } else if ((at = text.find("-BAUD=")) != std::string::npos) {
      ReadBaud(text.substr(at + 6), options.com);
    } else if ((at = text.find("-PKG=")) != std::string::npos) {
      options.bPackageNamed = true;
      ReadPackage(arguments[i], text.substr(at + 5), pathPrefix, options.pkg);
    } else if ((at = text.find("-TRACE=")) != std::string::npos) {
      options.bTraceNamed = true;
      options.traceFile = text.substr(at + 7);
    } else if ((at = text.find("-REPORT=")) != std::string::npos) {
      options.bReportNamed = true;
      options.reportFile = text.substr(at + 8);
    } else {
      bOther = false;
      if (text.find("-PORTS") != std::string::npos) {
        options.bPorts = true;
      } else if (text.find("--version") != std::string::npos) {
        options.bVersion = true;
      } else if (text.find("-HELP") != std::string::npos ||
                 text.find("--help") != std::string::npos || text.find("-?") != std::string::npos) {
        options.bHelp = true;
      } else if (text.find("-LIST") != std::string::npos) {
        options.bList = true;
      } else if (text.find("-INFO") != std::string::npos) {
        options.bInfo = true;
        bOther = true;
      } else if (text.find("-ALL") != std::string::npos) {
        options.bAll = true;
        bOther = true;
      }
    }
    if (bOther) options.otherOptions.push_back(text);
  }
  return options;
}

std::string FormatStartupLog(const std::vector<platform::stArgument>& arguments) {
  std::string log = "Program Entry";
  if (!arguments.empty() && !arguments[0].text.empty()) log += " @ " + arguments[0].text;
  log += "\r\n";
  for (size_t i = 1; i < arguments.size(); i++) {
    log += "Arg" + std::to_string(i) + ": " + arguments[i].text + "\r\n";
  }
  log += "\r\n";
  return log;
}
