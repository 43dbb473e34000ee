#include "picking/available_pool.h"

namespace tunyra {

void AvailablePool::Build(const CandidateList& candidates, const std::vector<std::uint8_t>& available,
                          std::size_t availableCount) {
  m_candidates = &candidates;
  m_size = availableCount;
  m_removalsToLayOut = availableCount / 1024;
  m_everyEntry = availableCount == candidates.size();
  if (m_everyEntry) return;
  m_available.reserve(availableCount);
  for (std::size_t i = 0; i < available.size(); ++i)
    if (available[i]) m_available.push_back(static_cast<std::uint32_t>(i));
}

void AvailablePool::Trade(std::uint32_t position) {
  const auto last = static_cast<std::uint32_t>(m_size);
  const std::uint32_t moved = IndexAt(last);
  m_traded.erase(last);
  if (position != last) m_traded[position] = moved;
  if (m_removalsToLayOut-- == 0) LayOut();
}

std::uint32_t AvailablePool::IndexAt(std::uint32_t position) const {
  const auto traded = m_traded.find(position);
  if (traded != m_traded.end()) return traded->second;
  return m_everyEntry ? position : m_available[position];
}

void AvailablePool::LayOut() {
  m_entries.reserve(m_size);
  for (std::size_t position = 0; position < m_size; ++position)
    m_entries.push_back(EntryOf(m_everyEntry ? static_cast<std::uint32_t>(position) : m_available[position]));
  for (const auto& [position, index] : m_traded) m_entries[position] = EntryOf(index);
  m_traded.clear();
  m_available = std::vector<std::uint32_t>();
  m_laidOut = true;
}

}  // namespace tunyra
