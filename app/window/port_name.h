// Port names as the window shows and accepts them.
#ifndef HALVEX_APP_WINDOW_PORT_NAME_H
#define HALVEX_APP_WINDOW_PORT_NAME_H

#include <string>

// The port number of a port box text: "COM" followed by a number from 1 to 16 and nothing
// else (no sign, blank, leading zero or other character before or after). 0 for any other
// text, which then never reaches the channel.
int ParsePortName(const std::wstring& text);

// "COM<port>".
std::wstring PortName(int port);

// The status text after connecting on port, made from found1, the language's text for COM1:
// its "COM1" replaced by the port's name. A text that names no "COM1" names no port at all and
// is returned as it is.
std::wstring MakeFoundText(const std::wstring& found1, int port);

#endif
