// Network port names: "rfc2217://HOST:PORT" (a serial device server that lets the program set
// the line, RFC 2217) and "socket://HOST:PORT" (a raw TCP connection to a server whose line is
// fixed). HOST is a name ("bench3", "rack-2.lab.example"), an IPv4 address ("192.168.1.20") or
// an IPv6 address in brackets ("[::1]", "[2001:db8::5]"); PORT is 1 to 65535 without leading
// zeros. The scheme is lower case; nothing may come before it or after the port.
#ifndef HALVEX_COMM_NETWORK_PORT_H
#define HALVEX_COMM_NETWORK_PORT_H

#include <cstdint>
#include <string>

enum eNetworkMode : int {
  NETWORK_RFC2217 = 0,  // telnet with the com port option: the program sets the line
  NETWORK_SOCKET = 1,   // bytes as they are; the server's line settings are fixed
};

struct stNetworkPort {
  eNetworkMode mode = NETWORK_RFC2217;
  std::string host;  // as given, without the brackets of an IPv6 address
  uint16_t port = 0;
};

// True when text is a network port name as above; then *out holds its parts. Anything else
// (a COM port, an empty text, a name with a trailing blank) is no network port and leaves *out
// as it was.
bool ParseNetworkPort(const char* text, stNetworkPort* out);

// The name as the user writes it: "rfc2217://bench3:2217", "socket://[::1]:4000".
std::string FormatNetworkPort(const stNetworkPort& port);

#endif
