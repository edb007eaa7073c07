// Window mode where there is no window (the Linux build).
#ifndef HALVEX_APP_WINDOW_UNAVAILABLE_H
#define HALVEX_APP_WINDOW_UNAVAILABLE_H

// Says that the window needs the Windows build and how to run an automatic installation;
// returns the command-line exit status.
int ReportWindowUnavailable();

#endif
