#include "comm/port_wait.h"

#include "platform/clock.h"

void cPortWait::Lost() {
  bLost = true;
  ctLastAttempt = platform::GetMonotonicMs();
}

bool cPortWait::AttemptDue() {
  const int64_t ctDue = ctLastAttempt + PORT_REOPEN_INTERVAL_MS;
  const int64_t ctNow = platform::GetMonotonicMs();
  if (ctNow >= ctDue) return true;
  const int64_t wait = ctDue - ctNow;
  platform::SleepMs(wait < PORT_WAIT_SLICE_MS ? static_cast<unsigned>(wait) : PORT_WAIT_SLICE_MS);
  return false;
}
