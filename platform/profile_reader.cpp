// The portable profile reader. It follows the Windows reader as Wine implements it:
// - lines end at CR or LF (any run of them); blanks around every line are dropped;
//   blanks are space, tab, vertical tab, form feed and Ctrl-Z;
// - "[name]" starts a section: the name runs to the last ']' of the line and is trimmed;
//   a line starting with '[' but holding no ']' is an ordinary key line;
// - lines before the first section belong to a section with the empty name;
// - only the first section whose name matches is searched, later ones of the same name are
//   ignored; in it the first key line whose name matches wins, even one without '=' (its
//   value is then empty);
// - a key line is "name = value"; the name runs to the first '=', both are trimmed; one pair
//   of enclosing quotes ("..." or '...') is removed from the value;
// - there is no comment syntax of its own: a line "; text" is a key line whose name starts
//   with ';', which no looked-up key matches;
// - names are compared without regard to ASCII letter case;
// - a UTF-8 byte order mark at the very start is skipped; the text is taken as it is.
#include <cstring>

#include "platform/files_order.h"
#include "platform/profile.h"

namespace platform {

namespace {

struct sRange {
  const char* pBegin;
  const char* pEnd;
  size_t Length() const { return static_cast<size_t>(pEnd - pBegin); }
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a';
}

sRange Trim(sRange range) {
  while (range.pBegin < range.pEnd && IsBlank(*range.pBegin)) range.pBegin++;
  while (range.pEnd > range.pBegin && IsBlank(range.pEnd[-1])) range.pEnd--;
  return range;
}

// A name or value ends at a NUL byte, as the text functions of Windows see it.
sRange UpToNul(sRange range) {
  const void* pNul = std::memchr(range.pBegin, '\0', range.Length());
  if (pNul != nullptr) range.pEnd = static_cast<const char*>(pNul);
  return range;
}

bool SameName(sRange name, const std::string& wanted) {
  return EqualNoCase(std::string(name.pBegin, name.Length()), wanted);
}

std::string Trimmed(const char* sz) {
  const sRange range = Trim({sz, sz + std::strlen(sz)});
  return std::string(range.pBegin, range.Length());
}

// Copies value into out; false when it did not fit (out then holds the cut text).
bool CopyValue(sRange value, char* out, size_t size) {
  const size_t length = value.Length();
  const size_t copied = length < size ? length : size - 1;
  std::memcpy(out, value.pBegin, copied);
  out[copied] = '\0';
  return copied == length;
}

}  // namespace

bool ReadProfileValue(const std::string& text, const char* section, const char* key, char* out,
                      size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (section == nullptr || key == nullptr) return false;
  const std::string wantedSection = Trimmed(section);
  const std::string wantedKey = Trimmed(key);

  const char* p = text.data();
  const char* const pTextEnd = p + text.size();
  if (text.size() >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;

  // The lines before the first header form the section with the empty name.
  bool bInSection = wantedSection.empty();
  while (p < pTextEnd) {
    sRange line{p, p};
    while (line.pEnd < pTextEnd && *line.pEnd != '\r' && *line.pEnd != '\n') line.pEnd++;
    p = line.pEnd;
    while (p < pTextEnd && (*p == '\r' || *p == '\n')) p++;
    line = Trim(line);
    if (line.pBegin == line.pEnd) continue;

    if (*line.pBegin == '[') {
      const char* pClose = line.pEnd - 1;
      while (pClose > line.pBegin && *pClose != ']') pClose--;
      if (pClose > line.pBegin) {
        // Leaving the first matching section ends the search.
        if (bInSection) return true;
        bInSection = SameName(UpToNul(Trim({line.pBegin + 1, pClose})), wantedSection);
        continue;
      }
    }
    if (!bInSection) continue;

    const char* pEquals = line.pBegin;
    while (pEquals < line.pEnd && *pEquals != '=') pEquals++;
    if (!SameName(UpToNul(Trim({line.pBegin, pEquals})), wantedKey)) continue;
    if (pEquals == line.pEnd) return true;  // the key without a value

    sRange value = UpToNul(Trim({pEquals + 1, line.pEnd}));
    const size_t length = value.Length();
    if (length >= 2 && (*value.pBegin == '"' || *value.pBegin == '\'') &&
        value.pEnd[-1] == *value.pBegin) {
      value.pBegin++;
      value.pEnd--;
    }
    return CopyValue(value, out, size);
  }
  return true;
}

}  // namespace platform
