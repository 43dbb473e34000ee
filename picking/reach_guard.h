#pragma once
// Under an artist limit, keeps the time within reach: what the entries still available
// can add up to is each artist's reserve, its longest entries as many as it has picks to
// spare (with duplicates its longest, that many times). Taking an entry of the reserve
// lowers the reach by its length, as it lowers the time left; taking a shorter one
// spends a place of the reserve, whose shortest drops out. The slack, reach less time
// left, falls by that difference (the entry's cost), so an entry costing more than the
// slack is passed over unless it ends the fill. A cost never falls and the slack never
// rises, so an entry passed over while it cannot end the fill stays passed over.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "picking/candidate_matching.h"
#include "picking/pick_limits.h"

namespace tunyra {

class ReachGuard {
 public:
  // Off when the time is beyond reach from the start (only possible with duplicates):
  // nothing can keep it, and the fill is left as it was.
  void Build(const CandidateList& candidates, bool allowDuplicates, const PickLimits& limits, std::uint32_t artists,
             std::int64_t target);

  bool On() const { return m_on; }
  // Whether entry `i` (available, so its artist has a reserve) may be picked with
  // `remaining` left.
  bool Allows(std::size_t i, std::int32_t length, std::int64_t remaining) const {
    return !m_on || length >= remaining || Cost(i, length) <= m_slack;
  }
  void Take(std::size_t i, std::int32_t length) {
    if (!m_on) return;
    m_slack -= Cost(i, length);
    const std::uint32_t a = m_artistOf[i];
    Places* place = &m_reserve[m_end[a] - 1];
    if (length > place->length) {
      // The reserve runs from longest to shortest.
      place = &*std::partition_point(m_reserve.begin() + m_begin[a], m_reserve.begin() + m_end[a],
                                     [length](const Places& p) { return p.length > length; });
    }
    --place->count;
    while (m_end[a] > m_begin[a] && m_reserve[m_end[a] - 1].count == 0) --m_end[a];
  }

 private:
  struct Places {
    std::int32_t length;
    std::uint32_t count;
  };
  std::int64_t Cost(std::size_t i, std::int32_t length) const {
    const std::int32_t shortest = m_reserve[m_end[m_artistOf[i]] - 1].length;
    return length >= shortest ? 0 : std::int64_t(shortest) - length;
  }

  bool m_on = false;
  std::int64_t m_slack = 0;
  const std::uint32_t* m_artistOf = nullptr;
  // Each artist's reserve, m_reserve[m_begin[a], m_end[a]), longest first; places
  // spent in the middle keep their length with a count of 0.
  std::vector<Places> m_reserve;
  std::vector<std::uint32_t> m_begin, m_end;
};

}  // namespace tunyra
