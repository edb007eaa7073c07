// Console and standard streams.
#ifndef HALVEX_PLATFORM_CONSOLE_H
#define HALVEX_PLATFORM_CONSOLE_H

namespace platform {

// Number of text rows the console keeps.
constexpr int MAX_CONSOLE_LINES = 500;

// Puts standard output and standard error in binary mode (Windows), so "\r\n" reaches a
// pipe or file as exactly CR LF. Nothing to do on POSIX.
void SetBinaryStdStreams();

// Opens a console for the process and makes stdout, stdin and stderr use it, unbuffered,
// keeping MAX_CONSOLE_LINES rows. Streams the caller already redirected to a file or pipe
// keep going there. On POSIX the process already runs in a terminal: stdout and stderr are
// made unbuffered.
void RedirectIOToConsole();

// True when standard output leads somewhere (a terminal, console, file or pipe). A Windows
// program started from the desktop has none: what it writes there is lost.
bool HasStandardOutput();

}  // namespace platform

#endif
