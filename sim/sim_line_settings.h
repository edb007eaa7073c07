// Translation between termios and the simulator's record of the line settings.
#ifndef HALVEX_SIM_SIM_LINE_SETTINGS_H
#define HALVEX_SIM_SIM_LINE_SETTINGS_H

#include <termios.h>

#include <cstdint>

#include "sim/sim_records.h"

namespace sim {

// Note: the Linux pty driver forces 8 data bits and clears the parity flag whatever the program
// asks, so on a pty those two always read 8N; speed, stop bits, flow control and the flags that
// alter bytes are seen as set.
sSimLineSettings ReadLineSettings(const struct termios& settings);

// Bit rate of a termios speed constant, 0 for B0 or an unknown constant.
uint32_t SpeedToBaud(speed_t speed);
// Termios speed constant of a bit rate, 0 when there is none.
speed_t BaudToSpeed(uint32_t baud);

}  // namespace sim

#endif
