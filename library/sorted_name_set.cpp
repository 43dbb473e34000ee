#include "library/sorted_name_set.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "library/text_hash.h"

namespace tunyra {

namespace {

// Eight bytes of the value from `offset` as a big-endian number, shorter texts padded
// with zero bytes. Equal heads only say "look further", so an embedded NUL cannot
// mislead the order.
std::uint64_t HeadAt(std::string_view value, size_t offset) {
  std::uint64_t head = 0;
  if (offset < value.size()) std::memcpy(&head, value.data() + offset, std::min<size_t>(8, value.size() - offset));
  if constexpr (std::endian::native == std::endian::little) head = __builtin_bswap64(head);
  return head;
}

// The first sixteen bytes from `offset` (a character boundary) as two such numbers, each
// byte that starts a character replaced by its rank in `order`.
void RankedKeysAt(std::string_view value, size_t offset, const ValueOrder& order, std::uint64_t& head,
                  std::uint64_t& next) {
  unsigned char bytes[16] = {};
  for (size_t k = 0; k < 16 && offset < value.size(); ++k, ++offset) {
    const auto byte = static_cast<unsigned char>(value[offset]);
    bytes[k] = order.RankAtStart(byte);
    if (order.IsLeadByte(byte) && k + 1 < 16) {
      ++k;
      ++offset;
      bytes[k] = offset < value.size() ? static_cast<unsigned char>(value[offset]) : 0;
    }
  }
  head = next = 0;
  for (size_t k = 0; k < 8; ++k) {
    head = head << 8 | bytes[k];
    next = next << 8 | bytes[k + 8];
  }
}

struct Key {
  std::uint64_t head;
  std::uint64_t next;  // the eight bytes after the head
  std::uint32_t index;
};

// Sorts keys by head a byte at a time, which moves every key eight times at most instead
// of comparing it some twenty times; the counts of all eight bytes come from one read,
// and a byte all keys share costs nothing more.
void RadixSortByHead(std::vector<Key>& keys) {
  std::vector<size_t> counts(8 * 256, 0);
  for (const Key& key : keys)
    for (int byte = 0; byte < 8; ++byte) ++counts[size_t(byte) * 256 + ((key.head >> (8 * byte)) & 0xFF)];
  std::vector<Key> sorted(keys.size());
  for (int byte = 0; byte < 8; ++byte) {
    size_t* starts = &counts[size_t(byte) * 256];
    const int shift = 8 * byte;
    if (starts[(keys[0].head >> shift) & 0xFF] == keys.size()) continue;
    size_t start = 0;
    for (int bucket = 0; bucket < 256; ++bucket) {
      const size_t size = starts[bucket];
      starts[bucket] = start;
      start += size;
    }
    for (const Key& key : keys) sorted[starts[(key.head >> shift) & 0xFF]++] = key;
    keys.swap(sorted);
  }
}

}  // namespace

void DistinctValues::Flush() {
  std::uint64_t hashes[kBatch];
  for (size_t k = 0; k < m_pending; ++k) {
    hashes[k] = HashText(m_batch[k]);
    m_seen.Prefetch(hashes[k]);
  }
  for (size_t k = 0; k < m_pending; ++k) {
    const std::string_view value = m_batch[k];
    const auto next = static_cast<std::uint32_t>(m_distinct.size());
    if (!m_seen.Insert(hashes[k], next, [&](std::uint32_t i) { return m_distinct[i] == value; }).second) continue;
    if (m_distinct.empty()) m_shared = value.size();
    const std::string_view first = m_distinct.empty() ? value : m_distinct.front();
    size_t same = 0;
    while (same < m_shared && same < value.size() && value[same] == first[same]) ++same;
    m_shared = same;
    m_distinct.push_back(value);
    std::uint64_t head, after;
    KeysAt(value, 0, head, after);
    m_heads.push_back(head);
    m_heads.push_back(after);
  }
  m_last = m_batch[m_pending - 1];
  m_any = true;
  m_pending = 0;
}

void DistinctValues::KeysAt(std::string_view value, size_t offset, std::uint64_t& head, std::uint64_t& next) const {
  if (!m_order.HasLeadBytes()) {
    head = HeadAt(value, offset);
    next = HeadAt(value, offset + 8);
    return;
  }
  RankedKeysAt(value, offset, m_order, head, next);
}

// Each distinct value is keyed by its first sixteen bytes as it is found, while its text
// is in the cache; the sort then moves small keys by the first eight, keys with equal
// heads are ordered by the next eight, and only values that agree that far are compared
// as texts.
void DistinctValues::MoveInto(CSortedNameSet& set) {
  if (m_pending > 0) Flush();
  const std::vector<std::string_view>& distinct = m_distinct;
  // The keys start after the bytes every value shares ("Title 0000001" ... "Title
  // 0999999" share "Title 0"), so that shared text does not leave every head equal.
  // They start where a character does.
  const size_t from = distinct.empty() ? 0 : m_order.CharacterStartBefore(distinct.front(), m_shared);
  std::vector<Key> keys(distinct.size());
  for (std::uint32_t i = 0; i < keys.size(); ++i) {
    keys[i] = Key{m_heads[2 * i], m_heads[2 * i + 1], i};
    if (from != 0) KeysAt(distinct[i], from, keys[i].head, keys[i].next);
  }
  std::vector<std::uint64_t>().swap(m_heads);
  m_seen = FlatSet<std::uint32_t>();

  // Keys of equal heads, ordered by the next eight bytes, then by their whole texts.
  auto sortTied = [&](Key* begin, Key* end) {
    std::sort(begin, end, [&](const Key& a, const Key& b) {
      return a.next != b.next ? a.next < b.next : m_order.Less(distinct[a.index], distinct[b.index]);
    });
  };
  constexpr size_t kRadixFrom = 4096;
  if (keys.size() < kRadixFrom) {
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.head < b.head; });
  } else {
    RadixSortByHead(keys);
  }
  for (size_t begin = 0; begin < keys.size();) {
    size_t end = begin + 1;
    while (end < keys.size() && keys[end].head == keys[begin].head) ++end;
    if (end - begin > 1) sortTied(&keys[begin], &keys[end]);
    begin = end;
  }
  // Copied in their order, so that a walk through the set reads its text in sequence.
  std::vector<std::string_view> values(keys.size());
  Arena copies;
  constexpr size_t kAhead = 16;  // the views are gathered from all over `distinct`
  for (size_t k = 0; k < keys.size(); ++k) {
    if (k + kAhead < keys.size()) __builtin_prefetch(&distinct[keys[k + kAhead].index]);
    const std::string_view value = distinct[keys[k].index];
    values[k] = std::string_view(copies.Copy(value.data(), value.size()), value.size());
  }
  set.m_values.swap(values);
  set.m_texts.Swap(copies);
  set.m_order = m_order;
  *this = DistinctValues(m_order);
}

void CSortedNameSet::Add(std::string_view value) {
  // Binary search for the first stored value not less than `value`: the insertion
  // point, unless that value is equal.
  const ValueOrder& order = m_order;
  auto place = std::lower_bound(m_values.begin(), m_values.end(), value,
                                [&](std::string_view a, std::string_view b) { return order.Less(a, b); });
  if (place != m_values.end() && *place == value) return;
  m_values.insert(place, std::string_view(m_texts.Copy(value.data(), value.size()), value.size()));
}

void CSortedNameSet::AssignFrom(std::vector<std::string> values) {
  AssignFromViews(std::vector<std::string_view>(values.begin(), values.end()));
}

void CSortedNameSet::AssignFromViews(const std::vector<std::string_view>& values) {
  DistinctValues distinct(m_order);
  for (const std::string_view value : values) distinct.Add(value);
  distinct.MoveInto(*this);
}

void CSortedNameSet::RemoveAll() {
  std::vector<std::string_view>().swap(m_values);
  m_texts.Release();
}

bool CSortedNameSet::Contains(std::string_view value) const {
  return std::binary_search(m_values.begin(), m_values.end(), value,
                            [&](std::string_view a, std::string_view b) { return m_order.Less(a, b); });
}

}  // namespace tunyra
