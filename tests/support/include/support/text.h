// Looking into what a program or a peer wrote.
#ifndef HALVEX_TESTS_SUPPORT_TEXT_H
#define HALVEX_TESTS_SUPPORT_TEXT_H

#include <cstddef>
#include <string>

// How often part stands in text, overlapping places included.
inline size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

#endif
