#pragma once
// Distinct text values in ascending order: strcmp order (byte-wise, unsigned,
// case-sensitive) unless the set is given the order of a double-byte code page.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/arena.h"
#include "library/flat_set.h"
#include "library/value_order.h"

namespace tunyra {

class CSortedNameSet {
 public:
  CSortedNameSet() = default;
  explicit CSortedNameSet(const ValueOrder& order) : m_order(order) {}
  virtual ~CSortedNameSet() = default;
  CSortedNameSet(const CSortedNameSet&) = delete;
  CSortedNameSet& operator=(const CSortedNameSet&) = delete;

  // Inserts the value at its sorted place unless an equal value is present.
  void Add(std::string_view value);
  // Replaces the contents with the distinct values of `values` (any order, duplicates
  // allowed): the same result as one Add per value, in O(n log n).
  void AssignFrom(std::vector<std::string> values);
  // The same from views into text that the caller keeps alive for the call; only the
  // distinct values are copied, into the set's own arena.
  void AssignFromViews(const std::vector<std::string_view>& values);
  // Empties the set and releases its storage.
  void RemoveAll();
  int GetSize() const { return static_cast<int>(m_values.size()); }
  // Index 0 .. GetSize() - 1, kept in range by the caller.
  std::string_view GetAt(int index) const { return m_values[static_cast<size_t>(index)]; }
  bool Contains(std::string_view value) const;
  // Views into the set's own copies, valid until it changes.
  const std::vector<std::string_view>& Values() const { return m_values; }
  const ValueOrder& Order() const { return m_order; }

 private:
  friend class DistinctValues;

  ValueOrder m_order;
  std::vector<std::string_view> m_values;
  Arena m_texts;
};

// The distinct values of a stream, for filling a set without keeping every value: each
// value is looked up as it comes, while its text is still in the cache, and only the
// first of equal ones is kept (as a view: its text must live until MoveInto).
class DistinctValues {
 public:
  DistinctValues() = default;
  explicit DistinctValues(const ValueOrder& order) : m_order(order) {}

  void Add(std::string_view value) {
    // A library lists an album's songs one after another, so a value equal to the one
    // before it (an album, its artist, its genre) is dropped without hashing.
    if (m_pending > 0 ? value == m_batch[m_pending - 1] : (m_any && value == m_last)) return;
    m_batch[m_pending++] = value;
    if (m_pending == kBatch) Flush();
  }
  // Replaces the set's contents with copies of the distinct values, sorted in this
  // order (which becomes the set's), and starts afresh.
  void MoveInto(CSortedNameSet& set);

 private:
  // Hashed a batch at a time, every slot fetched before any is probed: with a million
  // titles the table outgrows the cache, and each probe would wait on memory.
  static constexpr size_t kBatch = 16;

  void Flush();
  // The sort keys of a value from `offset`, a character boundary.
  void KeysAt(std::string_view value, size_t offset, std::uint64_t& head, std::uint64_t& next) const;

  ValueOrder m_order;
  FlatSet<std::uint32_t> m_seen;  // indices into m_distinct
  std::vector<std::string_view> m_distinct;
  std::vector<std::uint64_t> m_heads;  // per distinct value its first two keys
  size_t m_shared = 0;                 // bytes every distinct value shares with the first
  std::string_view m_batch[kBatch];
  size_t m_pending = 0;
  std::string_view m_last;
  bool m_any = false;
};

}  // namespace tunyra
