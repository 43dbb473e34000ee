// The scan's tag text mending against a plain decoder: any bytes become UTF-8, valid
// UTF-8 stays as it is, and each byte that starts no well-formed sequence becomes one
// U+FFFD; UTF-16 units (the same bytes, two to a unit) become UTF-8 with each surrogate
// that has no partner as one U+FFFD.

#include <string>
#include <string_view>

#include "fuzz/fuzz_targets.h"
#include "scan/utf8_text.h"

namespace fuzz {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The scalar value the sequence at `i` decodes to, read bit by bit, and its `length`;
// -1 when it is none: an overlong form, a surrogate or a value past U+10FFFF.
long Decode(std::string_view s, size_t i, size_t& length) {
  const unsigned lead = static_cast<unsigned char>(s[i]);
  length = 1;
  if (lead < 0x80) return long(lead);
  if (lead < 0xC0 || lead >= 0xF8) return -1;
  const size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (i + n > s.size()) return -1;
  long value = long(lead & (0x7Fu >> n));
  for (size_t k = 1; k < n; ++k) {
    const unsigned c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return -1;
    value = value << 6 | long(c & 0x3F);
  }
  const long least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
  if (value < least || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return -1;
  length = n;
  return value;
}

void Encode(long c, std::string& out) {
  if (c < 0x80) {
    out += char(c);
    return;
  }
  const int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  out += char((0xF00 >> n) | (c >> (6 * (n - 1))));
  for (int k = n - 2; k >= 0; --k) out += char(0x80 | ((c >> (6 * k)) & 0x3F));
}

// Whether `s` is well-formed to the plain decoder.
bool Valid(std::string_view s) {
  for (size_t i = 0, length = 0; i < s.size(); i += length)
    if (Decode(s, i, length) < 0) return false;
  return true;
}

std::string CheckBytes(std::string_view bytes) {
  std::string expected;
  bool bad = false;
  for (size_t i = 0, length = 0; i < bytes.size(); i += length) {
    if (Decode(bytes, i, length) < 0) {
      expected += kReplacement;
      bad = true;
    } else {
      expected.append(bytes, i, length);
    }
  }
  if (tunyra::IsUtf8(bytes) != !bad) return "IsUtf8 disagrees with the plain decoder";
  std::string mended = "x";  // it appends
  if (tunyra::AppendMendedUtf8(bytes, mended) != bad) return "the mending says it mended when it did not, or the reverse";
  if (mended.compare(0, 1, "x") != 0) return "the mending changed what was before it";
  mended.erase(0, 1);
  if (mended != expected) return "mended text differs from one U+FFFD per bad byte";
  if (!Valid(mended) || !tunyra::IsUtf8(mended)) return "mended text is not UTF-8";
  if (!bad && mended != bytes) return "valid UTF-8 was changed";
  return "";
}

std::string CheckUnits(std::string_view bytes) {
  std::wstring units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    units += wchar_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
  std::string expected;
  bool bad = false;
  for (size_t i = 0; i < units.size(); ++i) {
    const long unit = long(units[i]);
    const long next = i + 1 < units.size() ? long(units[i + 1]) : 0;
    if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
      Encode(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), expected);
      ++i;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      expected += kReplacement;
      bad = true;
    } else {
      Encode(unit, expected);
    }
  }
  std::string text;
  if (tunyra::AppendUtf16AsUtf8(units, text) != bad) return "UTF-16: it says it mended when it did not, or the reverse";
  if (text != expected) return "UTF-16: the text differs from one U+FFFD per lone surrogate";
  if (!Valid(text)) return "UTF-16: the text is not UTF-8";
  return "";
}

}  // namespace

std::string TagTextTarget(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string fault = CheckBytes(bytes);
  return fault.empty() ? CheckUnits(bytes) : fault;
}

}  // namespace fuzz
