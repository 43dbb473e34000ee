#pragma once
// Extended information as a copy keeps it: what PutExtendedInfo, entry by entry, would
// leave of a host's array. Empty names are dropped, and each name stays once, at its
// first position, with the spelling and value of its last case-insensitive repeat.

#include <cstddef>
#include <string_view>
#include <vector>

namespace tunyra {

struct ExtendedEntry {
  std::string_view name;
  std::string_view value;
};

// One item may carry a million names: beyond a few, names are looked up in a hash table
// instead of among all the earlier ones. Throws std::bad_alloc when memory runs out.
class KeptEntries {
 public:
  // `entries`: null, or a null-terminated array of "name\0value\0" blocks, only read.
  explicit KeptEntries(char* const* entries);
  KeptEntries(const KeptEntries&) = delete;
  KeptEntries& operator=(const KeptEntries&) = delete;

  size_t size() const { return m_count; }
  const ExtendedEntry& operator[](size_t i) const { return m_many.empty() ? m_few[i] : m_many[i]; }
  // The blocks of every kept entry together, terminators included.
  size_t BlockBytes() const;

 private:
  static constexpr size_t kSearched = 16;

  ExtendedEntry m_few[kSearched];
  std::vector<ExtendedEntry> m_many;
  size_t m_count = 0;
};

// The value of a "name\0value\0" block.
inline const char* ValueOfBlock(const char* block) {
  while (*block != '\0') ++block;
  return block + 1;
}

// Writes "name\0value\0" into `block`. Either text may lie in `block` itself (a value read
// back from the record): the name keeps its position and length, so the copies are moves.
void WriteBlock(char* block, std::string_view name, std::string_view value);

}  // namespace tunyra
