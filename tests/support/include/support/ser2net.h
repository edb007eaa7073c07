// ser2net (the Debian package; scripts/lib/deps.sh installs it) as the serial device server of
// a test (native): it serves a tty, such as the simulator's pty, on a free port of 127.0.0.1,
// started with a generated YAML file, without a banner, the old user kicked by a new one.
//
//   cTestSimulator sim;  ASSERT_TRUE(sim.Start(options));
//   cSer2net server;     ASSERT_TRUE(server.Start(sim.GetPath(), SER2NET_RFC2217));
//   channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, false);
//   server.Stop();  ...  ASSERT_TRUE(server.Start());   // again, same port and configuration
// It ends with the thread that started it (the parent-death signal is the thread's): start it
// from one that outlives its use.
//
// Under Wine the test run starts one for the network suite (run_wine_suites.sh):
// HALVEX_TEST_SER2NET_PORT names its port, an rfc2217 accepter in front of the run's simulator
// (support/simulator.h, FindRunSimulator).
#ifndef HALVEX_TESTS_SUPPORT_SER2NET_H
#define HALVEX_TESTS_SUPPORT_SER2NET_H

#include <cstdint>
#include <string>

// The port of the test run's ser2net (HALVEX_TEST_SER2NET_PORT); 0 when there is none.
unsigned FindRunSer2net();

#ifndef _WIN32

#include "support/process.h"
#include "support/temp_folder.h"
#include "util/no_copy.h"

enum eSer2netAccepter {
  SER2NET_RFC2217,  // telnet with the com port option: the client sets the line
  SER2NET_TELNET,   // telnet without it: the line stays as configured
  SER2NET_RAW,      // plain TCP, bytes as they are
};

class cSer2net : private cNoCopy {
 public:
  cSer2net() = default;
  ~cSer2net();

  // Serves device (opened at baud 8N1, no modem control) on a free port; true once it listens.
  bool Start(const std::string& device, eSer2netAccepter accepter, uint32_t baud = 57600);
  // Starts it again as it was, on the same port.
  bool Start();
  // Stops it (its connections end); the exit status, -1 when it had to be killed.
  int Stop();

  unsigned Port() const { return port; }
  // What ser2net wrote (it runs with -d).
  std::string Log() const;

 private:
  cTempFolder folder;
  cBackgroundProcess process;
  unsigned port = 0;
};

#endif
#endif
