// Profile (INI) values, as the Windows profile reader gives them.
#ifndef HALVEX_PLATFORM_PROFILE_H
#define HALVEX_PLATFORM_PROFILE_H

#include <cstddef>
#include <string>

namespace platform {

// Profile value as GetPrivateProfileStringA reads it: section and key without regard to
// letter case, blanks around the value removed, one pair of enclosing quotes removed, the
// first match wins; a missing file, section or key gives "". The value is written into out
// (size bytes, NUL-terminated). Returns false when the value did not fit and was cut (a cut
// value must never be used as a different, shorter one), or when size is 0.
// Win32: GetPrivateProfileStringA. POSIX: the portable reader below.
bool GetProfileValue(const std::string& file, const char* section, const char* key, char* out,
                     size_t size);

// The portable reader on the text of a profile file, built to behave like the Windows one.
// Compiled on every platform so the tests can hold the two side by side.
bool ReadProfileValue(const std::string& text, const char* section, const char* key, char* out,
                      size_t size);

}  // namespace platform

#endif
