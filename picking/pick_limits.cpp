#include "picking/pick_limits.h"

#include <algorithm>
#include <functional>

namespace tunyra {

std::int64_t LimitedPickableSum(const CandidateList& candidates, const PickLimits& limits) {
  std::int64_t sum = 0;
  if (!limits.LimitsArtists()) {
    for (const Candidate& candidate : candidates)
      if (candidate.length > 0) sum += candidate.length;
    return sum;
  }
  // Known lengths by artist, each artist's longest first.
  std::vector<std::pair<std::uint32_t, std::int32_t>> byArtist;
  byArtist.reserve(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i)
    if (candidates[i].length > 0) byArtist.emplace_back(limits.artistOf[i], candidates[i].length);
  std::sort(byArtist.begin(), byArtist.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second > b.second;
  });
  std::uint32_t taken = 0;
  for (size_t i = 0; i < byArtist.size(); ++i) {
    taken = i > 0 && byArtist[i].first == byArtist[i - 1].first ? taken + 1 : 1;
    if (taken <= limits.maxPerArtist) sum += byArtist[i].second;
  }
  return sum;
}

}  // namespace tunyra
