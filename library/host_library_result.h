#pragma once
// The Media Library's answer to the library query. Its records belong to the host: they
// are only read, and handed back when this object goes, whatever happened meanwhile.

#include "host/host_operations.h"
#include "host/host_records.h"
#include "library/record_view.h"

namespace tunyra {

class HostLibraryResult {
 public:
  // Runs the query; a host without a Media Library leaves the result empty.
  explicit HostLibraryResult(HostOperations& host);
  // Hands back any storage the library filled, also one with no items.
  ~HostLibraryResult();
  HostLibraryResult(const HostLibraryResult&) = delete;
  HostLibraryResult& operator=(const HostLibraryResult&) = delete;

  RecordView Records() const { return m_query.results; }

 private:
  HostOperations& m_host;
  // The host takes the query as writable text.
  char m_text[sizeof host_msg::kLibraryQueryText];
  LibraryQuery m_query{m_text, 0, ItemRecordList{nullptr, 0, 0}};
};

}  // namespace tunyra
