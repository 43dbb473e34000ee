#pragma once
// The snapshot of the Media Library taken when the Select Songs dialog opens: an owned
// copy of every item and the four sets of distinct values shown in the columns.

#include <string>
#include <vector>

#include "library/item_records.h"
#include "host/host_records.h"
#include "library/condition_kind.h"
#include "library/sorted_name_set.h"

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
  ~LibrarySnapshot() { Release(); }
  LibrarySnapshot(const LibrarySnapshot&) = delete;
  LibrarySnapshot& operator=(const LibrarySnapshot&) = delete;

  // Runs the query "type==0" through the host, copies the result and hands back every
  // result that holds storage (also one with no items), also when memory runs out (the
  // std::bad_alloc goes on to the caller). A query without items leaves the snapshot
  // empty.
  void Load(HostOperations& host);
  // Replaces the record copies with deep copies of `source` (only read) and refills the
  // four sets from it. Null text fields count as empty. Throws std::bad_alloc when
  // memory runs out, also when the copy cannot get its storage.
  void Rebuild(const ItemRecordList& source);
  // What a column of `kind` shows, in set order (artists with the article in front).
  std::vector<std::string> DisplayValues(int kind) const;
  // Empties the sets and releases the record copies.
  void Release();

  const CSortedNameSet* SetOfKind(int kind) const;
  // The copied records, as the last Load or Rebuild left them. Their storage belongs to
  // the snapshot: record operations work on them, but the list is released only here.
  const ItemRecordList& Records() const { return m_records; }

  CSortedNameSet m_titles;
  CSortedNameSet m_albums;
  CSortedNameSet m_genres;
  CSortedNameSet m_artists;

 private:
  ItemRecordList m_records{nullptr, 0, 0};
  ItemRecordPool m_pool;  // the text and extended entries of m_records
};

}  // namespace tunyra
