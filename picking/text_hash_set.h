#pragma once
// A set of texts for exact, byte-for-byte membership tests over large libraries: open
// addressing in one flat table, texts borrowed (they must outlive the set).

#include <cstdint>
#include <string_view>
#include <vector>

namespace tunyra {

class TextHashSet {
 public:
  explicit TextHashSet(size_t expectedCount = 0);

  static std::uint64_t Hash(std::string_view text);

  void Insert(std::string_view text) { Insert(text, Hash(text)); }
  void Insert(std::string_view text, std::uint64_t hash);
  bool Contains(std::string_view text) const { return Contains(text, Hash(text)); }
  bool Contains(std::string_view text, std::uint64_t hash) const;

  size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }

 private:
  struct Slot {
    std::string_view text;
    std::uint32_t tag = 0;  // 0: empty
  };
  static std::uint32_t TagOf(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32) | 1u; }
  void Grow();

  std::vector<Slot> m_slots;
  size_t m_count = 0;
};

}  // namespace tunyra
