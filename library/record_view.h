#pragma once
// Item records that someone else owns, read only: the host's query result, a library
// file's records, the snapshot's copies, a test's array. Nothing reached through a view
// can be changed or freed.

#include <cstddef>

#include "host/host_records.h"

namespace tunyra {

class RecordView {
 public:
  constexpr RecordView() = default;
  constexpr RecordView(const ItemRecord* items, size_t size)
      : m_items(size ? items : nullptr), m_size(items ? size : 0) {}
  // A list from the host with a negative size or no array is read as empty.
  // Implicit: a list is read through its view wherever one is asked for.
  constexpr RecordView(const ItemRecordList& list)
      : RecordView(list.items, list.size > 0 ? static_cast<size_t>(list.size) : 0) {}

  const ItemRecord* begin() const { return m_items; }
  const ItemRecord* end() const { return m_items + m_size; }
  const ItemRecord* data() const { return m_items; }
  size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  const ItemRecord& operator[](size_t i) const { return m_items[i]; }

 private:
  const ItemRecord* m_items = nullptr;
  size_t m_size = 0;
};

}  // namespace tunyra
