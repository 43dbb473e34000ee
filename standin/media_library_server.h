#pragma once
// The Media Library's side of run-query / free-result: hands out host-owned copies of
// the library and takes them back, keeping count so tests can check that every result
// was freed exactly once. Portable; the window that answers the messages is in
// StandinHost.

#include <map>

#include "host/host_records.h"
#include "standin/standin_options.h"

namespace standin {

class MediaLibraryServer {
 public:
  // 4 GB of item records: no 32-bit process can hold a copy.
  static constexpr int kOversizedCount = 100000000;

  MediaLibraryServer() = default;
  MediaLibraryServer(const MediaLibraryServer&) = delete;
  MediaLibraryServer& operator=(const MediaLibraryServer&) = delete;
  ~MediaLibraryServer();  // releases results never handed back

  // Replaces the library with a deep copy of `records`.
  void SetLibrary(const ItemRecordList& records);
  const ItemRecordList& Library() const { return m_library; }
  void SetHostile(const HostileOptions& hostile) { m_hostile = hostile; }

  // Fills query.results with malloc'd copies (size = alloc = count). Only the query
  // text "type==0" selects anything; maxResults <= 0 means all. An oversized result
  // claims kOversizedCount items. An empty result is
  // {null, 0, 0} and is not counted as outstanding. Returns the number of items.
  int RunQuery(LibraryQuery& query);
  // Releases the result in query.results if this server handed it out and clears the
  // field. A result that is unknown or already freed is only counted.
  bool FreeResult(LibraryQuery& query);

  int ResultsServed() const { return m_served; }
  int ResultsFreed() const { return m_freed; }
  int BadFrees() const { return m_badFrees; }
  int Outstanding() const { return static_cast<int>(m_outstanding.size()); }

 private:
  ItemRecordList m_library{nullptr, 0, 0};
  HostileOptions m_hostile;
  std::map<ItemRecord*, int> m_outstanding;  // result array -> records in it
  int m_served = 0;
  int m_freed = 0;
  int m_badFrees = 0;
};

// Applies the hostile transforms to records[index] (a host-owned, malloc'd copy).
void MakeHostile(ItemRecord& record, int index, const HostileOptions& hostile);

}  // namespace standin
