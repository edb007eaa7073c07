// <windows.h> for the window code. It defines BAUD_9600 to BAUD_115200 as macros (serial
// port capability flags the program never uses), which would replace the rates of eBaud.
#ifndef HALVEX_APP_WINDOW_WIN32_H
#define HALVEX_APP_WINDOW_WIN32_H

#include <windows.h>

#include <commctrl.h>

#undef BAUD_9600
#undef BAUD_19200
#undef BAUD_38400
#undef BAUD_57600
#undef BAUD_115200

#endif
