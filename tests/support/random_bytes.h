#pragma once
// Random byte strings for the property tests of the encoders where our text enters
// another syntax. Half the bytes come from pieces those encoders treat specially
// (controls, quotes, backslash, '#', UTF-8 controls and overrides, bytes that are not
// UTF-8), so that short strings reach every branch; the other half are any byte.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

class RandomBytes {
 public:
  explicit RandomBytes(std::uint32_t seed) : m_engine(seed) {}

  std::uint32_t Below(std::uint32_t bound) { return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(m_engine); }

  // Up to `maxLength` pieces; a byte of `excluded` becomes 'x'.
  std::string Text(std::uint32_t maxLength, std::string_view excluded = {}) {
    static constexpr std::string_view kPieces[] = {
        {"\0", 1}, "\n", "\r", "\t", " ", "\x1b", "\x7f", "\"", "'", "\\", "$", "`", "#", ";", "=", "%", "!",
        "(", ")", "-", "~", "*", "\\n", "\xc2\x85", "\xc2\x9b", "\xc2\xa0", "\xc3\xa9", "\xe2\x80\xae",
        "\xe2\x81\xa6", "\xe2\x80\xa8", "\xe2\x82\xac", "\xf0\x9f\x8e\xb5", "\xe0\x80\x80", "\xed\xa0\x80",
        "\xf4\x90\x80\x80", "\xc0\xaf", "\xe2\x80", "\xff", "\xe9", "\x9b"};
    std::string text;
    const std::uint32_t pieces = Below(maxLength + 1);
    for (std::uint32_t i = 0; i < pieces; ++i) {
      if (Below(2) == 0)
        text += kPieces[Below(std::size(kPieces))];
      else
        text += static_cast<char>(Below(256));
    }
    for (char& c : text)
      if (excluded.find(c) != std::string_view::npos) c = 'x';
    return text;
  }

 private:
  std::mt19937 m_engine;
};
