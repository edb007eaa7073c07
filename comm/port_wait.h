// How a channel waits for a port that went away: it has closed the dead port, and each step of
// its owner's wait (cComm::Recover) either makes one quiet attempt to open the port again or
// sleeps towards the next attempt. Every kind of channel paces its wait with this class, so the
// pacing is the same for all of them and is changed here alone.
#ifndef HALVEX_COMM_PORT_WAIT_H
#define HALVEX_COMM_PORT_WAIT_H

#include <cstdint>

// A lost port is tried again this often, counted from the loss or from the last attempt: a
// replugged adapter is in use again a moment after it returns, and a failed attempt costs next
// to nothing.
constexpr int64_t PORT_REOPEN_INTERVAL_MS = 250;
// The longest one step of the wait sleeps: the owner, which repeats its step, gets control back
// this often (the window handles its messages, a time limit is checked).
constexpr unsigned PORT_WAIT_SLICE_MS = 200;

class cPortWait {
 public:
  cPortWait() : bLost(false), ctLastAttempt(0) {}

  // The port went away now, or an attempt to open it again failed now.
  void Lost();
  // The port is open again, or its owner let go of it: nothing is waited for any more.
  void Clear() { bLost = false; }
  bool IsLost() const { return bLost; }
  // One step of the wait: true when the next attempt to open the port is due; otherwise sleeps
  // towards it (at most PORT_WAIT_SLICE_MS) and returns false.
  bool AttemptDue();

 private:
  bool bLost;
  int64_t ctLastAttempt;  // the loss or the last failed attempt
};

#endif
