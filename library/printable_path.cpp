#include "library/printable_path.h"

#include <cstdio>

namespace tunyra {

namespace {

// Length of the UTF-8 sequence at `at`, or 0 when the bytes there are not one: no
// overlong form, no surrogate, nothing beyond U+10FFFF.
size_t Utf8Length(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  const unsigned second = length > 1 ? byte(at + 1) : 0x80;
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
      (lead == 0xF4 && second > 0x8F))
    return 0;
  return length;
}

// C0 controls, DEL and the C1 controls U+0080..U+009F, any of which a terminal may take
// as the start of an escape sequence; U+2028..U+202E and U+2066..U+2069, the line and
// paragraph separators and the bidirectional embeddings, overrides and isolates, which
// make a name show as another; and every byte that is not UTF-8.
bool MustEscapeAt(std::string_view text, size_t at, size_t& length) {
  const unsigned c = static_cast<unsigned char>(text[at]);
  length = Utf8Length(text, at);
  if (length == 0) {
    length = 1;
    return true;
  }
  const auto next = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  if (length == 2) return c == 0xC2 && next(1) < 0xA0;
  if (length == 3 && c == 0xE2)
    return (next(1) == 0x80 && next(2) >= 0xA8 && next(2) <= 0xAE) ||
           (next(1) == 0x81 && next(2) >= 0xA6 && next(2) <= 0xA9);
  return c < 0x20 || c == 0x7F;
}

}  // namespace

std::string PrintablePath(std::string_view path) {
  bool plain = path.empty() || path.front() != '"';
  for (size_t at = 0, length = 0; plain && at < path.size(); at += length)
    plain = !MustEscapeAt(path, at, length);
  if (plain) return std::string(path);

  std::string out = "\"";
  for (size_t at = 0, length = 0; at < path.size(); at += length) {
    const char c = path[at];
    if (!MustEscapeAt(path, at, length)) {
      if (c == '"' || c == '\\') out += '\\';
      out.append(path.substr(at, length));
    } else if (c == '\n' || c == '\t' || c == '\r') {
      out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
    } else {
      for (size_t i = 0; i < length; ++i) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(path[at + i]));
        out += hex;
      }
    }
  }
  return out + '"';
}

std::string QuotedText(std::string_view text) {
  std::string shown = PrintablePath(text);
  return shown != text ? shown : '"' + shown + '"';
}

}  // namespace tunyra
