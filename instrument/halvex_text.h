// Bounded text handling for the instrument's command lines and replies: copies that cut
// instead of overflowing, numbers read like atoi/atof but without their undefined cases, and
// command lines that are refused rather than cut when they don't fit.
#ifndef HALVEX_INSTRUMENT_HALVEX_TEXT_H
#define HALVEX_INSTRUMENT_HALVEX_TEXT_H

#include <cstddef>
#include <cstdint>

#include "comm/serial.h"

namespace halvex {

// Longest command text: the channel adds CR LF and a line holds at most 255 characters.
constexpr size_t MAX_COMMAND_LEN = MAX_BUFF_LEN - 1 - 2;

// Copies src into dest (size bytes), keeping at most size - 1 characters. A null src gives "".
void CopyText(char* dest, size_t size, const char* src);

// As CopyText, taking at most count characters of src.
void CopyTextN(char* dest, size_t size, const char* src, size_t count);

template <size_t N>
void CopyText(char (&dest)[N], const char* src) {
  CopyText(dest, N, src);
}

template <size_t N>
void CopyTextN(char (&dest)[N], const char* src, size_t count) {
  CopyTextN(dest, N, src, count);
}

// Decimal value read as atoi reads it (leading white space, a sign, digits), clamped to the
// range of a signed 32-bit number; 0 when no digits follow.
int32_t ParseInt(const char* text);

// Floating-point value read as atof reads it; a value beyond the float range gives infinity
// of its sign, no number gives 0.
float ParseFloat(const char* text);

// The number that starts at character `position` (counted from 0) of reply, or fallback when
// the reply has no character there (no bytes after the reply's end are read).
float ParseFloatAt(const char* reply, size_t position, float fallback);

// The number of a reply that starts with a sign position: the first character (a blank, "+"
// or "-") is skipped and the number read from the second on, negated when that first character
// is "-". fallback when the reply has no second character.
float ParseAfterSign(const char* reply, float fallback);

// Formats like printf into dest (MAX_BUFF_LEN bytes). False, with dest emptied, when the
// text is longer than a command line can carry (MAX_COMMAND_LEN).
bool FormatCommand(char* dest, const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// "%e" with six decimals and an exponent of sign and three digits ("1.500000e+000") on every
// platform. dest holds at least 32 bytes.
void FormatExponent(char* dest, size_t size, double value);

}  // namespace halvex

#endif
