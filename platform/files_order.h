// Name order shared by the listings of both platforms.
#ifndef HALVEX_PLATFORM_FILES_ORDER_H
#define HALVEX_PLATFORM_FILES_ORDER_H

#include <string>

namespace platform {

// ASCII upper-case comparison (only a-z fold), bytes as unsigned; names equal under it are
// ordered by their bytes so the order is total. 'VSR450A.pkg' sorts before 'VSR450_B.pkg'.
bool UpperCaseLess(const std::string& a, const std::string& b);

// True when name ends in suffix, letter case ignored (ASCII).
bool EndsWithNoCase(const std::string& name, const std::string& suffix);

// True when the two names are equal, letter case ignored (ASCII).
bool EqualNoCase(const std::string& a, const std::string& b);

}  // namespace platform

#endif
