#include "picking/text_hash_set.h"

#include <cstring>

namespace tunyra {

namespace {

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

size_t SlotCountFor(size_t count) {
  size_t slots = 16;
  while (slots < count * 2) slots *= 2;
  return slots;
}

}  // namespace

TextHashSet::TextHashSet(size_t expectedCount) : m_slots(SlotCountFor(expectedCount)) {}

std::uint64_t TextHashSet::Hash(std::string_view text) {
  const char* p = text.data();
  size_t n = text.size();
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  while (n >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * 0x100000001B3ull;
    h ^= h >> 29;
    p += 8;
    n -= 8;
  }
  std::uint64_t tail = 0;
  if (n) std::memcpy(&tail, p, n);
  return Mix(h ^ tail);
}

void TextHashSet::Insert(std::string_view text, std::uint64_t hash) {
  if ((m_count + 1) * 2 > m_slots.size()) Grow();
  const size_t mask = m_slots.size() - 1;
  const std::uint32_t tag = TagOf(hash);
  for (size_t i = static_cast<size_t>(hash) & mask;; i = (i + 1) & mask) {
    Slot& slot = m_slots[i];
    if (slot.tag == 0) {
      slot.text = text;
      slot.tag = tag;
      ++m_count;
      return;
    }
    if (slot.tag == tag && slot.text == text) return;
  }
}

bool TextHashSet::Contains(std::string_view text, std::uint64_t hash) const {
  const size_t mask = m_slots.size() - 1;
  const std::uint32_t tag = TagOf(hash);
  for (size_t i = static_cast<size_t>(hash) & mask;; i = (i + 1) & mask) {
    const Slot& slot = m_slots[i];
    if (slot.tag == 0) return false;
    if (slot.tag == tag && slot.text == text) return true;
  }
}

void TextHashSet::Grow() {
  std::vector<Slot> old(m_slots.size() * 2);
  old.swap(m_slots);
  m_count = 0;
  for (const Slot& slot : old)
    if (slot.tag != 0) Insert(slot.text);
}

}  // namespace tunyra
