// A device server that refuses a speed, for the tests (native): a TCP relay on a free port of
// 127.0.0.1 in front of an RFC 2217 server (such as cSer2net) that passes every byte on, but
// turns the client's request for the speed `refused` into one for `instead`. The server sets and
// confirms `instead`, so the client sees its speed refused, as from a server or an adapter that
// does not do it. One connection at a time; a request split across two reads is passed unchanged
// (the program sends its line settings in one piece).
//
//   cSpeedRelay relay;  ASSERT_TRUE(relay.Start(server.Port(), 115200, 9600));
//   ... -PORT=rfc2217://127.0.0.1:<relay.Port()> ...
#ifndef HALVEX_TESTS_SUPPORT_SPEED_RELAY_H
#define HALVEX_TESTS_SUPPORT_SPEED_RELAY_H

#ifndef _WIN32

#include <atomic>
#include <cstdint>
#include <thread>

#include "util/no_copy.h"

class cSpeedRelay : private cNoCopy {
 public:
  cSpeedRelay() = default;
  ~cSpeedRelay() { Stop(); }

  // Listens; true once it does.
  bool Start(unsigned serverPort, uint32_t refused, uint32_t instead);
  // From now on the request for refused is turned into one for instead (1: nothing is).
  void Refuse(uint32_t refused, uint32_t instead);
  void Stop();
  unsigned Port() const { return port; }

 private:
  void Serve();
  void Relay(int client);

  int listener = -1;
  unsigned port = 0;
  unsigned target = 0;
  std::atomic<uint32_t> refusedSpeed{1};
  std::atomic<uint32_t> insteadSpeed{1};
  std::atomic<bool> bStop{false};
  std::thread thread;
};

#endif
#endif
