#include <cstdlib>
#include <initializer_list>

#include "platform/locale.h"

namespace platform {

unsigned GetUserPrimaryLanguage() {
  // The first of these that is set and not empty decides, as for the C library's messages.
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return PrimaryLanguageFromLocaleName(value);
  }
  return 0;
}

}  // namespace platform
