// A TCP server for the tests: listens on 127.0.0.1 (or ::1) at a port the system chooses and serves
// each accepted connection in turn, on its own thread, with a session function.
#ifndef HALVEX_TESTS_NETWORK_LOOPBACK_SERVER_H
#define HALVEX_TESTS_NETWORK_LOOPBACK_SERVER_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "util/no_copy.h"

// One accepted connection, seen from the server.
class cPeer : private cNoCopy {
 public:
  explicit cPeer(intptr_t handle) : handle(handle) {}
  ~cPeer() { Close(); }

  void Send(const std::string& data);
  // Bytes until n have come, the client closed, or timeoutMs passed.
  std::string Receive(size_t n, int timeoutMs);
  // True when the client closed its end within timeoutMs (data before that is discarded).
  bool WaitClosed(int timeoutMs);
  void Close();
  // Closes the connection with a reset instead of an orderly end.
  void Reset();

 private:
  intptr_t handle;
};

class cLoopbackServer {
 public:
  typedef std::function<void(cPeer&)> Session;

  // Serves `connections` connections; gives up waiting for one after 10 s. bIpv6: on ::1.
  cLoopbackServer(Session session, int connections = 1, bool bIpv6 = false);
  ~cLoopbackServer();  // Join()

  // Waits until every session has ended (or the server gave up waiting for a connection).
  void Join();

  unsigned Port() const { return port; }
  // False only for an IPv6 server on a machine without IPv6.
  bool IsListening() const;
  // The number of connections accepted so far.
  int Accepted();

 private:
  void Serve(Session session, int connections);

  intptr_t listener;
  unsigned port;
  std::mutex mutex;
  int accepted;
  std::thread thread;
};

// A port on 127.0.0.1 where nothing listens (taken from the system, then released).
unsigned ClosedPort();

// A flag one thread sets and another waits for.
class cSignal {
 public:
  void Set();
  bool Wait(int timeoutMs);

 private:
  std::mutex mutex;
  std::condition_variable condition;
  bool bSet = false;
};

// Ends the process with a message when it is not destroyed within `seconds`: a call that
// never returns would otherwise hang the suite.
class cWatchdog {
 public:
  cWatchdog(int seconds, const char* what);
  ~cWatchdog();

 private:
  std::mutex mutex;
  std::condition_variable condition;
  bool bDone = false;
  std::thread thread;
};

#endif
