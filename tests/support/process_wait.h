// Polling with a deadline (no fixed sleeps to wait for a condition).
#ifndef HALVEX_TESTS_SUPPORT_PROCESS_WAIT_H
#define HALVEX_TESTS_SUPPORT_PROCESS_WAIT_H

#include "platform/clock.h"

template <typename F>
bool WaitFor(F predicate, int64_t timeoutMs) {
  const int64_t deadline = platform::GetMonotonicMs() + timeoutMs;
  for (;;) {
    if (predicate()) return true;
    if (platform::GetMonotonicMs() >= deadline) return false;
    platform::SleepMs(10);
  }
}

#endif
