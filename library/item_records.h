#pragma once
// Owned copies of the host's item records, managed with the C runtime's allocator
// (malloc, realloc, strdup, free) as the host's own records are. A released record
// or list has every field zero.

#include <cstddef>
#include <vector>

#include "host/host_records.h"

namespace tunyra {

// Deep copy: text fields strdup'd (null stays null), numbers copied, extended entries
// with an empty name dropped and later case-insensitive repeats replacing earlier values.
void DuplicateItemRecord(ItemRecord& destination, const ItemRecord& source);
// Reserves room for destination.size + source.size records, then appends deep copies;
// appends nothing when that room cannot be had.
void AppendItemRecords(ItemRecordList& destination, const ItemRecordList& source);
// Nothing when wanted < alloc or wanted < size; else alloc = wanted + extra. When the
// storage cannot be had (or the count overflows) the list is left exactly as it was,
// so callers compare `alloc` with what they need. Lists with a negative size or no
// array are read as empty everywhere.
void ReserveItemRecords(ItemRecordList& list, int wanted, int extra);
// Sets or replaces one extended entry (names compared ASCII case-insensitively).
void PutExtendedInfo(ItemRecord& record, const char* name, const char* value);
// Value of an extended entry, or null.
const char* GetExtendedInfo(const ItemRecord& record, const char* name);
void ReleaseItemRecord(ItemRecord& record);
void ClearItemRecords(ItemRecordList& list);
void ReleaseItemRecordList(ItemRecordList& list);

// Storage for many record copies in a few large blocks, for an owner that copies a whole
// library at once (the snapshot): one allocation per block instead of one per field.
// Every record operation above works on a pooled copy exactly as on a copy of its own:
// releasing one zeroes it and leaves its storage to the pool, and PutExtendedInfo moves
// whatever it must grow out of the pool. The owner releases the pool after the records
// copied into it; their text is gone with it.
class ItemRecordPool {
 public:
  ItemRecordPool() = default;
  ~ItemRecordPool() { Release(); }
  ItemRecordPool(const ItemRecordPool&) = delete;
  ItemRecordPool& operator=(const ItemRecordPool&) = delete;

  // AppendItemRecords with the copies' text and extended entries in the pool: the same
  // records, field for field.
  void AppendCopies(ItemRecordList& destination, const ItemRecordList& source);
  void Release();
  void Swap(ItemRecordPool& other) noexcept;
  // How many blocks the pool holds.
  size_t BlockCount() const { return m_blocks.size(); }

 private:
  char* Allocate(size_t bytes, size_t alignment);
  char* CopyText(const char* text);
  char** CopyExtended(char** entries);

  std::vector<char*> m_blocks;
  char* m_next = nullptr;
  char* m_end = nullptr;
  size_t m_nextBlockSize = 0;
};

}  // namespace tunyra
