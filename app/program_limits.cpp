// The shipped program's time limits of the automatic mode.
#include "app/program.h"

stAutoLimits GetProgramAutoLimits() {
  return DEFAULT_AUTO_LIMITS;
}
