#include "picking/reach_guard.h"

#include <functional>

#include "picking/fill_request.h"

namespace tunyra {

void ReachGuard::Build(const CandidateList& candidates, bool allowDuplicates, const PickLimits& limits,
                       std::uint32_t artists, std::int64_t target) {
  m_artistOf = limits.artistOf.data();
  std::vector<std::uint32_t> firstOf(artists + 1, 0);
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (IsPickable(candidates[i])) ++firstOf[m_artistOf[i] + 1];
  for (std::uint32_t a = 0; a < artists; ++a) firstOf[a + 1] += firstOf[a];
  std::vector<std::int32_t> lengths(firstOf[artists]);
  std::vector<std::uint32_t> next(firstOf.begin(), firstOf.end() - 1);
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (IsPickable(candidates[i])) lengths[next[m_artistOf[i]]++] = candidates[i].length;

  m_begin.assign(artists, 0);
  m_end.assign(artists, 0);
  std::int64_t reach = 0;
  for (std::uint32_t a = 0; a < artists; ++a) {
    const auto first = lengths.begin() + firstOf[a], last = lengths.begin() + firstOf[a + 1];
    const auto places = std::min<std::int64_t>(limits.maxPerArtist, last - first);
    m_begin[a] = m_end[a] = static_cast<std::uint32_t>(m_reserve.size());
    if (places == 0) continue;
    std::partial_sort(first, first + (allowDuplicates ? 1 : places), last, std::greater<>());
    if (allowDuplicates) {
      m_reserve.push_back({*first, limits.maxPerArtist});
      reach += std::int64_t(*first) * limits.maxPerArtist;
    } else {
      for (auto at = first; at != first + places; ++at) {
        if (m_reserve.size() > m_begin[a] && m_reserve.back().length == *at)
          ++m_reserve.back().count;
        else
          m_reserve.push_back({*at, 1});
        reach += *at;
      }
    }
    m_end[a] = static_cast<std::uint32_t>(m_reserve.size());
  }
  m_slack = reach - target;
  m_on = m_slack >= 0;
}

}  // namespace tunyra
