#pragma once
// Owned copies of the host's item records, managed with the C runtime's allocator
// (malloc, realloc, strdup, free) as the host's own records are. A released record
// or list has every field zero.

#include "host/host_records.h"

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
