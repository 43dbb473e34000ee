#pragma once
// The snapshot of the Media Library taken when the Select Songs dialog opens: its own
// copy of every item and the four sets of distinct values shown in the columns.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_records.h"
#include "library/condition_kind.h"
#include "library/pooled_records.h"
#include "library/record_view.h"
#include "library/sorted_name_set.h"
#include "library/value_order.h"

class HostOperations;

namespace tunyra {

// "The Beatles" -> "Beatles, The" when the first four characters are "the " in any case.
std::string MoveArticleToEnd(std::string_view artist);
// "Beatles, The" (last five characters ", the" in any case) -> "The Beatles".
std::string MoveArticleToFront(std::string_view value);
// The value a record contributes to the set of `kind` (placeholder for an empty or null
// field; artists in sort form).
std::string SetValueOf(const ItemRecord& record, int kind);

class LibrarySnapshot {
 public:
  LibrarySnapshot() = default;
  // Its sets in `order` (strcmp order without one).
  explicit LibrarySnapshot(const ValueOrder& order) : m_order(order) {}
  LibrarySnapshot(const LibrarySnapshot&) = delete;
  LibrarySnapshot& operator=(const LibrarySnapshot&) = delete;

  // Runs the library query through the host, copies the result and hands it back (also
  // one with no items, also when memory runs out: the std::bad_alloc goes on to the
  // caller, and the snapshot is empty). A query without items leaves the snapshot empty.
  void Load(HostOperations& host);
  // Replaces the copies with deep copies of `source` (which may be the snapshot's own)
  // and refills the four sets from them. Null text fields count as empty. Throws
  // std::bad_alloc when memory runs out, leaving the snapshot empty.
  void Rebuild(RecordView source);
  // What a column of `kind` shows, in set order (artists with the article in front).
  std::vector<std::string> DisplayValues(int kind) const;
  // The same for one value: `index` in 0 .. the set's GetSize() - 1, kept so by the caller.
  std::string DisplayValue(int kind, int index) const;
  // Empties the sets and releases the copies.
  void Release();

  // Null for a kind outside 0 to 3.
  const CSortedNameSet* SetOfKind(int kind) const { return IsKnownKind(kind) ? &m_sets[kind] : nullptr; }
  // The copies, as the last Load or Rebuild left them.
  RecordView Records() const { return m_records.View(); }

 private:
  ValueOrder m_order;
  PooledRecords m_records;
  std::array<CSortedNameSet, kKindCount> m_sets;  // in ConditionKind order
};

}  // namespace tunyra
