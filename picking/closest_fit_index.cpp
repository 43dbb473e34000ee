#include "picking/closest_fit_index.h"

namespace tunyra {

void ClosestFitIndex::GroupByLength(std::vector<std::uint64_t>& keys) {
  std::sort(keys.begin(), keys.end());
  m_order.resize(keys.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    m_order[k] = static_cast<std::uint32_t>(keys[k]);
    const auto length = static_cast<std::int32_t>(keys[k] >> 32);
    if (m_groups.empty() || m_groups.back().length != length)
      m_groups.push_back({length, static_cast<std::uint32_t>(k), static_cast<std::uint32_t>(k)});
    m_groups.back().end = static_cast<std::uint32_t>(k + 1);
  }
  for (std::size_t g = 0; g < m_groups.size(); ++g) m_live.insert(m_live.end(), g);
  m_built = true;
}

std::size_t ClosestFitIndex::FirstAtOrAbove(std::int64_t remaining) const {
  const auto first = std::partition_point(m_groups.begin(), m_groups.end(),
                                          [&](const Group& g) { return g.length < remaining; });
  return static_cast<std::size_t>(first - m_groups.begin());
}

std::size_t ClosestFitIndex::Nearer(std::int64_t remaining, std::int64_t bound, std::size_t belowIndex,
                                    std::int32_t belowLength, std::size_t aboveIndex, std::int32_t aboveLength) {
  std::size_t best = kNone;
  std::int64_t bestDistance = bound;
  if (belowIndex != kNone && Distance(remaining, belowLength) < bestDistance) {
    best = belowIndex;
    bestDistance = Distance(remaining, belowLength);
  }
  if (aboveIndex != kNone) {
    const std::int64_t d = Distance(remaining, aboveLength);
    if (d < bestDistance || (d == bestDistance && best != kNone && aboveIndex < best)) best = aboveIndex;
  }
  return best;
}

}  // namespace tunyra
