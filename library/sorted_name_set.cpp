#include "library/sorted_name_set.h"

#include <algorithm>
#include <cstdint>

#include "library/text_compare.h"

namespace {

bool Less(std::string_view a, std::string_view b) { return text::Compare(a, b) < 0; }

std::uint32_t HashOf(std::string_view value) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (char c : value) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

// Drops repeated values, keeping the first of each, in the given order. A hash table
// of indices touches every text once; sorting first would compare the many copies of
// a popular value (a genre, an album) over and over at scattered addresses. The table
// grows with the distinct values, not the input, so a column of forty genres over a
// million songs probes a table that stays in the cache.
void DropRepeats(std::vector<std::string_view>& values) {
  struct Slot {
    std::uint32_t hash;
    std::uint32_t index;  // into the kept values, plus one; 0 is an empty slot
  };
  std::vector<Slot> table(64, Slot{0, 0});
  size_t mask = table.size() - 1;
  size_t kept = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    std::string_view value = values[i];
    std::uint32_t hash = HashOf(value);
    size_t slot = hash & mask;
    bool repeated = false;
    while (table[slot].index != 0) {
      if (table[slot].hash == hash && values[table[slot].index - 1] == value) {
        repeated = true;
        break;
      }
      slot = (slot + 1) & mask;
    }
    if (repeated) continue;
    values[kept] = value;
    table[slot] = Slot{hash, static_cast<std::uint32_t>(++kept)};
    if (kept * 2 > table.size()) {
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
  values.resize(kept);
}

// Sorts distinct values in strcmp order. Each value carries its first eight bytes as
// a big-endian number, so most comparisons are one integer compare and only ties read
// the texts (which lie scattered over the heap).
void SortDistinct(std::vector<std::string_view>& values) {
  struct Keyed {
    std::uint64_t prefix;
    std::string_view value;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(values.size());
  for (std::string_view value : values) {
    std::uint64_t prefix = 0;
    for (size_t i = 0; i < 8; ++i) {
      // Shorter texts are padded with zero bytes; a tie on the prefix is settled by
      // comparing the whole texts, so an embedded NUL cannot mislead the order.
      unsigned char byte = i < value.size() ? static_cast<unsigned char>(value[i]) : 0;
      prefix = (prefix << 8) | byte;
    }
    keyed.push_back(Keyed{prefix, value});
  }
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return Less(a.value, b.value);
  });
  for (size_t i = 0; i < keyed.size(); ++i) values[i] = keyed[i].value;
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

void CSortedNameSet::AssignFromViews(std::vector<std::string_view> values) {
  DropRepeats(values);
  SortDistinct(values);
  // Only the distinct values are copied, into storage of exactly their count.
  std::vector<std::string> owned;
  owned.reserve(values.size());
  for (std::string_view v : values) owned.emplace_back(v);
  m_values = std::move(owned);
}

void CSortedNameSet::RemoveAll() {
  std::vector<std::string>().swap(m_values);
}

bool CSortedNameSet::Contains(std::string_view value) const {
  return std::binary_search(m_values.begin(), m_values.end(), value, Less);
}
