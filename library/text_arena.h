#pragma once
// Storage for many small texts kept for a long time: large blocks that never move, so
// what is taken can be pointed at, and that are only touched as they fill.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace tunyra {

class TextArena {
 public:
  char* Take(size_t size, size_t align) {
    size_t pad = Padding(align);
    if (m_left < size + pad) {
      size_t blockSize = size + align > kBlock ? size + align : kBlock;
      m_blocks.emplace_back(new char[blockSize]);
      m_next = m_blocks.back().get();
      m_left = blockSize;
      pad = Padding(align);
    }
    char* taken = m_next + pad;
    m_next = taken + size;
    m_left -= size + pad;
    return taken;
  }

  // A copy of the `size` bytes at `text` with a NUL after them.
  char* Copy(const char* text, size_t size) {
    char* copy = Take(size + 1, 1);
    std::memcpy(copy, text, size);
    copy[size] = '\0';
    return copy;
  }

 private:
  static constexpr size_t kBlock = size_t(1) << 20;

  size_t Padding(size_t align) const {
    return (align - reinterpret_cast<std::uintptr_t>(m_next) % align) % align;
  }

  std::vector<std::unique_ptr<char[]>> m_blocks;
  char* m_next = nullptr;
  size_t m_left = 0;
};

}  // namespace tunyra
