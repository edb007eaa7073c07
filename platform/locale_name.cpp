#include <cctype>
#include <cstring>

#include "platform/locale.h"

namespace platform {

unsigned PrimaryLanguageFromLocaleName(const char* name) {
  if (name == nullptr) return 0;
  char language[4] = {0, 0, 0, 0};
  size_t i = 0;
  while (i < 3 && std::isalpha(static_cast<unsigned char>(name[i]))) {
    language[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    i++;
  }
  // Only a two-letter code followed by a separator or the end counts ("de", "de_DE.UTF-8").
  if (i != 2 || (name[2] != '\0' && name[2] != '_' && name[2] != '.' && name[2] != '@')) return 0;
  static const struct {
    const char* code;
    unsigned id;
  } table[] = {{"de", 0x07}, {"en", 0x09}, {"es", 0x0A}, {"fr", 0x0C}, {"it", 0x10}};
  for (const auto& entry : table) {
    if (std::strcmp(language, entry.code) == 0) return entry.id;
  }
  return 0;
}

}  // namespace platform
