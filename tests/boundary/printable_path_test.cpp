// File names in messages: nothing in them reaches the terminal as a control, and the
// printed form gives the name back.

#include "library/printable_path.h"

#include <gtest/gtest.h>
#include <utf8proc.h>

#include <optional>
#include <string>

#include "tests/support/random_bytes.h"

namespace {

// The printed form read back: a quoted one with its escapes undone, any other as it is.
std::optional<std::string> Unprinted(const std::string& printed) {
  if (printed.empty() || printed.front() != '"') return printed;
  if (printed.size() < 2 || printed.back() != '"') return std::nullopt;
  std::string name;
  for (size_t i = 1; i + 1 < printed.size(); ++i) {
    if (printed[i] != '\\') {
      if (printed[i] == '"') return std::nullopt;
      name += printed[i];
      continue;
    }
    if (++i + 1 >= printed.size()) return std::nullopt;
    switch (printed[i]) {
      case 'n': name += '\n'; break;
      case 't': name += '\t'; break;
      case 'r': name += '\r'; break;
      case '\\': case '"': name += printed[i]; break;
      case 'x':
        if (i + 3 >= printed.size()) return std::nullopt;
        name += static_cast<char>(std::stoi(printed.substr(i + 1, 2), nullptr, 16));
        i += 2;
        break;
      default: return std::nullopt;
    }
  }
  return name;
}

// What the terminal would get that it must not: "" when nothing.
std::string Unsafe(const std::string& printed) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(printed.data());
  for (size_t at = 0; at < printed.size();) {
    utf8proc_int32_t c = 0;
    const auto length = utf8proc_iterate(bytes + at, static_cast<utf8proc_ssize_t>(printed.size() - at), &c);
    if (length < 0) return "not UTF-8 at byte " + std::to_string(at);
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069))
      return "U+" + std::to_string(c) + " at byte " + std::to_string(at);
    at += static_cast<size_t>(length);
  }
  return "";
}

TEST(PrintablePath, RandomNamesPrintAsSafeUtf8ThatGivesTheNameBack) {
  RandomBytes random(424242);
  for (int i = 0; i < 30000; ++i) {
    const std::string name = random.Text(10);
    const std::string printed = tunyra::PrintablePath(name);
    ASSERT_EQ(Unsafe(printed), "") << testing::PrintToString(name) << " printed as " << printed;
    ASSERT_EQ(Unprinted(printed), name) << "printed as " << printed;
  }
}

}  // namespace
