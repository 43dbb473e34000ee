#pragma once
// The host's own way to hold item records: every text, extended block and list array
// malloc'd one by one, as the host's records are (the stand-in player and the tests hold
// their libraries so). A released record or list has every field zero. The snapshot's
// copies are kept otherwise (library/pooled_records.h).

#include "host/host_records.h"
#include "library/record_view.h"

namespace tunyra {

// Deep copy: text fields strdup'd (null stays null), numbers copied, extended entries
// as KeptEntries keeps them (library/extended_entries.h).
void DuplicateItemRecord(ItemRecord& destination, const ItemRecord& source);
// Reserves room for destination.size + source.size() records, then appends deep copies;
// appends nothing when that room cannot be had. The source may be the destination.
void AppendItemRecords(ItemRecordList& destination, RecordView source);
// Nothing when wanted < alloc or wanted < size; else alloc = wanted + extra. When the
// storage cannot be had (or the count overflows) the list is left exactly as it was,
// so callers compare `alloc` with what they need. Lists with a negative size or no
// array are read as empty everywhere.
void ReserveItemRecords(ItemRecordList& list, int wanted, int extra);
// Sets or replaces one extended entry (names compared ASCII case-insensitively).
void PutExtendedInfo(ItemRecord& record, const char* name, const char* value);
void ReleaseItemRecord(ItemRecord& record);
void ClearItemRecords(ItemRecordList& list);
void ReleaseItemRecordList(ItemRecordList& list);

}  // namespace tunyra
