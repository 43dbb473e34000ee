#pragma once
// The one arena of the core: storage for many small pieces that live and go together
// (a library's record copies and texts), taken from large blocks that never move, so
// what is taken can be pointed at, and released all at once.
//
// Blocks double from 64 KB up to 4 MB: a small library wastes little, a large one needs
// few, and a 32-bit process finds room for each without one huge contiguous range. A
// piece larger than a quarter of the next block gets a block of its own. Taking throws
// std::bad_alloc when memory runs out, so nothing built from an arena is ever half made.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "library/huge_pages.h"

namespace tunyra {

class Arena {
 public:
  Arena() = default;
  Arena(Arena&& other) noexcept { Swap(other); }
  Arena& operator=(Arena&& other) noexcept {
    Arena(std::move(other)).Swap(*this);
    return *this;
  }

  char* Take(size_t size, size_t align = 1) {
    const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(m_next);
    const std::uintptr_t at = (next + align - 1) & ~std::uintptr_t(align - 1);
    if (m_next != nullptr && at <= reinterpret_cast<std::uintptr_t>(m_end) &&
        size <= reinterpret_cast<std::uintptr_t>(m_end) - at) {
      m_next = reinterpret_cast<char*>(at + size);
      return reinterpret_cast<char*>(at);
    }
    return TakeFromNewBlock(size, align);
  }

  template <typename T>
  T* TakeArray(size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return reinterpret_cast<T*>(Take(count * sizeof(T), alignof(T)));
  }

  // The `size` bytes at `text` with a NUL after them.
  char* Copy(const char* text, size_t size) {
    char* copy = Take(size + 1);
    if (size > 0) std::memcpy(copy, text, size);
    copy[size] = '\0';
    return copy;
  }
  // A copy of a NUL-terminated text; null stays null.
  char* CopyText(const char* text) { return text ? Copy(text, std::strlen(text)) : nullptr; }

  // Gives every block back; whatever was taken is gone with them.
  void Release() { Arena().Swap(*this); }
  void Swap(Arena& other) noexcept {
    m_blocks.swap(other.m_blocks);
    std::swap(m_next, other.m_next);
    std::swap(m_end, other.m_end);
    std::swap(m_nextBlockSize, other.m_nextBlockSize);
  }
  size_t BlockCount() const { return m_blocks.size(); }

 private:
  static constexpr size_t kFirstBlock = size_t(64) << 10;
  static constexpr size_t kLargestBlock = size_t(4) << 20;

  char* TakeFromNewBlock(size_t size, size_t align) {
    if (size > SIZE_MAX - align) throw std::bad_alloc();
    const size_t needed = size + align;
    const bool alone = needed > m_nextBlockSize / 4;
    const size_t blockSize = alone ? needed : m_nextBlockSize;
    m_blocks.reserve(m_blocks.size() + 1);
    m_blocks.emplace_back(new char[blockSize]);
    char* block = m_blocks.back().get();
    OfferHugePages(block, blockSize);
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
    char* placed = reinterpret_cast<char*>((start + align - 1) & ~std::uintptr_t(align - 1));
    if (!alone) {
      m_next = placed + size;
      m_end = block + blockSize;
      m_nextBlockSize = m_nextBlockSize * 2 < kLargestBlock ? m_nextBlockSize * 2 : kLargestBlock;
    }
    return placed;
  }

  std::vector<std::unique_ptr<char[]>> m_blocks;
  char* m_next = nullptr;
  char* m_end = nullptr;
  size_t m_nextBlockSize = kFirstBlock;
};

}  // namespace tunyra
