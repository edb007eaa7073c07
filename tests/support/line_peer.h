// The far end of a serial line for tests.
//
// Natively it is the master side of a pty pair whose slave is mapped to COM<n> through
// HALVEX_COM<n>. A Win32 program cannot make a pty, so under Wine the test run links COM1 and
// COM2 to the two ends of one pty pair (HALVEX_TEST_LOOP="1,2"): the channel under test opens
// the first, the peer the second.
#ifndef HALVEX_TESTS_SUPPORT_LINE_PEER_H
#define HALVEX_TESTS_SUPPORT_LINE_PEER_H

#include <string>

class cLinePeer {
 public:
  cLinePeer();
  ~cLinePeer();
  cLinePeer(const cLinePeer&) = delete;
  cLinePeer& operator=(const cLinePeer&) = delete;

  // True when the peer is ready; otherwise the reason is in GetSkipReason().
  bool IsReady() const { return bReady; }
  const std::string& GetSkipReason() const { return skipReason; }

  // The COM number the channel under test opens.
  int GetPort() const { return port; }

  void Send(const std::string& bytes);
  // Everything that arrives within waitMs after the last byte (at least waitMs in all).
  std::string Receive(int waitMs);
  // Exactly n bytes, waiting at most timeoutMs; fewer when they do not come.
  std::string ReceiveN(size_t n, int timeoutMs);

  // Closes the far end for good, as a pulled cable (native only).
  void HangUp();

 private:
  bool bReady;
  std::string skipReason;
  int port;
#ifdef _WIN32
  void* device;
#else
  int master;
  int slave;
#endif
};

// Skips the current test when the peer is not available (under Wine without the loop ports).
#define REQUIRE_PEER(peer)                                         \
  do {                                                             \
    if (!(peer).IsReady()) GTEST_SKIP() << (peer).GetSkipReason(); \
  } while (0)

#endif
