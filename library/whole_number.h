#pragma once
// A text that must be one whole number and nothing else: the command lines' values, the
// library file's numbers, the scan's file stamps, the temporaries' process numbers.
// std::from_chars takes no sign for an unsigned type, no '+', no spaces and no other
// base, and says when the number does not fit; the whole text must be used.

#include <charconv>
#include <string_view>
#include <system_error>

namespace tunyra {

template <class Number>
bool ParseWholeNumber(std::string_view text, Number& value) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && last == end && !text.empty();
}

// Within [low, high] too; `value` is left alone when the text is refused.
template <class Number>
bool ParseWholeNumber(std::string_view text, Number low, Number high, Number& value) {
  Number parsed{};
  if (!ParseWholeNumber(text, parsed) || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

}  // namespace tunyra
