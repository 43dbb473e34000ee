#pragma once
// The closest fit without a walk over the whole list: the entries still available
// grouped by length, in ascending length and, within a length, ascending index. An
// entry once unavailable never comes back. The closest entry to a remaining time is then
// the lowest available index of the nearest length below or at/above it; a tie in
// distance goes to the lower index, as in a walk from index 0. Which entries are still
// available is asked of a callable, `available(i)`, so the index and its owner never
// disagree.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "picking/candidate_matching.h"

namespace tunyra {

// How far a length lies from the time remaining.
inline std::int64_t Distance(std::int64_t remaining, std::int32_t length) {
  const std::int64_t d = remaining - length;
  return d < 0 ? -d : d;
}

class ClosestFitIndex {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  bool Built() const { return m_built; }

  template <typename Available>
  void Build(const CandidateList& candidates, const Available& available) {
    std::vector<std::uint64_t> keys;
    for (std::size_t i = 0; i < candidates.size(); ++i)
      if (available(i)) keys.push_back((static_cast<std::uint64_t>(candidates[i].length) << 32) | i);
    GroupByLength(keys);
  }

  // The available entry closest to `remaining`, or kNone when none is closer than `bound`.
  template <typename Available>
  std::size_t Find(std::int64_t remaining, std::int64_t bound, const Available& available) {
    auto above = m_live.lower_bound(FirstAtOrAbove(remaining));
    std::size_t aboveIndex = kNone;
    while (above != m_live.end() && (aboveIndex = LowestAvailable(*above, available)) == kNone)
      above = m_live.erase(above);
    std::size_t belowIndex = kNone;
    std::int32_t belowLength = 0;
    while (above != m_live.begin()) {
      const auto below = std::prev(above);
      belowIndex = LowestAvailable(*below, available);
      if (belowIndex != kNone) {
        belowLength = m_groups[*below].length;
        break;
      }
      m_live.erase(below);
    }
    const std::int32_t aboveLength = aboveIndex == kNone ? 0 : m_groups[*above].length;
    return Nearer(remaining, bound, belowIndex, belowLength, aboveIndex, aboveLength);
  }

 private:
  struct Group {
    std::int32_t length;
    std::uint32_t cursor;  // entries before it are no longer available
    std::uint32_t end;
  };

  // `keys`: length << 32 | index of each available entry.
  void GroupByLength(std::vector<std::uint64_t>& keys);
  std::size_t FirstAtOrAbove(std::int64_t remaining) const;
  static std::size_t Nearer(std::int64_t remaining, std::int64_t bound, std::size_t belowIndex,
                            std::int32_t belowLength, std::size_t aboveIndex, std::int32_t aboveLength);

  template <typename Available>
  std::size_t LowestAvailable(std::size_t group, const Available& available) {
    Group& g = m_groups[group];
    while (g.cursor < g.end && !available(m_order[g.cursor])) ++g.cursor;
    return g.cursor < g.end ? m_order[g.cursor] : kNone;
  }

  bool m_built = false;
  std::vector<std::uint32_t> m_order;
  std::vector<Group> m_groups;
  std::set<std::size_t> m_live;  // groups that may still hold an available entry
};

}  // namespace tunyra
