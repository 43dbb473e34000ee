#pragma once
// Deep copies of item records owned by one arena: every text, extended array and block,
// and the record array itself, in a few large blocks instead of an allocation per field.
// The snapshot keeps its copy of the library so. A copy is made whole or not at all
// (std::bad_alloc), and it is only read: no record operation can free or change a
// field of it, so its storage needs no bookkeeping beside the arena.

#include <array>
#include <cstddef>
#include <functional>
#include <utility>

#include "library/arena.h"
#include "library/record_view.h"
#include "library/text_fields.h"

namespace tunyra {

// The lengths of a record's text fields, in kTextFields order; 0 for a null field.
using TextLengths = std::array<size_t, std::size(kTextFields)>;
// Sees each copy as it is made, while its texts are still in the cache.
using CopySeen = std::function<void(const ItemRecord& copy, const TextLengths& lengths)>;

class PooledRecords {
 public:
  PooledRecords() = default;
  // Copies as DuplicateItemRecord does, field for field.
  explicit PooledRecords(RecordView source, const CopySeen& seen = {});
  PooledRecords(PooledRecords&& other) noexcept { Swap(other); }
  PooledRecords& operator=(PooledRecords&& other) noexcept {
    PooledRecords(std::move(other)).Swap(*this);
    return *this;
  }

  RecordView View() const { return RecordView(m_items, m_size); }
  size_t BlockCount() const { return m_arena.BlockCount(); }
  void Swap(PooledRecords& other) noexcept {
    m_arena.Swap(other.m_arena);
    std::swap(m_items, other.m_items);
    std::swap(m_size, other.m_size);
  }

 private:
  char** CopyExtended(char* const* entries);

  Arena m_arena;
  ItemRecord* m_items = nullptr;
  size_t m_size = 0;
};

}  // namespace tunyra
