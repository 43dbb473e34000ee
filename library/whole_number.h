#pragma once
// A text that must be one whole number and nothing else: the command lines' values, the
// library file's numbers, the scan's file stamps, the temporaries' process numbers.
// std::from_chars takes no sign for an unsigned type, no '+', no spaces and no other
// base, and says when the number does not fit; the whole text must be used.

#include <charconv>
#include <limits>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace tunyra {

template <class Number>
bool ParseWholeNumber(std::string_view text, Number& value) {
  const char* end = text.data() + text.size();
  if constexpr (std::is_signed_v<Number>) {
    // Most numbers read have no sign; std::from_chars reads those quicker unsigned.
    if (!text.empty() && text[0] != '-') {
      std::make_unsigned_t<Number> magnitude = 0;
      const auto [last, error] = std::from_chars(text.data(), end, magnitude);
      if (error != std::errc() || last != end || magnitude > std::make_unsigned_t<Number>(std::numeric_limits<Number>::max()))
        return false;
      value = Number(magnitude);
      return true;
    }
  }
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
