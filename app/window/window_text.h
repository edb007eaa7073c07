// Texts of the window: strings of the current language, formats, conversions and message
// boxes. Everything goes through the wide API, so every language shows right in every code
// page.
#ifndef HALVEX_APP_WINDOW_WINDOW_TEXT_H
#define HALVEX_APP_WINDOW_WINDOW_TEXT_H

#include "app/window/win32.h"

#include <string>
#include <vector>

// String language + key, through szBuffer (at most 255 characters). False, and text left as
// it was, when the language has no such string: the caller then applies nothing.
bool LoadKeyText(int key, std::wstring& text);
// The same in the language of base (a dialog's creation parameter).
bool LoadLanguageText(int base, int key, std::wstring& text);

// The format with each "%s" replaced by the next argument (an empty text when they run out)
// and "%%" by "%"; no other conversion is interpreted. The result is cut to 255 characters.
std::wstring FormatText(const std::wstring& format, const std::vector<std::wstring>& args);

// Between the program's narrow texts (file names, instrument replies: the ANSI code page) and
// the window's wide ones.
std::wstring Widen(const char* szText);
std::string Narrow(const std::wstring& text);
// A wide text as UTF-8, for files that others read.
std::string ToUtf8(const std::wstring& text);

// Sets the window text of control id of hwnd.
void SetControlText(HWND hwnd, int id, const std::wstring& text);

// A message box without owner and with the error icon. Where the platform's notice handler
// was replaced (tests, scripted runs), the notice goes there instead, as UTF-8.
void ShowErrorBox(const std::wstring& text, const std::wstring& caption);

#endif
