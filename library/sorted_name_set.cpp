#include "library/sorted_name_set.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "library/text_compare.h"

namespace tunyra {

namespace {

bool Less(std::string_view a, std::string_view b) { return text::Compare(a, b) < 0; }

// Eight bytes at a time: a million titles are hashed in a few milliseconds, where a
// byte at a time took the better part of a set's fill.
std::uint32_t HashOf(std::string_view value) {
  const char* data = value.data();
  size_t left = value.size();
  std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ left;
  for (; left >= 8; left -= 8, data += 8) {
    std::uint64_t word;
    std::memcpy(&word, data, 8);
    hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 32;
  }
  std::uint64_t tail = 0;
  std::memcpy(&tail, data, left);
  hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53ull;
  hash ^= hash >> 29;
  return static_cast<std::uint32_t>(hash);
}

std::uint64_t PrefixKey(std::string_view value) {
  // The first eight bytes as a big-endian number, shorter texts padded with zero
  // bytes. Equal keys only say "look at the whole texts", so an embedded NUL cannot
  // mislead the order.
  std::uint64_t prefix = 0;
  for (size_t i = 0; i < 8; ++i) {
    unsigned char byte = i < value.size() ? static_cast<unsigned char>(value[i]) : 0;
    prefix = (prefix << 8) | byte;
  }
  return prefix;
}

// The distinct values of a list in strcmp order.
//
// Repeats are dropped first with a hash table, which reads every text once while it
// is in the cache; sorting first would compare the many copies of a popular value (a
// genre, an album) over and over at scattered addresses. The table grows with the
// distinct values, not the input, so forty genres over a million songs probe a table
// that stays in the cache. Each distinct value is keyed by its prefix as it is found;
// the sort then moves small keys, and only prefix ties read the texts. The distinct
// values stay views until they are copied once, in their final order.
std::vector<std::string> SortedDistinct(const std::vector<std::string_view>& values) {
  struct Slot {
    std::uint32_t hash;
    std::uint32_t index;  // into `distinct`, plus one; 0 is an empty slot
  };
  struct Key {
    std::uint64_t prefix;
    size_t index;
  };
  std::vector<std::string_view> distinct;
  std::vector<Key> keys;
  std::vector<Slot> table(64, Slot{0, 0});
  size_t mask = table.size() - 1;
  // Hashes are computed a batch ahead and their slots prefetched, and the texts of the
  // batch after that too: with a million titles the table outgrows the cache, and the
  // texts lie apart on the heap, so every probe and every hash would wait on memory.
  // A library lists an album's songs one after another, so a value equal to the one
  // before it (an album, its artist, its genre) is dropped without hashing or probing.
  constexpr size_t kBatch = 16;
  std::uint32_t hashes[kBatch];
  bool repeats[kBatch];
  for (size_t base = 0; base < values.size(); base += kBatch) {
    const size_t count = std::min(kBatch, values.size() - base);
    for (size_t k = 0; k < count; ++k) {
      if (base + kBatch + k < values.size())
        __builtin_prefetch(values[base + kBatch + k].data());
      repeats[k] = base + k > 0 && values[base + k] == values[base + k - 1];
      if (repeats[k]) continue;
      hashes[k] = HashOf(values[base + k]);
      __builtin_prefetch(&table[hashes[k] & mask]);
    }
    for (size_t k = 0; k < count; ++k) {
      if (repeats[k]) continue;
      std::string_view value = values[base + k];
      std::uint32_t hash = hashes[k];
      size_t slot = hash & mask;
      bool repeated = false;
      while (table[slot].index != 0) {
        if (table[slot].hash == hash && distinct[table[slot].index - 1] == value) {
          repeated = true;
          break;
        }
        slot = (slot + 1) & mask;
      }
      if (repeated) continue;
      distinct.emplace_back(value);
      table[slot] = Slot{hash, static_cast<std::uint32_t>(distinct.size())};
      if (distinct.size() * 2 > table.size()) {
        std::vector<Slot> grown(table.size() * 2, Slot{0, 0});
        mask = grown.size() - 1;
        for (const Slot& old : table) {
          if (old.index == 0) continue;
          size_t to = old.hash & mask;
          while (grown[to].index != 0) to = (to + 1) & mask;
          grown[to] = old;
        }
        table.swap(grown);
      }
    }
  }
  std::vector<Slot>().swap(table);

  // The keys start after the bytes every value shares ("Title 0000001" ... "Title
  // 0999999" share "Title 0"), so that shared text does not leave every prefix equal.
  size_t shared = distinct.empty() ? 0 : distinct[0].size();
  for (std::string_view value : distinct) {
    size_t same = 0;
    const size_t most = std::min(shared, value.size());
    while (same < most && value[same] == distinct[0][same]) ++same;
    shared = same;
  }
  keys.reserve(distinct.size());
  for (size_t i = 0; i < distinct.size(); ++i) keys.push_back(Key{PrefixKey(distinct[i].substr(shared)), i});

  auto byText = [&distinct](const Key& a, const Key& b) { return Less(distinct[a.index], distinct[b.index]); };
  constexpr size_t kRadixFrom = 4096;
  if (keys.size() < kRadixFrom) {
    std::sort(keys.begin(), keys.end(), [&byText](const Key& a, const Key& b) {
      return a.prefix != b.prefix ? a.prefix < b.prefix : byText(a, b);
    });
  } else {
    // Many distinct values (a million titles): the prefixes are sorted a byte at a time,
    // which moves every key eight times at most instead of comparing it some twenty
    // times; a byte all keys share costs one count. Equal prefixes are then sorted by
    // their texts, the same order the comparison sort gives.
    std::vector<Key> sortedKeys(keys.size());
    for (int shift = 0; shift < 64; shift += 8) {
      size_t starts[256] = {};
      for (const Key& key : keys) ++starts[(key.prefix >> shift) & 0xFF];
      if (starts[(keys[0].prefix >> shift) & 0xFF] == keys.size()) continue;
      size_t start = 0;
      for (size_t& bucket : starts) {
        const size_t size = bucket;
        bucket = start;
        start += size;
      }
      for (const Key& key : keys) sortedKeys[starts[(key.prefix >> shift) & 0xFF]++] = key;
      keys.swap(sortedKeys);
    }
    for (size_t begin = 0; begin < keys.size();) {
      size_t end = begin + 1;
      while (end < keys.size() && keys[end].prefix == keys[begin].prefix) ++end;
      if (end - begin > 1) std::sort(keys.begin() + begin, keys.begin() + end, byText);
      begin = end;
    }
  }
  std::vector<std::string> sorted;
  sorted.reserve(keys.size());
  for (const Key& key : keys) sorted.emplace_back(distinct[key.index]);
  return sorted;
}

}  // namespace

void CSortedNameSet::Add(std::string_view value) {
  // Binary search for the first stored value not less than `value`: the insertion
  // point, unless that value is equal.
  auto place = std::lower_bound(m_values.begin(), m_values.end(), value,
                                [](const std::string& stored, std::string_view v) {
                                  return Less(stored, v);
                                });
  if (place != m_values.end() && text::Compare(*place, value) == 0) return;
  m_values.emplace(place, value);
}

void CSortedNameSet::AssignFrom(std::vector<std::string> values) {
  AssignFromViews(std::vector<std::string_view>(values.begin(), values.end()));
}

void CSortedNameSet::AssignFromViews(const std::vector<std::string_view>& values) {
  m_values = SortedDistinct(values);
}

void CSortedNameSet::RemoveAll() {
  std::vector<std::string>().swap(m_values);
}

bool CSortedNameSet::Contains(std::string_view value) const {
  return std::binary_search(m_values.begin(), m_values.end(), value, Less);
}

}  // namespace tunyra
