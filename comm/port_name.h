// The port a connection opens: a COM port, carried by the serial channel (comm/serial.h), or a
// port of a serial device server, carried by the network channel (comm/network_channel.h).
#ifndef HALVEX_COMM_PORT_NAME_H
#define HALVEX_COMM_PORT_NAME_H

#include <string>

#include "comm/comm.h"
#include "comm/network_port.h"

struct stPortName {
  bool bNetwork = false;
  ePort com = PORT_NONE;  // COMn, when not bNetwork
  stNetworkPort network;  // when bNetwork
};

inline stPortName ComPortName(ePort port) {
  stPortName name;
  name.com = port;
  return name;
}

inline stPortName NetworkPortName(const stNetworkPort& port) {
  stPortName name;
  name.bNetwork = true;
  name.network = port;
  return name;
}

// The name as the user gives it: "COM3", "rfc2217://bench3:2217", "socket://[::1]:4000".
std::string FormatPortName(const stPortName& port);

#endif
