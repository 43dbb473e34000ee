#include "scan/utf8_text.h"

namespace tunyra {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed sequence at the start of `s`, or 0: no overlong forms,
// no surrogates, nothing above U+10FFFF.
size_t SequenceLength(std::string_view s) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

void AppendCodePoint(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    size_t length = SequenceLength(bytes.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool AppendMendedUtf8(std::string_view bytes, std::string& out) {
  bool mended = false;
  for (size_t i = 0; i < bytes.size();) {
    size_t length = SequenceLength(bytes.substr(i));
    if (length == 0) {
      out += kReplacement;
      mended = true;
      ++i;
    } else {
      out.append(bytes, i, length);
      i += length;
    }
  }
  return mended;
}

bool AppendUtf16AsUtf8(std::wstring_view units, std::string& out) {
  bool mended = false;
  for (size_t i = 0; i < units.size(); ++i) {
    const char32_t unit = char32_t(units[i]);
    const bool high = unit >= 0xD800 && unit <= 0xDBFF, low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < units.size() && char32_t(units[i + 1]) >= 0xDC00 && char32_t(units[i + 1]) <= 0xDFFF) {
      AppendCodePoint(0x10000 + ((unit - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00), out);
      ++i;
    } else if (high || low || unit > 0x10FFFF) {
      out += kReplacement;
      mended = true;
    } else {
      AppendCodePoint(unit, out);
    }
  }
  return mended;
}

}  // namespace tunyra
