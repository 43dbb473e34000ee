#pragma once
// The one hash table of the core: a set of small keys in one flat array, open addressing
// with linear probing, grown to keep it at most half full. Each slot keeps 32 bits of
// its key's hash, so growing never hashes again and most probes that miss never look at
// a key. What a key stands for is its owner's affair: the owner passes the hash of what
// it looks for and a test of a stored key against it, so a key can be an index into the
// owner's own storage (8 bytes a slot) or a borrowed text.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tunyra {

template <typename Key>
class FlatSet {
 public:
  FlatSet() = default;
  explicit FlatSet(size_t expected) { Reserve(expected); }

  size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }

  // Room for `count` keys without growing.
  void Reserve(size_t count) {
    size_t slots = kFewestSlots;
    while (slots < 2 * count) slots *= 2;
    if (slots > m_slots.size()) Rehash(slots);
  }

  // The stored key for which `equal(key)` holds, or null.
  template <typename Equal>
  const Key* Find(std::uint64_t hash, Equal&& equal) const {
    if (m_slots.empty()) return nullptr;
    const std::uint32_t tag = TagOf(hash);
    for (size_t at = PositionOf(tag);; at = (at + 1) & m_mask) {
      const Slot& slot = m_slots[at];
      if (slot.tag == 0) return nullptr;
      if (slot.tag == tag && equal(slot.key)) return &slot.key;
    }
  }

  // The stored key for which `equal(key)` holds, or else `key`, stored now; second is
  // true when it was stored.
  template <typename Equal>
  std::pair<Key, bool> Insert(std::uint64_t hash, const Key& key, Equal&& equal) {
    if (2 * (m_count + 1) > m_slots.size()) Rehash(m_slots.empty() ? kFewestSlots : 2 * m_slots.size());
    const std::uint32_t tag = TagOf(hash);
    for (size_t at = PositionOf(tag);; at = (at + 1) & m_mask) {
      Slot& slot = m_slots[at];
      if (slot.tag == 0) {
        slot = Slot{tag, key};
        ++m_count;
        return {key, true};
      }
      if (slot.tag == tag && equal(slot.key)) return {slot.key, false};
    }
  }

  // For keys that are what they stand for (a text, a number), compared with ==.
  bool Contains(std::uint64_t hash, const Key& key) const {
    return Find(hash, [&](const Key& stored) { return stored == key; }) != nullptr;
  }
  bool Insert(std::uint64_t hash, const Key& key) {
    return Insert(hash, key, [&](const Key& stored) { return stored == key; }).second;
  }

  // Brings the slot a look-up of `hash` starts at into the cache ahead of time.
  void Prefetch(std::uint64_t hash) const {
    if (!m_slots.empty()) __builtin_prefetch(&m_slots[PositionOf(TagOf(hash))]);
  }

 private:
  static constexpr size_t kFewestSlots = 16;

  struct Slot {
    std::uint32_t tag = 0;  // 0: empty
    Key key{};
  };

  // The high half of the hash, never 0; its top bits choose the slot, so a grown table
  // places every key from the tag alone.
  static std::uint32_t TagOf(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32) | 1u; }
  size_t PositionOf(std::uint32_t tag) const { return static_cast<size_t>(tag >> m_shift); }

  void Rehash(size_t slots) {
    std::vector<Slot> old(slots);
    old.swap(m_slots);
    m_mask = slots - 1;
    m_shift = 32;
    for (size_t s = slots; s > 1; s /= 2) --m_shift;
    for (const Slot& slot : old) {
      if (slot.tag == 0) continue;
      size_t at = PositionOf(slot.tag);
      while (m_slots[at].tag != 0) at = (at + 1) & m_mask;
      m_slots[at] = slot;
    }
  }

  std::vector<Slot> m_slots;
  size_t m_mask = 0;
  unsigned m_shift = 32;
  size_t m_count = 0;
};

}  // namespace tunyra
