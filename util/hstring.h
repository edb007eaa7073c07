// A small value class around one text of 8-bit characters: numbers to text, line terminators
// cut, case changes, trimming, separated fields and unsigned-number tests.
//
// Every operation that hands back text returns a reference to a string owned by that
// operation (one function-static string each, created on first use). The reference stays
// valid for the whole program, but the next call of the same operation on ANY object
// overwrites it, and so do operations that call it internally:
//   GetStringAllLower, GetStringAllCaps          call GetStringNoTerm
//   GetStringTrimmed, ...TrimmedAllLower/AllCaps call Trim
//   GetStringTrimmedAllLower                     calls GetStringAllLower
//   GetStringTrimmedAllCaps                      calls GetStringAllCaps
//   GetString(unsigned, char), GetUnsigned       call Split
// Copy a result that must outlive such a call. Not re-entrant, not for concurrent use.
#ifndef HALVEX_UTIL_HSTRING_H
#define HALVEX_UTIL_HSTRING_H

#include <string>

// Digits after the decimal point when a floating-point number is written.
constexpr int PRECISION_DIGITS = 10;

class cHString {
 public:
  cHString() { Clear(); }
  cHString(const cHString&) = default;
  cHString& operator=(const cHString& other);

  void Clear() { text.clear(); }

  cHString& SetString(const std::string& s);
  cHString& SetString(const char* sz);   // a null pointer gives the empty text
  cHString& SetString(char c);           // the character itself, not its code
  cHString& SetString(unsigned char c);  // the character itself, not its code
  cHString& SetString(short value);
  cHString& SetString(unsigned short value);
  cHString& SetString(int value);
  cHString& SetString(long value);
  cHString& SetString(unsigned int value);
  // Scientific notation, PRECISION_DIGITS digits after the point and an exponent with sign
  // and at least three digits on every platform: 1.5 gives "1.5000000000e+000".
  cHString& SetString(float value);
  cHString& SetString(double value);

  // A copy of the whole text.
  const std::string& GetString() const;
  // Field n of the text, fields separated by sep (Split).
  const std::string& GetString(unsigned n, char sep) const;
  // The text up to, not including, its first CR or LF.
  const std::string& GetStringNoTerm() const;
  // GetStringNoTerm with A-Z lowered / a-z raised; no other character changes.
  const std::string& GetStringAllLower() const;
  const std::string& GetStringAllCaps() const;
  // The same, trimmed at both ends (Trim).
  const std::string& GetStringTrimmed() const;
  const std::string& GetStringTrimmedAllLower() const;
  const std::string& GetStringTrimmedAllCaps() const;

  // s without trim characters at either end. The trim characters are 0x01-0x09, 0x0B-0x20
  // and 0xFF: every control character except LF, plus blank and 0xFF. A text made only of
  // trim characters comes back unchanged.
  static const std::string& Trim(std::string s);

  // Field n (from 0) of the text; fields are separated by sep. A field that does not exist,
  // and any field of the empty text, is empty.
  const std::string& Split(unsigned n, char sep) const;
  // The number of sep characters plus 1 (1 for the empty text).
  unsigned SplitLength(char sep) const;
  // True only for a non-empty text of the digits 0-9 alone.
  bool isUnsignedNumber() const;
  // The decimal number at the start of field n (comma-separated), as atoi reads it: leading
  // white space skipped, optional sign, digits up to the first other character; 0 without
  // digits. A value beyond the range of int gives INT_MAX (INT_MIN when negative).
  int GetUnsigned(unsigned n) const;
  // True when the text ends with s (always for the empty s).
  bool EndsWith(const std::string& s) const;

 private:
  std::string text;
};

#endif
