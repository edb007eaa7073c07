// The clock for fuzzing: time stands still except while the program sleeps or waits on a
// silent line, and each reading moves it on by a millisecond so that every wait ends.
#include "fuzz/fake_line.h"
#include "platform/clock.h"

namespace {

int64_t nowMs = 1000000;

}  // namespace

namespace fuzz {

int64_t GetFakeNowMs() {
  return nowMs;
}

}  // namespace fuzz

namespace platform {

int64_t GetMonotonicMs() {
  return ++nowMs;
}

void SleepMs(unsigned ms) {
  nowMs += ms;
}

}  // namespace platform
