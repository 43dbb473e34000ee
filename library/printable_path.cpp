#include "library/printable_path.h"

#include <cstdio>

namespace tunyra {

namespace {

// Length of the UTF-8 sequence at `at`, or 0 when the bytes there are not one.
size_t Utf8Length(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  return length;
}

// C0 controls, DEL, and the C1 controls, which a terminal may take as the start of an
// escape sequence both as a bare byte (in an 8-bit locale) and as U+0080..U+009F.
// Other bytes that are not UTF-8 stay: in a Latin-1 or Windows code page they are text.
bool IsControlAt(std::string_view text, size_t at, size_t& length) {
  const unsigned c = static_cast<unsigned char>(text[at]);
  length = Utf8Length(text, at);
  if (length == 2 && c == 0xC2) return static_cast<unsigned char>(text[at + 1]) < 0xA0;
  if (length == 0) {
    length = 1;
    return c >= 0x80 && c < 0xA0;
  }
  return c < 0x20 || c == 0x7F;
}

}  // namespace

std::string PrintablePath(std::string_view path) {
  bool plain = path.empty() || path.front() != '"';
  for (size_t at = 0, length = 0; plain && at < path.size(); at += length)
    plain = !IsControlAt(path, at, length);
  if (plain) return std::string(path);

  std::string out = "\"";
  for (size_t at = 0, length = 0; at < path.size(); at += length) {
    const char c = path[at];
    if (!IsControlAt(path, at, length)) {
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

}  // namespace tunyra
