// halvex-installer-test: the program exactly as shipped, but for its automatic mode's time
// limits. The tests of those limits and the fault soak need them short. HALVEX_TEST_TIME_LIMIT_MS
// (milliseconds, above 0) replaces all three; without it the limits are the program's own.
// This executable is built only in the test tree and is never installed or packaged.
#include <cstdlib>

#include "app/program.h"

stAutoLimits GetProgramAutoLimits() {
  const char* szText = std::getenv("HALVEX_TEST_TIME_LIMIT_MS");
  if (szText == nullptr || szText[0] == '\0') return DEFAULT_AUTO_LIMITS;
  const long long value = std::atoll(szText);
  if (value <= 0) return DEFAULT_AUTO_LIMITS;
  return stAutoLimits{value, value, value};
}
