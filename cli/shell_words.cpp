#include "cli/shell_words.h"

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

std::string ShellWord(const std::string& text) {
  const bool safe = !text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                            "0123456789_@%+=:,./-") == std::string::npos;
  if (safe) return text;
  const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; };
  if (std::none_of(text.begin(), text.end(), control)) {
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
  }
  std::string word = "\"$(printf '%b' '";
  for (char c : text) {
    switch (c) {
      case '\n': word += "\\n"; break;
      case '\\': word += "\\\\"; break;
      case '\'': word += "'\\''"; break;
      default:
        if (control(c)) {
          char octal[6];
          std::snprintf(octal, sizeof octal, "\\0%03o", static_cast<unsigned char>(c));
          word += octal;
        } else {
          word += c;
        }
    }
  }
  return word + "')\"";
}

}  // namespace

std::string ShellLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + ShellWord(word);
  return line;
}

}  // namespace cli
