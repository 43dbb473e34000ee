#include "cli/shell_words.h"

namespace cli {

std::string ShellWord(const std::string& text) {
  const bool safe = !text.empty() && text.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                            "0123456789_@%+=:,./-") == std::string::npos;
  if (safe) return text;
  if (text.find_first_of("\n\r") == std::string::npos) {
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
  }
  std::string word = "\"$(printf '%b' '";
  for (char c : text) {
    switch (c) {
      case '\n': word += "\\n"; break;
      case '\r': word += "\\r"; break;
      case '\\': word += "\\\\"; break;
      case '\'': word += "'\\''"; break;
      default: word += c;
    }
  }
  return word + "')\"";
}

}  // namespace cli
