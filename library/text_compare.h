#pragma once
// The text comparisons of the library besides the order of values (value_order.h):
// ASCII case-insensitive equality for the article rules and the names of extended
// information. A null text reads as "".

#include <cstring>
#include <string_view>

namespace tunyra {

namespace text {

inline const char* OrEmpty(const char* s) { return s ? s : ""; }

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace text

}  // namespace tunyra
