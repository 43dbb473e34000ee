#pragma once
// The order of the values in the sets and the columns, as the platform's multibyte
// compare (_mbscmp) gives it in a code page: character by character by character code,
// a double-byte character taken whole (lead byte * 256 + trail byte, so above every
// single byte). A lead byte takes the byte after it as its trail, whatever that is; a
// lead byte at the end counts as the lead of a character with trail 0, as msvcrt has it.
// Without lead bytes (single-byte code pages, and UTF-8 in the native tools, where byte
// order already is character order) this is strcmp order. Equality stays byte-wise.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace tunyra {

class ValueOrder {
 public:
  // strcmp order.
  ValueOrder() {
    for (int b = 0; b < 256; ++b) m_rank[size_t(b)] = static_cast<unsigned char>(b);
  }
  // Makes `first` to `last` lead bytes, as a code page lists its ranges.
  void AddLeadBytes(unsigned char first, unsigned char last);
  bool HasLeadBytes() const { return m_hasLeadBytes; }
  bool IsLeadByte(unsigned char byte) const { return m_lead[byte]; }

  // Negative, zero or positive. Zero only for equal bytes.
  int Compare(std::string_view a, std::string_view b) const {
    if (!m_hasLeadBytes) {
      const int c = a.compare(b);
      return (c > 0) - (c < 0);
    }
    return CompareCharacters(a, b);
  }
  bool Less(std::string_view a, std::string_view b) const { return Compare(a, b) < 0; }

  // A byte's place among the bytes that can start a character: the single bytes in
  // their order, then the lead bytes in theirs. Bytes mapped so (trail bytes left as
  // they are) compare in this order byte by byte, which is what the sorts key on.
  unsigned char RankAtStart(unsigned char byte) const { return m_rank[byte]; }
  // The last character boundary of `value` at or before `limit`.
  size_t CharacterStartBefore(std::string_view value, size_t limit) const;

 private:
  int CompareCharacters(std::string_view a, std::string_view b) const;

  std::array<bool, 256> m_lead{};
  std::array<unsigned char, 256> m_rank{};
  bool m_hasLeadBytes = false;
};

// The two strings share every byte before the first that differs, so they agree on
// where the characters start up to there, and the first differing character holds that
// byte: if it is a trail byte (same lead), or if both bytes are single or both lead,
// the byte order decides. Only a single byte against a lead byte where a character
// starts goes the other way. A string that ends first is smaller either way: a lead
// byte at its end against the same lead with a trail is trail 0 against trail >= 0,
// then fewer characters.
inline int ValueOrder::CompareCharacters(std::string_view a, std::string_view b) const {
  const size_t common = std::min(a.size(), b.size());
  size_t at = 0;
  while (at < common && a[at] == b[at]) ++at;
  if (at == common) return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
  const auto x = static_cast<unsigned char>(a[at]);
  const auto y = static_cast<unsigned char>(b[at]);
  if (m_lead[x] != m_lead[y] && CharacterStartBefore(a, at) == at) return m_lead[x] ? 1 : -1;
  return x < y ? -1 : 1;
}

inline size_t ValueOrder::CharacterStartBefore(std::string_view value, size_t limit) const {
  size_t at = 0;
  while (at < limit) {
    const size_t next = at + (m_lead[static_cast<unsigned char>(value[at])] ? 2 : 1);
    if (next > limit) break;
    at = next;
  }
  return at;
}

inline void ValueOrder::AddLeadBytes(unsigned char first, unsigned char last) {
  for (int b = first; b <= last; ++b) m_lead[size_t(b)] = true;
  m_hasLeadBytes = std::find(m_lead.begin(), m_lead.end(), true) != m_lead.end();
  int next = 0;
  for (const bool lead : {false, true})
    for (int b = 0; b < 256; ++b)
      if (m_lead[size_t(b)] == lead) m_rank[size_t(b)] = static_cast<unsigned char>(next++);
}

}  // namespace tunyra
