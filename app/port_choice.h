// The port chosen with "-PORT=": what the two connections open, and how the report lines name
// it.
#ifndef HALVEX_APP_PORT_CHOICE_H
#define HALVEX_APP_PORT_CHOICE_H

#include <string>

#include "app/command_line.h"
#include "comm/port_name.h"

stPortName GetChosenPort(const stCommandLineCom& com);

// The port as the user gave it: "COM3", "rfc2217://bench3:2217".
std::string GetPortText(const stCommandLineCom& com);

// A socket:// port passes the bytes as they are and cannot change the speed, while an
// installation switches to 115200 bit/s for the installer: the server's line must run at
// 115200, and the instrument's commands at that speed too. The sentence that says so, without
// its end; empty for any other port.
std::string GetFixedSpeedNote(const stCommandLineCom& com);

// The automatic run's line of GetFixedSpeedNote (ending in "\r\n"), empty for any other port;
// bRefused when -BAUD= chose another speed, so that the run cannot work and is refused before
// anything is sent.
std::string CheckFixedSpeed(const stCommandLineCom& com, bool& bRefused);

#endif
