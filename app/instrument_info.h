// "-INFO": what is connected, and what an automatic run would install on it, without
// installing. It sends the handshake, "ID?" and "VERSIONS?" and nothing else.
#ifndef HALVEX_APP_INSTRUMENT_INFO_H
#define HALVEX_APP_INSTRUMENT_INFO_H

#include <string>

#include "app/command_line.h"

// Connects on the options' port and rate as the automatic mode does and fills text, one item a
// line: manufacturer, model, serial number, the instrument's version, its MAIN, GPIB and FPGA
// versions; then the package an automatic run would take ("-PKG=", or the newest for the model)
// with each image's name, version and "same", "newer" or "older" than the instrument's, or
// "missing". problem receives the line(s) for standard error. Returns the exit status: 0 (also
// without a fitting package, which the text says), EXIT_COMMAND_LINE without a usable "-PORT="
// or with a "-PKG=" that was not found, EXIT_NO_CONNECTION when the instrument does not answer.
int RunInstrumentInfo(const stCommandLine& options, std::string& text, std::string& problem);

#endif
