#include <windows.h>

#include "platform/locale.h"

namespace platform {

unsigned GetUserPrimaryLanguage() {
  return PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID()));
}

}  // namespace platform
