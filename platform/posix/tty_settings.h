// The line settings of a POSIX terminal device: the raw 8N1 record without flow control that
// the serial seam applies, and applying a record so that a refusal is found out.
#ifndef HALVEX_PLATFORM_POSIX_TTY_SETTINGS_H
#define HALVEX_PLATFORM_POSIX_TTY_SETTINGS_H

#include <termios.h>

#include <cstdint>
#include <string>

namespace platform {

// current changed to raw bytes: 8 data bits, no parity, 1 stop bit, no flow control of any
// kind, the receiver on, modem lines ignored, reads that return at once (VMIN = VTIME = 0), and
// the speed of bitsPerSecond (kept as it is for a rate the seam does not know).
struct termios MakeRawSettings(const struct termios& current, uint32_t bitsPerSecond);

// Applies wanted to the terminal fd and reads the settings back: tcsetattr succeeds when any
// one of the changes took, and a driver keeps a speed it does not support. False when applying
// fails or the device kept something else; reason then says which (the system's reason, or
// what was not taken).
bool ApplyTtySettings(int fd, const struct termios& wanted, std::string& reason);

}  // namespace platform

#endif
