#include "library/host_library_result.h"

#include <algorithm>
#include <iterator>

namespace tunyra {

HostLibraryResult::HostLibraryResult(HostOperations& host) : m_host(host) {
  std::copy(std::begin(host_msg::kLibraryQueryText), std::end(host_msg::kLibraryQueryText), m_text);
  m_host.RunLibraryQuery(m_query);
}

HostLibraryResult::~HostLibraryResult() {
  if (m_query.results.items != nullptr) m_host.FreeLibraryResult(m_query);
}

}  // namespace tunyra
