#include "util/hstring.h"

#include <climits>
#include <cstdlib>
#include <iomanip>
#include <locale>
#include <sstream>

namespace {

// Integers through a string stream in its default state and the classic locale: plain
// decimal, a leading "-" for negatives, no grouping.
template <typename T>
std::string FormatInteger(T value) {
  std::ostringstream stream;
  stream.imbue(std::locale::classic());
  stream << value;
  return stream.str();
}

// Scientific notation with PRECISION_DIGITS digits after the point. The C libraries differ in
// the exponent's width (two digits on glibc and mingw's own printf, three on old msvcrt), so
// the exponent is rewritten here with its sign and at least three digits.
std::string FormatScientific(double value) {
  std::ostringstream stream;
  stream.imbue(std::locale::classic());
  stream << std::scientific << std::setprecision(PRECISION_DIGITS) << value;
  std::string s = stream.str();
  const std::string::size_type e = s.find_first_of("eE");
  if (e == std::string::npos) return s;  // inf, nan
  std::string::size_type digits = e + 1;
  char sign = '+';
  if (digits < s.size() && (s[digits] == '+' || s[digits] == '-')) sign = s[digits++];
  std::string exponent = s.substr(digits);
  const std::string::size_type first = exponent.find_first_not_of('0');
  exponent = first == std::string::npos ? std::string() : exponent.substr(first);
  if (exponent.size() < 3) exponent.insert(0, 3 - exponent.size(), '0');
  return s.substr(0, e) + 'e' + sign + exponent;
}

// 0x01-0x09, 0x0B-0x20 and 0xFF: every control character except LF, blank and 0xFF.
const std::string& TrimCharacters() {
  static const std::string characters = [] {
    std::string s;
    for (int c = 0x01; c <= 0x20; ++c) {
      if (c != 0x0A) s += static_cast<char>(c);
    }
    s += static_cast<char>(0xFF);
    return s;
  }();
  return characters;
}

}  // namespace

cHString& cHString::operator=(const cHString& other) {
  if (this != &other) text = other.text;
  return *this;
}

cHString& cHString::SetString(const std::string& s) {
  text = s;
  return *this;
}

cHString& cHString::SetString(const char* sz) {
  if (sz == nullptr) {
    text.clear();
  } else {
    text = sz;
  }
  return *this;
}

cHString& cHString::SetString(char c) {
  text.assign(1, c);
  return *this;
}

cHString& cHString::SetString(unsigned char c) {
  text.assign(1, static_cast<char>(c));
  return *this;
}

cHString& cHString::SetString(short value) {
  text = FormatInteger(value);
  return *this;
}

cHString& cHString::SetString(unsigned short value) {
  text = FormatInteger(value);
  return *this;
}

cHString& cHString::SetString(int value) {
  text = FormatInteger(value);
  return *this;
}

cHString& cHString::SetString(long value) {
  text = FormatInteger(value);
  return *this;
}

cHString& cHString::SetString(unsigned int value) {
  text = FormatInteger(value);
  return *this;
}

cHString& cHString::SetString(float value) {
  text = FormatScientific(value);
  return *this;
}

cHString& cHString::SetString(double value) {
  text = FormatScientific(value);
  return *this;
}

const std::string& cHString::GetString() const {
  static std::string rsp;
  rsp = text;
  return rsp;
}

const std::string& cHString::GetString(unsigned n, char sep) const {
  static std::string token;
  token = Split(n, sep);
  return token;
}

const std::string& cHString::GetStringNoTerm() const {
  static std::string rsp;
  rsp = text.substr(0, text.find_first_of("\r\n"));
  return rsp;
}

const std::string& cHString::GetStringAllLower() const {
  static std::string rsp;
  rsp = GetStringNoTerm();
  for (char& c : rsp) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return rsp;
}

const std::string& cHString::GetStringAllCaps() const {
  static std::string rsp;
  rsp = GetStringNoTerm();
  for (char& c : rsp) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return rsp;
}

const std::string& cHString::GetStringTrimmed() const {
  static std::string rsp;
  rsp = Trim(GetStringNoTerm());
  return rsp;
}

const std::string& cHString::GetStringTrimmedAllLower() const {
  static std::string rsp;
  rsp = Trim(GetStringAllLower());
  return rsp;
}

const std::string& cHString::GetStringTrimmedAllCaps() const {
  static std::string rsp;
  rsp = Trim(GetStringAllCaps());
  return rsp;
}

const std::string& cHString::Trim(std::string s) {
  static std::string output;
  output = std::move(s);
  const std::string& trim = TrimCharacters();
  const std::string::size_type first = output.find_first_not_of(trim);
  if (first != std::string::npos) output.erase(0, first);
  const std::string::size_type last = output.find_last_not_of(trim);
  if (last != std::string::npos) output.erase(last + 1);
  return output;
}

const std::string& cHString::Split(unsigned n, char sep) const {
  static std::string retstr;
  retstr.clear();
  if (text.empty()) return retstr;
  std::string::size_type position = 0;
  for (unsigned i = 0; i < n; ++i) {
    const std::string::size_type found = text.find(sep, position);
    if (found == std::string::npos) return retstr;
    position = found + 1;
  }
  const std::string::size_type end = text.find(sep, position);
  retstr = text.substr(position, end == std::string::npos ? std::string::npos : end - position);
  return retstr;
}

unsigned cHString::SplitLength(char sep) const {
  unsigned count = 1;
  for (char c : text) {
    if (c == sep) ++count;
  }
  return count;
}

bool cHString::isUnsignedNumber() const {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int cHString::GetUnsigned(unsigned n) const {
  // strtol rather than atoi: atoi's result for a number beyond int is undefined, and where it
  // wraps, "4294967301" would read as 5.
  const std::string& field = Split(n, ',');
  const long value = std::strtol(field.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool cHString::EndsWith(const std::string& s) const {
  if (s.size() > text.size()) return false;
  return text.compare(text.size() - s.size(), s.size(), s) == 0;
}
