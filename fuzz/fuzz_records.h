#pragma once
// Item records as a host might hand them over, decoded from fuzzer input: null, empty,
// repeated, case-variant and huge texts, odd numbers, extended information with empty,
// repeated and case-variant names. The memory is malloc'd the way the host's is and is
// freed here, independently of the record operations under test.

#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "host/host_records.h"

namespace fuzz {

class HostRecords {
 public:
  // At most `maxRecords` records; at most `maxHuge` texts of 64 KB and more in total.
  HostRecords(FuzzInput& in, int maxRecords, int maxHuge);
  ~HostRecords();
  HostRecords(const HostRecords&) = delete;
  HostRecords& operator=(const HostRecords&) = delete;

  const ItemRecordList& List() const { return m_list; }

 private:
  ItemRecordList m_list{nullptr, 0, 0};
};

// A text drawn from the same mix (pool values, raw bytes, huge); never null.
std::string DrawText(FuzzInput& in, int& hugeLeft);

// The name/value entries of an extended-information array (null: none), in order.
struct ExtendedEntry {
  std::string name;
  std::string value;
  bool operator==(const ExtendedEntry&) const = default;
};
std::vector<ExtendedEntry> ReadExtended(char* const* extended);

// The extended information a deep copy must hold: entries with an empty name dropped,
// a later case-insensitive repeat replacing the earlier entry's name and value in place.
std::vector<ExtendedEntry> ExpectedExtended(char* const* source);

bool SameText(const char* a, const char* b);  // both null, or equal bytes
// "" when `copy` is a proper deep copy of `source` (own storage for every text, nulls
// kept, numbers equal, extended information as ExpectedExtended); else the difference.
std::string CopyDifference(const ItemRecord& copy, const ItemRecord& source);
// "" when every field of the record is zero.
std::string NonZeroField(const ItemRecord& record);
bool EqualsIgnoreAsciiCase(const std::string& a, const std::string& b);

}  // namespace fuzz
