// Waiting for a condition with a deadline (never a fixed sleep), and measuring time.
//   EXPECT_TRUE(WaitFor([&] { return instrument.GetStable(); }, 5000));
//   const double seconds = SecondsOf([&] { installer.Exit(); });
#ifndef HALVEX_TESTS_SUPPORT_WAIT_H
#define HALVEX_TESTS_SUPPORT_WAIT_H

#include <cstdint>

#include "platform/clock.h"

// Polls until predicate() is true or timeoutMs passed; returns the last result.
template <typename F>
bool WaitFor(F predicate, int64_t timeoutMs) {
  const int64_t ctDeadline = platform::GetMonotonicMs() + timeoutMs;
  for (;;) {
    if (predicate()) return true;
    if (platform::GetMonotonicMs() >= ctDeadline) return false;
    platform::SleepMs(5);
  }
}

// Seconds since ctStart (a reading of platform::GetMonotonicMs()).
inline double SecondsSince(int64_t ctStart) {
  return static_cast<double>(platform::GetMonotonicMs() - ctStart) / 1000.0;
}

// Seconds taken by f().
template <typename F>
double SecondsOf(F f) {
  const int64_t ctStart = platform::GetMonotonicMs();
  f();
  return SecondsSince(ctStart);
}

#endif
