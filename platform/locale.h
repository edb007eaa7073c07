// The user's language.
#ifndef HALVEX_PLATFORM_LOCALE_H
#define HALVEX_PLATFORM_LOCALE_H

namespace platform {

// Primary language identifier of the user's default locale, as the low 8 bits of a Windows
// LCID: 0x07 German, 0x09 English, 0x0A Spanish, 0x0C French, 0x10 Italian, 0 unknown.
// Win32: GetUserDefaultLCID. POSIX: the first set of LC_ALL, LC_MESSAGES, LANG.
unsigned GetUserPrimaryLanguage();

// The POSIX rule on its own, for a locale name such as "de_DE.UTF-8".
unsigned PrimaryLanguageFromLocaleName(const char* name);

}  // namespace platform

#endif
